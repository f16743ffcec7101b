#include "launcher/run_leftovers.h"
#include "launcher/working_folder.h"
#include "ui/frontend.h"

int main(int argc, char** argv) {
    // From the first line on, every relative file the launcher touches
    // (Config/, log.txt, dumps) lies in its install folder, whichever folder
    // it was started from. Should that fail, the folder stays as it was.
    EnterExecutableFolder();
    const int status = RunLauncher(argc, argv);
    RemoveTempLeftoversWhenAlone(ExecutableFolder());
    return status;
}
