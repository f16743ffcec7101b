// Rebuilding the client list of a 20,000-file, 1.6 GB install (the scan and
// an MD5 of every file, as a launcher without packclit.lit does) against
// `find -type f -print0 | xargs -0 md5sum` over the same tree. The tree is
// made once in the cache folder; both sides read it from the page cache, in
// alternating runs, and the ratio is of the medians. Our scan runs once on
// every core and once on one thread, to show what the threads bring.
#include <sys/resource.h>

#include <cstdio>
#include <string>
#include <vector>

#include "util/text_util.h"
#include "launcher/checksum_pool.h"
#include "launcher/game_launcher_dlg.h"
#include "support/bench_util.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFiles = 20000;
constexpr int kFolders = 200;
constexpr int kRounds = 3;
// Sizes spread from 1 KiB to 155 KiB; 80,000 bytes on average, 1.6 GB in all.
uint64_t FileSize(int i) {
    return 1024 + (static_cast<uint64_t>(i) * 2654435761u) % 157953;
}

fs::path FilePath(const fs::path& root, int i) {
    char name[64];
    snprintf(name, sizeof(name), "Data/d%03d/f%05d.dat", i % kFolders, i);
    return root / name;
}

bool PrepareTree(const fs::path& root) {
    bench::CacheLock lock("scan-tree");
    const fs::path marker = root.parent_path() / "scan-tree.done";
    const std::string recipe =
        "files=" + std::to_string(kFiles) + " folders=" + std::to_string(kFolders) + " v1";
    if (bench::CacheIsValid(marker, recipe)) return true;
    printf("bench_scan: making the %d-file tree in %s (once)\n", kFiles, root.c_str());
    fflush(stdout);
    std::error_code ignored;
    fs::remove_all(root, ignored);
    for (int i = 0; i < kFiles; ++i) {
        if (!bench::WriteRandomFile(FilePath(root, i), FileSize(i), i + 1)) return false;
    }
    bench::MarkCache(marker, recipe);
    return true;
}

// The launcher's services for an in-process scan: its "executable" sits in
// the tree, and nothing else is used.
class ScanPlatform : public LauncherPlatform {
public:
    explicit ScanPlatform(std::wstring exe) : m_exe(std::move(exe)) {}
    bool AcquireInstanceLock() override { return true; }
    bool IsGameClientRunning() override { return false; }
    std::wstring GetExecutablePath() override { return m_exe; }

private:
    std::wstring m_exe;
};

class NullView : public LauncherView {
public:
    void ShowMessageBox(const std::wstring& text, const std::wstring&, unsigned) override {
        fprintf(stderr, "bench_scan: launcher message: %s\n", text::ToUtf8(text).c_str());
    }
    void InvalidateRect(const RECT*, bool) override {}
    void SetButtonsEnabled(bool) override {}
    void SetTimer(int, unsigned) override {}
    void KillTimer(int) override {}
    void UpdateWindowNow() override {}
    void PostClose() override {}
};

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
           usage.ru_stime.tv_usec / 1e6;
}

struct OurRun {
    double wall = 0, cpu = 0;
    size_t files = 0;
    std::wstring firstSum;
};

// `workers`: the scan's thread count, or 0 for one per core.
OurRun RunOurs(const fs::path& root, unsigned workers) {
    fs::remove(root / "packclit.lit");
    ScanPlatform platform(text::FromUtf8((root / "QuonLauncher.exe").string()));
    platform.Config().scanWorkers = workers;
    NullView view;
    CGameLauncherDlg dlg(platform, view, {L"QuonLauncher.exe", L"QA", L"FromUpdater"});
    OurRun run;
    const double cpu = ProcessCpuSeconds(), start = bench::Seconds();
    const HRESULT hr = dlg.RebuildClientList();
    run.wall = bench::Seconds() - start;
    run.cpu = ProcessCpuSeconds() - cpu;
    if (hr == S_OK) run.files = dlg.m_vecClientList.size();
    if (!dlg.m_vecClientList.empty()) run.firstSum = dlg.m_vecClientList.front()->szChecksum;
    fs::remove(root / "packclit.lit");
    return run;
}

bench::ChildResult RunPeer(const fs::path& root, const fs::path& log) {
    return bench::RunShell(
        "find " + bench::ShellQuote(root.string()) + " -type f -print0 | xargs -0 md5sum > /dev/null", root,
        log);
}

}  // namespace

using namespace bench;

int main() {
    // One measuring benchmark at a time on this machine: a second run started
    // meanwhile (and its use of the cached data) waits here.
    bench::CacheLock exclusive("measure");
    const fs::path root = CacheFolder() / "scan-tree";
    if (!PrepareTree(root)) {
        fprintf(stderr, "bench_scan: cannot make the tree in %s\n", root.c_str());
        return 1;
    }
    WarmPageCache(root);
    const fs::path scratch = ScratchFolder("scan");
    const fs::path log = scratch / "peer.log";

    // The first file's digest, as md5sum prints it, checks that our scan
    // hashed the same bytes.
    const fs::path first = FilePath(root, 0);
    RunShell("md5sum " + ShellQuote(first.string()), root, log);
    const std::string peerFirst = ReadText(log).substr(0, 32);

    std::vector<double> oursWall, oursCpu, peerWall, peerCpu, serialWall, serialCpu;
    for (int round = 0; round < kRounds; ++round) {
        const OurRun ours = RunOurs(root, 0);
        const OurRun serial = RunOurs(root, 1);
        for (const OurRun* run : {&ours, &serial}) {
            if (run->files != static_cast<size_t>(kFiles) || text::ToUtf8(run->firstSum) != peerFirst) {
                fprintf(stderr,
                        "bench_scan: the rebuilt list is wrong (%zu files, first sum %s, md5sum %s)\n",
                        run->files, text::ToUtf8(run->firstSum).c_str(), peerFirst.c_str());
                return 1;
            }
        }
        const ChildResult peer = RunPeer(root, log);
        if (peer.status != 0) {
            fprintf(stderr, "bench_scan: the peer failed (%d): %s\n", peer.status, ReadText(log).c_str());
            return 1;
        }
        printf(
            "scan round %d: ours %.2f s (cpu %.2f s), ours on one thread %.2f s (cpu %.2f s), "
            "peer %.2f s (cpu %.2f s)\n",
            round + 1, ours.wall, ours.cpu, serial.wall, serial.cpu, peer.wallSeconds, peer.cpuSeconds);
        fflush(stdout);
        oursWall.push_back(ours.wall);
        oursCpu.push_back(ours.cpu);
        serialWall.push_back(serial.wall);
        serialCpu.push_back(serial.cpu);
        peerWall.push_back(peer.wallSeconds);
        peerCpu.push_back(peer.cpuSeconds);
    }
    std::error_code ignored;
    fs::remove_all(scratch, ignored);
    const double ours = Median(oursWall), peer = Median(peerWall);
    printf(
        "RATIO scan: ours/peer time = %.2f (ours %.2f s on %u threads, %.2f s on one; peer %.2f s; cpu ours "
        "%.2f s, on one %.2f s, peer %.2f s) RebuildClientList vs find|xargs md5sum, %d files 1.6 GB warm, "
        "median of %d, target <= 0.60\n",
        ours / peer, ours, ChecksumPool::WorkerCount(), Median(serialWall), peer, Median(oursCpu),
        Median(serialCpu), Median(peerCpu), kFiles, kRounds);
    return 0;
}
