#pragma once
// Turns a game build folder into a patch set: packserv.txt, packserv.md5 and
// one archive per file at <relative path>.zip. A re-run rewrites only the
// archives of files whose content changed and removes those of files gone.
#include <cstdio>
#include <string>

struct PublishSummary {
    size_t files = 0, written = 0, kept = 0, removed = 0;
};

// Returns the process exit code: 0 done, 1 failed (messages on `err`).
int Publish(const std::string& buildFolder, const std::string& outputFolder, PublishSummary& summary,
            FILE* err);
