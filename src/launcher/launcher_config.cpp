#include "launcher/launcher_config.h"

#include <algorithm>
#include <cstdlib>

#include "os/rate_cap.h"

namespace {
// A whole decimal number in [1, max]; 0 for anything else.
long PositiveNumber(const char* text, long max) {
    if (!text || !*text) return 0;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (*end != '\0' || value <= 0 || value > max) return 0;
    return value;
}
}  // namespace

LauncherConfig ReadLauncherConfig(const std::function<const char*(const char*)>& lookup) {
    LauncherConfig config;
    auto text = [&](const char* name, std::string& field) {
        const char* value = lookup(name);
        if (value && *value) field = value;
    };
    text("QUON_PATCH_HOST", config.patchHost);
    text("QUON_WEB_HOST", config.webHost);
    text("QUON_TEST_WEB_HOST", config.testWebHost);
    text("QUON_LAUNCHER_UI", config.frontEnd);
    text("QUON_WINE", config.windowsRunner);
    // Any positive count, capped at 256 threads.
    if (const char* workers = lookup("QUON_SCAN_WORKERS")) {
        const long n = std::strtol(workers, nullptr, 10);
        if (n > 0) config.scanWorkers = static_cast<unsigned>(std::min(n, 256L));
    }
    const char* prefetch = lookup("QUON_PREFETCH");
    config.prefetch = !(prefetch && std::string(prefetch) == "0");
    config.maxReceiveRate = ParseMaxRate(lookup("QUON_MAX_RATE"));
    if (const long stall = PositiveNumber(lookup("QUON_DOWNLOAD_STALL_SECONDS"), 3600))
        config.downloadStallSeconds = static_cast<int>(stall);
    return config;
}
