// Patching an empty install with 10 files of 100 MB (random bytes, so the
// archives are as large as the files and inflating, writing and hashing do
// their full work) from a loopback server, against curl fetching the same 10
// archives in one invocation, then unzip and md5sum on each. Both sides fetch
// from the same in-process server, alternate, and the ratio is of the medians.
#include <cstdio>
#include <string>
#include <vector>

#include "support/patch_bench.h"
#include "support/static_http_server.h"

namespace {

using namespace bench;

constexpr int kFiles = 10;
constexpr uint64_t kFileBytes = 100'000'000;
constexpr int kRounds = 3;

std::string ListPath(int i) {
    char name[64];
    snprintf(name, sizeof(name), "Data\\big_%02d.pak", i);
    return name;
}

fs::path BuildPath(const fs::path& build, int i) {
    std::string relative = ListPath(i);
    for (char& c : relative) c = c == '\\' ? '/' : c;
    return build / relative;
}

bool PreparePatchSet(const fs::path& build, const fs::path& server) {
    CacheLock lock("large-patch");
    const fs::path marker = CacheFolder() / "large-patch.done";
    const std::string recipe =
        "files=" + std::to_string(kFiles) + " bytes=" + std::to_string(kFileBytes) + " v1";
    if (CacheIsValid(marker, recipe)) return true;
    printf("bench_patch_large: making and publishing %d files of %llu bytes (once)\n", kFiles,
           static_cast<unsigned long long>(kFileBytes));
    fflush(stdout);
    RemoveTree(build);
    RemoveTree(server);
    for (int i = 0; i < kFiles; ++i) {
        if (!WriteRandomFile(BuildPath(build, i), kFileBytes, 1000 + i)) return false;
    }
    if (!PublishPatchSet(build, server, CacheFolder() / "large-publish.log")) return false;
    // Only the archives are served; the build itself is not needed again.
    RemoveTree(build);
    MarkCache(marker, recipe);
    return true;
}

// True when every file arrived whole in `folder`.
bool AllFilesThere(const fs::path& folder) {
    for (int i = 0; i < kFiles; ++i) {
        std::error_code error;
        if (fs::file_size(BuildPath(folder, i), error) != kFileBytes || error) return false;
    }
    return true;
}

}  // namespace

int main() {
    // One measuring benchmark at a time on this machine: a second run started
    // meanwhile (and its use of the cached data) waits here.
    bench::CacheLock exclusive("measure");
    const fs::path build = CacheFolder() / "large-build", server = CacheFolder() / "large-server";
    if (!PreparePatchSet(build, server)) {
        fprintf(stderr, "bench_patch_large: cannot make the patch set\n");
        return 1;
    }
    WarmPageCache(server);
    StaticHttpServer http(server.string());
    if (http.port() == 0) {
        fprintf(stderr, "bench_patch_large: the server did not start\n");
        return 1;
    }

    std::string peerCommand = "curl -sS --fail";
    for (int i = 0; i < kFiles; ++i) {
        peerCommand +=
            " -o a" + std::to_string(i) + ".zip " + ShellQuote(ArchiveUrl(http.port(), ListPath(i)));
    }
    peerCommand += " && for i in";
    for (int i = 0; i < kFiles; ++i) {
        peerCommand += ' ';
        peerCommand += std::to_string(i);
    }
    peerCommand += "; do unzip -qo a$i.zip -d out || exit 1; done";
    peerCommand += " && for f in out/Data/*.pak; do md5sum \"$f\" || exit 1; done > /dev/null";

    const fs::path scratch = ScratchFolder("patch_large");
    const fs::path log = scratch / "run.log";
    RoundTimes times;
    for (int round = 0; round < kRounds; ++round) {
        const fs::path install = scratch / "install";
        RemoveTree(install);
        if (!PlaceLauncher(install)) return 1;
        http.ResetCounters();
        const ChildResult ours = RunLauncher(install, http.port(), scratch / "runtime", log);
        if (ours.status != 0 || !AllFilesThere(install)) {
            fprintf(stderr, "bench_patch_large: the launcher failed (%d): %s\n", ours.status,
                    ReadText(log).c_str());
            return 1;
        }
        const int oursConnections = http.Connections();
        RemoveTree(install);

        const fs::path peerFolder = scratch / "peer";
        RemoveTree(peerFolder);
        fs::create_directories(peerFolder);
        http.ResetCounters();
        const ChildResult peer = RunShell(peerCommand, peerFolder, log);
        if (peer.status != 0 || !AllFilesThere(peerFolder / "out")) {
            fprintf(stderr, "bench_patch_large: the peer failed (%d): %s\n", peer.status,
                    ReadText(log).c_str());
            return 1;
        }
        const int peerConnections = http.Connections();
        RemoveTree(peerFolder);

        printf(
            "patch_large round %d: ours %.2f s (cpu %.2f s, %d connection(s)), peer %.2f s (cpu %.2f s, %d "
            "connection(s))\n",
            round + 1, ours.wallSeconds, ours.cpuSeconds, oursConnections, peer.wallSeconds, peer.cpuSeconds,
            peerConnections);
        fflush(stdout);
        times.Add(ours, peer);
    }
    RemoveTree(scratch);
    const double ours = Median(times.oursWall), peer = Median(times.peerWall);
    const double megabytes = kFiles * static_cast<double>(kFileBytes) / 1e6;
    printf(
        "RATIO patch_large: peer/ours = %.2f (ours %.2f s = %.0f MB/s, peer %.2f s = %.0f MB/s; cpu ours "
        "%.2f s, "
        "peer %.2f s; launcher max RSS %.1f MiB) 10 x 100 MB random, launcher vs curl+unzip+md5sum, median "
        "of %d, "
        "target >= 1\n",
        peer / ours, ours, megabytes / ours, peer, megabytes / peer, Median(times.oursCpu), Median(times.peerCpu),
        times.oursRssKiB / 1024.0, kRounds);
    printf("RATIO patch_large time: ours/peer = %.2f (fetch, unzip and check overlapped) target <= 0.45\n",
           ours / peer);
    return 0;
}
