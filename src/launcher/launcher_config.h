#pragma once
// The launcher's settings. main() reads them once (ReadLauncherConfig over
// the environment) and passes them down, so that nothing below it asks the
// environment and a test sets a field instead.
#include <cstdint>
#include <functional>
#include <string>

#include "os/url_download.h"

struct LauncherConfig {
    // Hosts ("name" or "name:port") of the patch server, the live notice
    // page and the QA notice page; built-in defaults unless set.
    std::string patchHost = QUON_PATCH_HOST;
    std::string webHost = QUON_WEB_HOST;
    std::string testWebHost = QUON_TEST_WEB_HOST;
    // Threads hashing in a scan, the taker included; 0: one per core.
    unsigned scanWorkers = 0;
    // Fetch ahead of the downloader on several connections; false: one file
    // after another, for comparison and as a way out should a server take
    // badly to several connections.
    bool prefetch = true;
    // Bytes per second the whole process receives; 0: no cap.
    uint64_t maxReceiveRate = 0;
    // No byte for this long ends a download.
    int downloadStallSeconds = UrlDownloader::kDefaultStallSeconds;
    // What runs a Windows program on Linux (a path or a name on the PATH);
    // empty: "wine" on the PATH.
    std::string windowsRunner;
    // The front-end asked for ("console", "gtk"); empty: by the display.
    std::string frontEnd;
};

// The settings from `lookup` (std::getenv in main()): QUON_PATCH_HOST,
// QUON_WEB_HOST, QUON_TEST_WEB_HOST (set and not empty), QUON_SCAN_WORKERS
// (a positive number, at most 256), QUON_PREFETCH ("0" turns it off),
// QUON_MAX_RATE (see ParseMaxRate), QUON_DOWNLOAD_STALL_SECONDS (1 to 3600),
// QUON_LAUNCHER_UI, QUON_WINE. Anything else leaves the default.
LauncherConfig ReadLauncherConfig(const std::function<const char*(const char*)>& lookup);
