// Patching 1,000 new files of 16 KiB from a server 50 ms away (a delay
// before every answer of the loopback server), fetching ahead against the
// same launcher fetching one file after another (QUON_PREFETCH=0): over a
// long round trip small files are bound by the wait, not by the bandwidth.
#include <cstdio>
#include <string>

#include "support/patch_bench.h"
#include "support/static_http_server.h"

namespace {

using namespace bench;

constexpr int kFiles = 1000;
constexpr uint64_t kFileBytes = 16 * 1024;
constexpr auto kRoundTrip = std::chrono::milliseconds(50);

fs::path FilePath(const fs::path& build, int i) {
    char name[64];
    snprintf(name, sizeof(name), "Far/d%02d/r%04d.dat", i % 20, i);
    return build / name;
}

bool PreparePatchSet(const fs::path& build, const fs::path& server) {
    CacheLock lock("round-trip-patch");
    const fs::path marker = CacheFolder() / "round-trip-patch.done";
    const std::string recipe = "files=" + std::to_string(kFiles) + "x" + std::to_string(kFileBytes) + " v1";
    if (CacheIsValid(marker, recipe)) return true;
    RemoveTree(build);
    RemoveTree(server);
    for (int i = 0; i < kFiles; ++i) {
        if (!WriteRandomFile(FilePath(build, i), kFileBytes, 70000 + i)) return false;
    }
    if (!PublishPatchSet(build, server, CacheFolder() / "round-trip-publish.log")) return false;
    MarkCache(marker, recipe);
    return true;
}

bool AllFilesThere(const fs::path& install) {
    for (int i = 0; i < kFiles; ++i) {
        std::error_code error;
        if (fs::file_size(FilePath(install, i), error) != kFileBytes || error) return false;
    }
    return true;
}

}  // namespace

int main() {
    CacheLock exclusive("measure");
    const fs::path build = CacheFolder() / "round-trip-build", server = CacheFolder() / "round-trip-server";
    if (!PreparePatchSet(build, server)) {
        fprintf(stderr, "bench_patch_round_trip: cannot make the patch set\n");
        return 1;
    }
    WarmPageCache(server);
    StaticHttpServer http(server.string());
    if (http.port() == 0) return 1;
    http.SetRequestDelay(kRoundTrip);

    const fs::path scratch = ScratchFolder("patch_round_trip");
    const fs::path log = scratch / "run.log";
    double seconds[2] = {};
    int connections[2] = {};
    // The serial run alone takes a minute: one round of each.
    for (int serial = 0; serial < 2; ++serial) {
        const fs::path install = scratch / "install";
        RemoveTree(install);
        if (!PlaceLauncher(install)) return 1;
        http.ResetCounters();
        std::map<std::string, std::string> env;
        if (serial) env["QUON_PREFETCH"] = "0";
        const ChildResult run = RunLauncher(install, http.port(), scratch / "runtime", log, env);
        if (run.status != 0 || !AllFilesThere(install)) {
            fprintf(stderr, "bench_patch_round_trip: the launcher failed (%d): %s\n", run.status,
                    ReadText(log).c_str());
            RemoveTree(scratch);
            return 1;
        }
        seconds[serial] = run.wallSeconds;
        connections[serial] = http.Connections();
        printf("patch_round_trip %s: %.2f s (%.0f files/s, cpu %.2f s, %d connection(s))\n",
               serial ? "one after another" : "fetching ahead", run.wallSeconds, kFiles / run.wallSeconds,
               run.cpuSeconds, connections[serial]);
        fflush(stdout);
    }
    RemoveTree(scratch);
    printf(
        "RATIO patch_round_trip: serial/ahead = %.2f (ahead %.2f s with %d connections, serial %.2f s) "
        "%d x 16 KiB, %lld ms round trip, target >= 8\n",
        seconds[1] / seconds[0], seconds[0], connections[0], seconds[1], kFiles,
        static_cast<long long>(kRoundTrip.count()));
    return 0;
}
