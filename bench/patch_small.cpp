// Patching 5,000 new files of 16 KiB into an install that already holds
// 20,000 listed files (packclit.lit valid, so they are neither fetched nor
// hashed), against one curl process fetching the same 5,000 archives over
// one kept-alive connection, then one unzip process unpacking them (neither
// syncs anything; the launcher makes every file and its list line durable).
// Also reports the launcher's peak memory while it does this.
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <string>
#include <vector>

#include "util/text_util.h"
#include "launcher/list_file_format.h"
#include "support/patch_bench.h"
#include "support/static_http_server.h"

namespace {

using namespace bench;

constexpr int kPresent = 20000;
constexpr int kNew = 5000;
constexpr uint64_t kPresentBytes = 2048;
constexpr uint64_t kNewBytes = 16 * 1024;
constexpr int kRounds = 3;

std::string PresentPath(int i) {
    char name[64];
    snprintf(name, sizeof(name), "Base/b%03d/f%05d.dat", i % 100, i);
    return name;
}

std::string NewPath(int i) {
    char name[64];
    snprintf(name, sizeof(name), "New/n%02d/g%04d.dat", i % 50, i);
    return name;
}

std::string ListPath(std::string path) {
    for (char& c : path) c = c == '/' ? '\\' : c;
    return path;
}

// The build folder (Base/ and New/), its patch set, and the client list of
// an install that holds Base/ only.
bool PrepareData(const fs::path& build, const fs::path& server, const fs::path& clientList) {
    CacheLock lock("small-patch");
    const fs::path marker = CacheFolder() / "small-patch.done";
    const std::string recipe = "present=" + std::to_string(kPresent) + "x" + std::to_string(kPresentBytes) +
                               " new=" + std::to_string(kNew) + "x" + std::to_string(kNewBytes) + " v1";
    if (CacheIsValid(marker, recipe)) return true;
    printf("bench_patch_small: making and publishing %d + %d files (once)\n", kPresent, kNew);
    fflush(stdout);
    RemoveTree(build);
    RemoveTree(server);
    for (int i = 0; i < kPresent; ++i) {
        if (!WriteRandomFile(build / PresentPath(i), kPresentBytes, 5000 + i)) return false;
    }
    for (int i = 0; i < kNew; ++i) {
        if (!WriteRandomFile(build / NewPath(i), kNewBytes, 50000 + i)) return false;
    }
    if (!PublishPatchSet(build, server, CacheFolder() / "small-publish.log")) return false;

    // The server's own entries for Base\, so the comparison finds them
    // installed and unchanged.
    PackFileList serverList, installed;
    if (!ReadListFile(text::FromUtf8((server / "patch_qa" / "packserv.txt").string()), serverList))
        return false;
    for (auto& entry : serverList) {
        if (entry->szPath.starts_with(L"Base\\")) installed.push_back(std::move(entry));
    }
    if (installed.size() != static_cast<size_t>(kPresent)) return false;
    if (!WriteListFile(text::FromUtf8(clientList.string()), installed)) return false;
    MarkCache(marker, recipe);
    return true;
}

// A fresh install: Base/ as hard links to the build's files (the launcher
// never writes them; it replaces files by renaming), its own packclit.lit
// and launcher.
bool MakeInstall(const fs::path& install, const fs::path& build, const fs::path& clientList) {
    RemoveTree(install);
    fs::create_directories(install);
    std::error_code error;
    fs::copy(build / "Base", install / "Base",
             fs::copy_options::recursive | fs::copy_options::create_hard_links, error);
    if (error) {  // another file system (QUON_BENCH_SCRATCH): real copies
        error.clear();
        RemoveTree(install / "Base");
        fs::copy(build / "Base", install / "Base", fs::copy_options::recursive, error);
        if (error) return false;
    }
    fs::copy_file(clientList, install / "packclit.lit", error);
    return !error && PlaceLauncher(install);
}

int CountNewFiles(const fs::path& folder, bool archives) {
    int count = 0;
    for (int i = 0; i < kNew; ++i) {
        std::error_code error;
        char archive[32];
        snprintf(archive, sizeof(archive), "g%d.zip", i);
        const fs::path path = archives ? folder / archive : folder / NewPath(i);
        const uintmax_t size = fs::file_size(path, error);
        if (!error && (archives ? size > kNewBytes : size == kNewBytes)) ++count;
    }
    return count;
}

}  // namespace

