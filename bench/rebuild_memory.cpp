// The launcher's peak resident memory while it rebuilds the client list of a
// 25,000-file install (packclit.lit missing) and compares it with a server
// list of the same files, so that nothing is fetched: the three lists of
// entries are the cost that grows with the install. The same run over an
// install of one file gives the launcher's own floor.
#include <cstdio>
#include <string>

#include "util/text_util.h"
#include "launcher/list_file_format.h"
#include "launcher/md5_checksum.h"
#include "support/patch_bench.h"
#include "support/static_http_server.h"

namespace {

using namespace bench;

constexpr int kFiles = 25000;
constexpr int kFolders = 250;
constexpr uint64_t kFileBytes = 256;
constexpr int kRounds = 3;

std::string FilePath(int i, char separator) {
    char name[64];
    snprintf(name, sizeof(name), "Data%cFolder%03d%cfile%05d.dat", separator, i % kFolders, separator, i);
    return name;
}

// An install of `files` files and the server list that names them all.
bool PrepareInstall(const fs::path& install, const fs::path& server, int files) {
    const std::string tag = "rebuild-" + std::to_string(files);
    CacheLock lock(tag);
    const fs::path marker = CacheFolder() / (tag + ".done");
    const std::string recipe = "files=" + std::to_string(files) + "x" + std::to_string(kFileBytes) + " v1";
    if (CacheIsValid(marker, recipe)) return true;
    printf("bench_rebuild_memory: making the %d-file install (once)\n", files);
    fflush(stdout);
    RemoveTree(install);
    RemoveTree(server);
    PackFileList list;
    for (int i = 0; i < files; ++i) {
        const fs::path file = install / FilePath(i, '/');
        if (!WriteRandomFile(file, kFileBytes, 90000 + i)) return false;
        wchar_t sum[260] = {};
        if (!ChecksumOfFile(sum, text::FromUtf8(file.string()))) return false;
        auto entry = std::make_unique<PackFileInfo>();
        entry->nFileSize = static_cast<int32_t>(kFileBytes);
        entry->nDownloadSize = static_cast<int32_t>(kFileBytes + 150);
        entry->SetChecksum(sum);
        entry->SetPath(text::FromUtf8(FilePath(i, '\\')));
        list.push_back(std::move(entry));
    }
    const fs::path base = server / "patch_qa";
    fs::create_directories(base);
    const std::wstring listPath = text::FromUtf8((base / "packserv.txt").string());
    if (!WriteListFile(listPath, list)) return false;
    wchar_t sum[260] = {};
    if (!ChecksumOfFile(sum, listPath)) return false;
    FILE* guard = fopen((base / "packserv.md5").c_str(), "wb");
    if (!guard) return false;
    const std::string bytes = "\xFF\xFE" + text::EncodeUtf16LE(std::wstring(sum) + L"\r\n");
    fwrite(bytes.data(), 1, bytes.size(), guard);
    if (fclose(guard) != 0) return false;
    MarkCache(marker, recipe);
    return true;
}

// The largest resident set of kRounds launcher runs that rebuild and compare
// the list of `files` files; -1 when a run fails.
long PeakKiB(int files) {
    const fs::path install = CacheFolder() / ("rebuild-install-" + std::to_string(files));
    const fs::path server = CacheFolder() / ("rebuild-server-" + std::to_string(files));
    if (!PrepareInstall(install, server, files) || !PlaceLauncher(install)) return -1;
    StaticHttpServer http(server.string());
    if (http.port() == 0) return -1;
    const fs::path scratch = ScratchFolder("rebuild_memory");
    const fs::path log = scratch / "run.log";
    long peak = 0;
    for (int round = 0; round < kRounds; ++round) {
        fs::remove(install / "packclit.lit");
        http.ResetCounters();
        const ChildResult run = RunLauncher(install, http.port(), scratch / "runtime", log);
        PackFileList rebuilt;
        // Only the two list files are fetched, and the rebuilt list holds them all.
        if (run.status != 0 || http.Requests() != 2 ||
            !ReadListFile(text::FromUtf8((install / "packclit.lit").string()), rebuilt) ||
            rebuilt.size() != static_cast<size_t>(files)) {
            fprintf(stderr, "bench_rebuild_memory: the launcher failed (%d, %ld requests): %s\n", run.status,
                    http.Requests(), ReadText(log).c_str());
            RemoveTree(scratch);
            return -1;
        }
        printf("rebuild of %d files, round %d: %.2f s, max RSS %.1f MiB\n", files, round + 1, run.wallSeconds,
               run.maxRssKiB / 1024.0);
        fflush(stdout);
        peak = std::max(peak, run.maxRssKiB);
    }
    RemoveTree(scratch);
    return peak;
}

}  // namespace

int main() {
    CacheLock exclusive("measure");
    const long floor = PeakKiB(1);
    const long peak = PeakKiB(kFiles);
    if (floor < 0 || peak < 0) return 1;
    printf(
        "RATIO rebuild memory: launcher peak RSS = %.1f MiB rebuilding and comparing a %d-file list (%.1f "
        "MiB "
        "with one file), max of %d runs, target <= 30 MiB\n",
        peak / 1024.0, kFiles, floor / 1024.0, kRounds);
    return 0;
}
