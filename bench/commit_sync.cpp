// The cost of durable commits: N small files written through the commit
// helper as the patch writes them (temporary, rename, one list line), with
// no sync, with the file and its folder synced per file, with the folder
// syncs batched, and through the patch's commit batch (CCommitBatch) with
// each way of syncing a batch's data and several batch sizes; and the
// rewrite of a 20,000-entry client list with and without its syncs. Prints
// the synced/unsynced ratios and which batch flush won.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "util/text_util.h"
#include "launcher/commit_batch.h"
#include "launcher/list_file_format.h"
#include "base/file_system.h"
#include "support/bench_util.h"

namespace {

using namespace bench;

constexpr int kFiles = 1024;
constexpr int kFolders = 10;
constexpr size_t kFileBytes = 16 * 1024;
constexpr int kListEntries = 20000;
constexpr int kRounds = 3;

enum class Variant { kNone, kPerFile, kBatched };

// Seconds for writing kFiles files into `root` the given way.
double CommitFiles(const fs::path& root, Variant variant, const std::string& bytes) {
    std::error_code ignored;
    fs::remove_all(root, ignored);
    for (int f = 0; f < kFolders; ++f) fs::create_directories(root / ("d" + std::to_string(f)));
    const std::wstring list = text::FromUtf8((root / "packclit.lit").string());
    fsys::FolderSyncBatch batch;
    const double start = Seconds();
    for (int i = 0; i < kFiles; ++i) {
        const fs::path target =
            root / ("d" + std::to_string(i % kFolders)) / ("f" + std::to_string(i) + ".dat");
        fsys::TempFile temp;
        if (!temp.Create(target.string()) || !temp.Write(bytes)) return -1;
        const auto durability =
            variant == Variant::kNone ? fsys::Durability::kNone : fsys::Durability::kFileAndFolder;
        if (!temp.Commit(durability, 0, variant == Variant::kBatched ? &batch : nullptr)) return -1;
        PackFileInfo entry;
        entry.nFileSize = static_cast<int32_t>(bytes.size());
        entry.szChecksum = std::wstring(32, L'0');
        entry.szPath = text::FromUtf8(target.filename().string());
        if (!AppendListEntry(list, entry)) return -1;
    }
    if (variant == Variant::kBatched && !batch.Flush()) return -1;
    return Seconds() - start;
}

// Seconds for kFiles files committed as the patch commits them: written,
// write-back started, then CCommitBatch flushes of `batchFiles` at a time.
double CommitBatched(const fs::path& root, BatchDataSync how, size_t batchFiles, const std::string& bytes) {
    std::error_code ignored;
    fs::remove_all(root, ignored);
    for (int f = 0; f < kFolders; ++f) fs::create_directories(root / ("d" + std::to_string(f)));
    CommitSteps steps;
    CCommitBatch batch(steps, text::FromUtf8((root / "packclit.lit").string()),
                       {.files = batchFiles, .age = std::chrono::hours(1), .dataSync = how});
    std::vector<std::unique_ptr<PackFileInfo>> recorded;
    const double start = Seconds();
    for (int i = 0; i < kFiles; ++i) {
        const fs::path target = root / ("d" + std::to_string(i % kFolders)) / ("f" + std::to_string(i) + ".dat");
        auto temp = std::make_unique<fsys::TempFile>();
        if (!temp->Create(target.string()) || !temp->Write(bytes) || !temp->SetMode()) return -1;
        temp->StartWriteBack(0, 0);
        auto entry = std::make_unique<PackFileInfo>();
        entry->nFileSize = static_cast<int32_t>(bytes.size());
        entry->szChecksum = std::wstring(32, L'0');
        entry->szPath = text::FromUtf8(target.filename().string());
        batch.Add(std::move(temp), std::move(entry), true, bytes.size());
        if (batch.Due() && batch.Flush(recorded).failure != CCommitBatch::Failure::kNone) return -1;
    }
    if (batch.Flush(recorded).failure != CCommitBatch::Failure::kNone) return -1;
    return Seconds() - start;
}

double RewriteList(const fs::path& root, fsys::Durability durability, const std::string& bytes) {
    const std::string path = (root / "packclit.lit").string();
    const double start = Seconds();
    if (!fsys::WriteFileAtomically(path, bytes, durability)) return -1;
    return Seconds() - start;
}

}  // namespace

