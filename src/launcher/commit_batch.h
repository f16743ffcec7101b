#pragma once
// Unpacked files made durable and recorded a batch at a time. A sync per file
// and per folder cost more than fetching and unpacking a small file, so the
// batch pays once for all of its files, in this order: their data synced,
// then each renamed into place, then each folder they went into synced once,
// then their list lines appended in list order with one write and one sync.
// A line is never on disk before its file's data and name are.
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "launcher/pack_file_info.h"
#include "base/file_system.h"

// How a batch is made durable. kPerFile: one fdatasync per file (write-back
// of each started as soon as it is written), then one sync per folder; each
// costs the disk a cache flush. kFileSystem: one syncfs for the data and one
// for the names, two flushes a batch, though each also waits for whatever
// else is being written to that file system. The second won on every
// measurement (bench_commit_sync), so it is the default.
enum class BatchDataSync { kPerFile, kFileSystem };

// The file-system steps of a commit, one call each, so that a test can
// record their order or fail one. Every failure leaves errno telling why.
class CommitSteps {
public:
    virtual ~CommitSteps() = default;
    // The way batches are synced with these steps.
    virtual BatchDataSync Method() const {
        return fsys::CanSyncFileSystem() ? BatchDataSync::kFileSystem : BatchDataSync::kPerFile;
    }
    virtual bool SyncData(fsys::TempFile& file) { return file.SyncData(); }
    virtual bool SyncFileSystem(const std::string& path) { return fsys::SyncFileSystem(path); }
    virtual bool Rename(fsys::TempFile& file) { return file.RenameOverTarget(); }
    virtual bool SyncFolder(const std::string& folder) { return fsys::SyncFolder(folder); }
    // The entries' lines with one write, then one sync of the list file.
    virtual bool AppendList(const std::wstring& list, const std::vector<const PackFileInfo*>& entries);
};


class CCommitBatch {
public:
    struct Limits {
        size_t files = 128;
        uint64_t bytes = 32ull << 20;
        // A batch older than this is flushed before the next file is fetched,
        // so a slow connection does not keep finished files unrecorded.
        std::chrono::milliseconds age{1000};
        BatchDataSync dataSync = BatchDataSync::kFileSystem;
    };
    // The first failure of a flush, in list order.
    enum class Failure {
        kNone,
        kFile,  // a file's data or name could not be made durable: `path` is its target
        kList,  // the list lines could not be appended
    };
    struct Outcome {
        Failure failure = Failure::kNone;
        int error = 0;
        std::string path;
    };

    CCommitBatch(CommitSteps& steps, std::wstring listPath, Limits limits);
    // What was never flushed is discarded: temporaries removed, nothing recorded.
    ~CCommitBatch() = default;
    CCommitBatch(const CCommitBatch&) = delete;
    CCommitBatch& operator=(const CCommitBatch&) = delete;

    // A written, uncommitted file (null: one already in place, only its line
    // is to be written) and its entry (null, or `record` false: committed but
    // not listed).
    void Add(std::unique_ptr<fsys::TempFile> file, std::unique_ptr<PackFileInfo> entry, bool record,
             uint64_t bytes);
    bool Empty() const { return m_items.empty(); }
    // Over a bound: to be flushed now.
    bool Due() const;
    // True when a file not yet renamed goes to `target` (native path).
    bool Holds(const std::string& target) const;
    // Commits the files in order up to the first failure. The entries of the
    // files recorded (lines durable, or not to be listed) go to `recorded`, in
    // order; the batch is empty afterwards.
    Outcome Flush(std::vector<std::unique_ptr<PackFileInfo>>& recorded);

private:
    struct Item {
        std::unique_ptr<fsys::TempFile> file;
        std::string target;  // kept: a failed rename forgets it
        std::string folder;
        std::unique_ptr<PackFileInfo> entry;
        bool record;
    };

    CommitSteps& m_steps;
    std::wstring m_listPath;
    Limits m_limits;
    std::vector<Item> m_items;
    uint64_t m_bytes = 0;
    std::chrono::steady_clock::time_point m_opened;
};