int main() {
    // One measuring benchmark at a time on this machine.
    CacheLock exclusive("measure");
    const fs::path build = CacheFolder() / "small-build", server = CacheFolder() / "small-server";
    const fs::path clientList = CacheFolder() / "small-packclit.lit";
    if (!PrepareData(build, server, clientList)) {
        fprintf(stderr, "bench_patch_small: cannot make the patch set\n");
        return 1;
    }
    WarmPageCache(server / "patch_qa" / "New");
    StaticHttpServer http(server.string());
    if (http.port() == 0) {
        fprintf(stderr, "bench_patch_small: the server did not start\n");
        return 1;
    }

    const fs::path scratch = ScratchFolder("patch_small");
    const fs::path log = scratch / "run.log";
    // curl's own list of URLs and outputs: one process, one connection kept
    // open from one transfer to the next.
    const fs::path curlConfig = scratch / "urls.cfg";
    {
        FILE* f = fopen(curlConfig.c_str(), "wb");
        if (!f) return 1;
        for (int i = 0; i < kNew; ++i) {
            fprintf(f, "url = \"%s\"\noutput = \"g%d.zip\"\n",
                    ArchiveUrl(http.port(), ListPath(NewPath(i))).c_str(), i);
        }
        fclose(f);
        fs::create_directories(scratch / "loop");
        FILE* list = fopen((scratch / "loop" / "urls.txt").c_str(), "wb");
        if (!list) return 1;
        for (int i = 0; i < kNew; ++i) fprintf(list, "%s g%d.zip\n", ArchiveUrl(http.port(), ListPath(NewPath(i))).c_str(), i);
        fclose(list);
    }

    RoundTimes times;
    std::vector<double> curlWall, unzipWall;
    int oursConnections = 0, peerConnections = 0;
    // Nothing is deleted until the end: on a file system that avoids
    // reusing recently freed inodes (ext4 without a journal), thousands of
    // deletions make every later file creation slower, for both sides.
    for (int round = 0; round < kRounds; ++round) {
        const fs::path install = scratch / ("install" + std::to_string(round));
        if (!MakeInstall(install, build, clientList)) {
            fprintf(stderr, "bench_patch_small: cannot make the install folder\n");
            RemoveTree(scratch);
            return 1;
        }
        // The copies just made are written out now, not by the launcher's
        // first sync.
        sync();
        http.ResetCounters();
        const ChildResult ours = RunLauncher(install, http.port(), scratch / "runtime", log);
        const long oursRequests = http.Requests();
        oursConnections = std::max(oursConnections, http.Connections());
        if (ours.status != 0 || CountNewFiles(install, false) != kNew || oursRequests != kNew + 2) {
            fprintf(stderr, "bench_patch_small: the launcher failed (%d, %ld requests): %s\n", ours.status,
                    oursRequests, ReadText(log).c_str());
            RemoveTree(scratch);
            return 1;
        }

        const fs::path peerFolder = scratch / ("peer" + std::to_string(round));
        fs::create_directories(peerFolder);
        http.ResetCounters();
        const ChildResult peer =
            RunChild({"/usr/bin/curl", "-sS", "--fail", "-K", curlConfig.string()}, peerFolder, {}, log);
        peerConnections = std::max(peerConnections, http.Connections());
        if (peer.status != 0 || CountNewFiles(peerFolder, true) != kNew) {
            fprintf(stderr, "bench_patch_small: curl failed (%d): %s\n", peer.status, ReadText(log).c_str());
            RemoveTree(scratch);
            return 1;
        }
        const ChildResult unzip = RunChild({"/usr/bin/unzip", "-qo", "*.zip", "-d", "out"}, peerFolder, {}, log);
        if (unzip.status != 0 || CountNewFiles(peerFolder / "out", false) != kNew) {
            fprintf(stderr, "bench_patch_small: unzip failed (%d): %s\n", unzip.status, ReadText(log).c_str());
            RemoveTree(scratch);
            return 1;
        }
        curlWall.push_back(peer.wallSeconds);
        unzipWall.push_back(unzip.wallSeconds);
        ChildResult peerBoth = peer;
        peerBoth.wallSeconds += unzip.wallSeconds;
        peerBoth.cpuSeconds += unzip.cpuSeconds;

        printf(
            "patch_small round %d: ours %.2f s (%.0f files/s, cpu %.2f s, max RSS %.1f MiB), curl %.2f s "
            "+ unzip %.2f s (cpu %.2f s)\n",
            round + 1, ours.wallSeconds, kNew / ours.wallSeconds, ours.cpuSeconds, ours.maxRssKiB / 1024.0,
            peer.wallSeconds, unzip.wallSeconds, peerBoth.cpuSeconds);
        fflush(stdout);
        times.Add(ours, peerBoth);
    }
    // The other peer: a loop that starts one curl per file, a new
    // connection each time. Slow (a process per file), so one round.
    double loopSeconds = 0;
    // QUON_BENCH_NO_LOOP: skipped while tuning the launcher.
    if (!getenv("QUON_BENCH_NO_LOOP")) {
        const fs::path loopFolder = scratch / "loop";
        fs::create_directories(loopFolder);
        const ChildResult loop = RunShell(
            "while read -r url out; do /usr/bin/curl -sS --fail -o \"$out\" \"$url\" || exit 1; done < urls.txt",
            loopFolder, log);
        if (loop.status != 0 || CountNewFiles(loopFolder, true) != kNew) {
            fprintf(stderr, "bench_patch_small: the curl loop failed (%d): %s\n", loop.status, ReadText(log).c_str());
            RemoveTree(scratch);
            return 1;
        }
        loopSeconds = loop.wallSeconds;
    }
    RemoveTree(scratch);
    const double ours = Median(times.oursWall), peer = Median(times.peerWall);
    printf(
        "RATIO patch_small: ours/(curl+unzip) time = %.2f (ours %.2f s, %.0f files/s; curl %.2f s + unzip %.2f s "
        "= %.2f s; ours/curl alone %.2f; cpu ours %.2f s, peer %.2f s; connections ours %d, curl %d) %d x 16 KiB "
        "into an install of %d listed files, every file durable, median of %d, target <= 0.65\n",
        ours / peer, ours, kNew / ours, Median(curlWall), Median(unzipWall), peer, ours / Median(curlWall),
        Median(times.oursCpu), Median(times.peerCpu), oursConnections, peerConnections, kNew, kPresent, kRounds);
    printf("RATIO patch_small per-file curl: ours/loop files per second = %.2f (loop %.0f files/s in %.2f s, "
           "one curl process per file) target >= 1.5\n",
           loopSeconds / ours, kNew / loopSeconds, loopSeconds);
    printf("RATIO patch_small memory: launcher peak RSS = %.1f MiB (max of %d runs, wait4 ru_maxrss)\n",
           times.oursRssKiB / 1024.0, kRounds);
    return 0;
}