int main() {
    const fs::path root = ScratchFolder("commit-sync");
    std::string bytes(kFileBytes, '\0');
    RandomBytes(11).Fill(bytes.data(), bytes.size());
    PackFileList list;
    for (int i = 0; i < kListEntries; ++i) {
        auto entry = std::make_unique<PackFileInfo>();
        entry->nFileSize = i;
        entry->szChecksum = std::wstring(32, L'a');
        entry->szPath = L"Data\\Folder" + std::to_wstring(i % 100) + L"\\file" + std::to_wstring(i) + L".dat";
        list.push_back(std::move(entry));
    }
    const std::string listBytes = SerializeList(list);

    struct Way {
        const char* name;
        BatchDataSync how;
        size_t files;
        std::vector<double> seconds;
    };
    std::vector<Way> ways;
    for (size_t files : {32, 128, 512}) {
        ways.push_back({"fdatasync per file", BatchDataSync::kPerFile, files, {}});
        ways.push_back({"syncfs", BatchDataSync::kFileSystem, files, {}});
    }
    std::vector<double> none, perFile, batched, listPlain, listSynced;
    for (int round = 0; round < kRounds; ++round) {
        none.push_back(CommitFiles(root / "files", Variant::kNone, bytes));
        perFile.push_back(CommitFiles(root / "files", Variant::kPerFile, bytes));
        batched.push_back(CommitFiles(root / "files", Variant::kBatched, bytes));
        for (Way& way : ways) way.seconds.push_back(CommitBatched(root / "files", way.how, way.files, bytes));
        listPlain.push_back(RewriteList(root, fsys::Durability::kNone, listBytes));
        listSynced.push_back(RewriteList(root, fsys::Durability::kFileAndFolder, listBytes));
    }
    std::error_code ignored;
    fs::remove_all(root, ignored);
    for (const auto* series : {&none, &perFile, &batched, &listPlain, &listSynced}) {
        for (double s : *series) {
            if (s < 0) {
                printf("bench_commit_sync: a commit failed\n");
                return 1;
            }
        }
    }
    const double n = Median(none), p = Median(perFile), b = Median(batched);
    const double lp = Median(listPlain), ls = Median(listSynced);
    printf("commit of %d files of %zu KiB in %d folders, each with its list line (median of %d):\n", kFiles,
           kFileBytes / 1024, kFolders, kRounds);
    printf("  no sync            %8.3f ms/file\n", 1000 * n / kFiles);
    printf("  file+folder synced %8.3f ms/file\n", 1000 * p / kFiles);
    printf("  folders batched    %8.3f ms/file\n", 1000 * b / kFiles);
    printf("list of %d entries (%zu KiB): %.2f ms plain, %.2f ms synced\n", kListEntries,
           listBytes.size() / 1024, 1000 * lp, 1000 * ls);
    const Way* best = nullptr;
    printf("commit batches (data synced together, renamed, folders synced once, lines appended with one sync):\n");
    for (const Way& way : ways) {
        if (std::find(way.seconds.begin(), way.seconds.end(), -1.0) != way.seconds.end()) {
            printf("bench_commit_sync: a batch commit failed\n");
            return 1;
        }
        printf("  %-18s batches of %3zu %8.3f ms/file\n", way.name, way.files, 1000 * Median(way.seconds) / kFiles);
        if (!best || Median(way.seconds) < Median(best->seconds)) best = &way;
    }
    printf("RATIO commit batch: best flush = %s, batches of %zu, %.3f ms/file against %.3f per file synced (%.2f)\n",
           best->name, best->files, 1000 * Median(best->seconds) / kFiles, 1000 * p / kFiles,
           Median(best->seconds) / p);
    printf(
        "RATIO fsync commit: synced/unsynced time per small file = %.2f (%.3f vs %.3f ms/file; folders "
        "batched %.2f)\n",
        p / n, 1000 * p / kFiles, 1000 * n / kFiles, b / n);
    printf("RATIO fsync list rewrite: synced/unsynced = %.2f (%.2f vs %.2f ms for %d entries)\n", ls / lp,
           1000 * ls, 1000 * lp, kListEntries);
    return 0;
}
