#pragma once
// Shared by the patching benchmarks: publishing a build folder with the
// project's publisher, and running the real launcher binary from a fresh
// install folder against a loopback patch server until it is ready and ends.
#include <map>
#include <string>
#include <vector>

#include "bench_util.h"

namespace bench {

// Publishes `build` into `server`/patch_qa (the QA selector's base URL).
inline bool PublishPatchSet(const fs::path& build, const fs::path& server, const fs::path& log) {
    const fs::path publisher = ProgramFolder() / "quon-publish";
    fs::create_directories(server);
    const ChildResult r =
        RunChild({publisher.string(), build.string(), (server / "patch_qa").string()}, server, {}, log);
    if (r.status != 0)
        fprintf(stderr, "bench: quon-publish failed (%d): %s\n", r.status, ReadText(log).c_str());
    return r.status == 0;
}

// Puts a copy of the launcher binary into `install` (made if missing).
inline bool PlaceLauncher(const fs::path& install) {
    std::error_code error;
    fs::create_directories(install, error);
    fs::copy_file(ProgramFolder() / "QuonLauncher.exe", install / "QuonLauncher.exe",
                  fs::copy_options::overwrite_existing, error);
    return !error;
}

// Runs "QuonLauncher.exe QA FromUpdater" in `install` with the console
// front-end and no input: it patches, becomes ready, reads the end of its
// input as "close" and ends with 0 when nothing went wrong.
// QUON_BENCH_WRAP (words split at blanks) goes in front of the command, for
// a look inside: QUON_BENCH_WRAP="perf record -g -o /tmp/launcher.data --".
// `env`: more variables (QUON_PREFETCH=0 for the run one file after another).
inline ChildResult RunLauncher(const fs::path& install, int port, const fs::path& runtime,
                               const fs::path& log, std::map<std::string, std::string> env = {}) {
    fs::create_directories(runtime);
    std::vector<std::string> argv;
    if (const char* wrap = getenv("QUON_BENCH_WRAP")) {
        std::string word;
        for (const char* c = wrap;; ++c) {
            if (*c && *c != ' ') {
                word += *c;
                continue;
            }
            if (!word.empty()) argv.push_back(word);
            word.clear();
            if (!*c) break;
        }
    }
    argv.insert(argv.end(), {(install / "QuonLauncher.exe").string(), "QA", "FromUpdater"});
    env.insert({{"QUON_PATCH_HOST", "127.0.0.1:" + std::to_string(port)},
                {"QUON_LAUNCHER_UI", "console"},
                {"QUON_RUNTIME_DIR", runtime.string()},
                {"DISPLAY", ""}});
    return RunChild(argv, install, env, log);
}

inline void RemoveTree(const fs::path& folder) {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
}

// The URL of the archive of a list path ("Data\\a.dat") below patch_qa.
inline std::string ArchiveUrl(int port, std::string listPath) {
    for (char& c : listPath) c = c == '\\' ? '/' : c;
    return "http://127.0.0.1:" + std::to_string(port) + "/patch_qa/" + listPath + ".zip";
}

}  // namespace bench
