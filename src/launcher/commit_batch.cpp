#include "launcher/commit_batch.h"

#include <algorithm>
#include <cerrno>

#include "launcher/list_file_format.h"
#include "os/thread_start.h"

bool CommitSteps::AppendList(const std::wstring& list, const std::vector<const PackFileInfo*>& entries) {
    return AppendListEntries(list, entries, true);
}

CCommitBatch::CCommitBatch(CommitSteps& steps, std::wstring listPath, Limits limits)
    : m_steps(steps), m_listPath(std::move(listPath)), m_limits(limits) {}

CCommitBatch::~CCommitBatch() {
    if (m_flight.joinable()) m_flight.join();
}

void CCommitBatch::Add(std::unique_ptr<fsys::TempFile> file, std::unique_ptr<PackFileInfo> entry, bool record,
                       uint64_t bytes) {
    if (m_items.empty()) m_opened = std::chrono::steady_clock::now();
    std::string target = file ? file->Target() : std::string();
    std::string folder = file ? fsys::FolderOf(target) : std::string();
    if (file) m_targets.insert(target);
    m_items.push_back({std::move(file), std::move(target), std::move(folder), std::move(entry), record});
    m_bytes += bytes;
}

bool CCommitBatch::Due() const {
    if (m_items.empty()) return false;
    if (!m_flight.joinable() || m_flightDone.load(std::memory_order_acquire)) return true;
    return m_items.size() >= m_limits.files || m_bytes >= m_limits.bytes ||
           std::chrono::steady_clock::now() - m_opened >= m_limits.age;
}

bool CCommitBatch::Holds(const std::string& target) const {
    return m_targets.count(target) > 0 || m_flyingTargets.count(target) > 0;
}

CCommitBatch::Outcome CCommitBatch::Land(std::vector<std::unique_ptr<PackFileInfo>>& recorded) {
    if (!m_flight.joinable()) return {};
    m_flight.join();
    for (auto& entry : m_flyingRecorded) recorded.push_back(std::move(entry));
    m_flyingRecorded.clear();
    m_flyingTargets.clear();
    return m_flyingOutcome;
}

CCommitBatch::Outcome CCommitBatch::Flush(std::vector<std::unique_ptr<PackFileInfo>>& recorded) {
    const Outcome landed = Land(recorded);
    std::vector<Item> items = std::move(m_items);
    m_items.clear();
    m_targets.clear();
    m_bytes = 0;
    // After a failure nothing later is committed.
    if (landed.failure != Failure::kNone) return landed;
    return Commit(items, recorded);
}

CCommitBatch::Outcome CCommitBatch::Hand(std::vector<std::unique_ptr<PackFileInfo>>& recorded) {
    const Outcome landed = Land(recorded);
    std::vector<Item> items = std::move(m_items);
    m_items.clear();
    m_bytes = 0;
    std::unordered_set<std::string> targets = std::move(m_targets);
    m_targets.clear();
    if (landed.failure != Failure::kNone || items.empty()) return landed;
    m_flyingTargets = std::move(targets);
    m_flying = std::move(items);
    m_flightDone.store(false, std::memory_order_relaxed);
    m_flight = StartThread([this] {
        m_flyingOutcome = Commit(m_flying, m_flyingRecorded);
        m_flightDone.store(true, std::memory_order_release);
    });
    return landed;
}

CCommitBatch::Outcome CCommitBatch::Commit(std::vector<Item>& items,
                                           std::vector<std::unique_ptr<PackFileInfo>>& recorded) {
    Outcome outcome;
    size_t good = items.size();  // files before this one go on
    // Only an earlier failure replaces the one found so far.
    auto fail = [&](size_t index, int error) {
        if (index >= good) return;
        good = index;
        outcome = {Failure::kFile, error, items[index].target};
    };

    const bool wholeFileSystem = m_limits.dataSync == BatchDataSync::kFileSystem;
    // One sync of the file system stands for every file before `good`: its
    // failure is the first file's.
    auto syncFileSystem = [&] {
        for (size_t i = 0; i < good; ++i) {
            if (!items[i].file) continue;
            if (!m_steps.SyncFileSystem(items[i].folder)) fail(i, errno);
            return;
        }
    };

    if (wholeFileSystem) {
        syncFileSystem();
    } else {
        for (size_t i = 0; i < good; ++i) {
            if (items[i].file && !m_steps.SyncData(*items[i].file)) fail(i, errno);
        }
    }
    for (size_t i = 0; i < good; ++i) {
        if (items[i].file && !m_steps.Rename(*items[i].file)) fail(i, errno);
    }
    // The names: a second sync of the file system covers every folder at
    // once; otherwise each folder is synced once, and one that fails takes
    // its first file and all after it out of the record.
    if (wholeFileSystem) syncFileSystem();
    std::vector<std::string> folders;
    for (size_t i = 0; i < good && !wholeFileSystem; ++i) {
        const Item& item = items[i];
        if (item.file && std::find(folders.begin(), folders.end(), item.folder) == folders.end())
            folders.push_back(item.folder);
    }
    for (const std::string& folder : folders) {
        if (m_steps.SyncFolder(folder)) continue;
        const int error = errno;
        for (size_t i = 0; i < good; ++i) {
            if (items[i].file && items[i].folder == folder) {
                fail(i, error);
                break;
            }
        }
    }

    std::vector<const PackFileInfo*> lines;
    for (size_t i = 0; i < good; ++i) {
        if (items[i].record && items[i].entry) lines.push_back(items[i].entry.get());
    }
    if (!lines.empty() && !m_steps.AppendList(m_listPath, lines)) {
        // Lines of files before any failed one: this failure comes first.
        outcome = {Failure::kList, errno, {}};
        good = 0;
    }
    for (size_t i = 0; i < good; ++i) {
        if (items[i].entry) recorded.push_back(std::move(items[i].entry));
    }
    items.clear();  // temporaries never renamed are removed
    return outcome;
}
