#include "launcher/commit_batch.h"

#include <algorithm>
#include <cerrno>

#include "launcher/list_file_format.h"

bool CommitSteps::AppendList(const std::wstring& list, const std::vector<const PackFileInfo*>& entries) {
    return AppendListEntries(list, entries, true);
}

CCommitBatch::CCommitBatch(CommitSteps& steps, std::wstring listPath, Limits limits)
    : m_steps(steps), m_listPath(std::move(listPath)), m_limits(limits) {}

void CCommitBatch::Add(std::unique_ptr<fsys::TempFile> file, std::unique_ptr<PackFileInfo> entry, bool record,
                       uint64_t bytes) {
    if (m_items.empty()) m_opened = std::chrono::steady_clock::now();
    std::string target = file ? file->Target() : std::string();
    std::string folder = file ? fsys::FolderOf(target) : std::string();
    m_items.push_back({std::move(file), std::move(target), std::move(folder), std::move(entry), record});
    m_bytes += bytes;
}

bool CCommitBatch::Due() const {
    if (m_items.empty()) return false;
    return m_items.size() >= m_limits.files || m_bytes >= m_limits.bytes ||
           std::chrono::steady_clock::now() - m_opened >= m_limits.age;
}

bool CCommitBatch::Holds(const std::string& target) const {
    return std::any_of(m_items.begin(), m_items.end(),
                       [&](const Item& item) { return item.file && item.target == target; });
}

CCommitBatch::Outcome CCommitBatch::Flush(std::vector<std::unique_ptr<PackFileInfo>>& recorded) {
    Outcome outcome;
    size_t good = m_items.size();  // files before this one go on
    // Only an earlier failure replaces the one found so far.
    auto fail = [&](size_t index, int error) {
        if (index >= good) return;
        good = index;
        outcome = {Failure::kFile, error, m_items[index].target};
    };

    const bool wholeFileSystem = m_limits.dataSync == BatchDataSync::kFileSystem;
    // One sync of the file system stands for every file before `good`: its
    // failure is the first file's.
    auto syncFileSystem = [&] {
        for (size_t i = 0; i < good; ++i) {
            if (!m_items[i].file) continue;
            if (!m_steps.SyncFileSystem(m_items[i].folder)) fail(i, errno);
            return;
        }
    };

    if (wholeFileSystem) {
        syncFileSystem();
    } else {
        for (size_t i = 0; i < good; ++i) {
            if (m_items[i].file && !m_steps.SyncData(*m_items[i].file)) fail(i, errno);
        }
    }
    for (size_t i = 0; i < good; ++i) {
        if (m_items[i].file && !m_steps.Rename(*m_items[i].file)) fail(i, errno);
    }
    // The names: a second sync of the file system covers every folder at
    // once; otherwise each folder is synced once, and one that fails takes
    // its first file and all after it out of the record.
    if (wholeFileSystem) syncFileSystem();
    std::vector<std::string> folders;
    for (size_t i = 0; i < good && !wholeFileSystem; ++i) {
        const Item& item = m_items[i];
        if (item.file && std::find(folders.begin(), folders.end(), item.folder) == folders.end())
            folders.push_back(item.folder);
    }
    for (const std::string& folder : folders) {
        if (m_steps.SyncFolder(folder)) continue;
        const int error = errno;
        for (size_t i = 0; i < good; ++i) {
            if (m_items[i].file && m_items[i].folder == folder) {
                fail(i, error);
                break;
            }
        }
    }

    std::vector<const PackFileInfo*> lines;
    for (size_t i = 0; i < good; ++i) {
        if (m_items[i].record && m_items[i].entry) lines.push_back(m_items[i].entry.get());
    }
    if (!lines.empty() && !m_steps.AppendList(m_listPath, lines)) {
        // Lines of files before any failed one: this failure comes first.
        outcome = {Failure::kList, errno, {}};
        good = 0;
    }
    for (size_t i = 0; i < good; ++i) {
        if (m_items[i].entry) recorded.push_back(std::move(m_items[i].entry));
    }
    m_items.clear();  // temporaries never renamed are removed
    m_bytes = 0;
    return outcome;
}
