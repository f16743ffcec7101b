// quon-publish <build-folder> <output-folder>: makes the patch set that the
// launcher downloads from the patch base URL.
#include <cstdio>

#include "publisher.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: quon-publish <build-folder> <output-folder>\n");
        return 2;
    }
    PublishSummary summary;
    int rc = Publish(argv[1], argv[2], summary, stderr);
    if (rc == 0) {
        printf("quon-publish: %zu files listed; %zu archives written, %zu unchanged, %zu removed\n",
               summary.files, summary.written, summary.kept, summary.removed);
    }
    return rc;
}
