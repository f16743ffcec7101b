// What the file service builds on each system's own calls: the tree walk
// (on ListFolder), whole-file reads (on Read), moves of an open file.
#include <algorithm>
#include <utility>

#include "base/file_system.h"

namespace fsys {

File::~File() {
    Close();
}

File::File(File&& other) noexcept : m_handle(std::exchange(other.m_handle, -1)) {}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        m_handle = std::exchange(other.m_handle, -1);
    }
    return *this;
}

bool ListFolder(const std::string& folder, std::vector<FolderEntry>& entries) {
    return detail::ListInto(folder, entries, false);
}

bool ListFolderWithSizes(const std::string& folder, std::vector<FolderEntry>& entries) {
    return detail::ListInto(folder, entries, true);
}

bool File::ReadAll(std::string& out, size_t limit) {
    const int64_t size = Size();
    if (size > 0) out.reserve(out.size() + std::min(static_cast<size_t>(size), limit));
    char chunk[65536];
    size_t got = 0;
    while (got < limit) {
        const int64_t n = Read(chunk, std::min(sizeof(chunk), limit - got));
        if (n < 0) return false;
        if (n == 0) break;
        out.append(chunk, static_cast<size_t>(n));
        got += static_cast<size_t>(n);
    }
    return true;
}

void WalkTree(const std::string& folder, const std::function<void(const std::string&, Kind)>& visit) {
    std::vector<FolderEntry> entries;
    if (!ListFolder(folder, entries)) return;
    for (const FolderEntry& e : entries) {
        const std::string full = folder + "/" + e.name;
        if (e.kind == Kind::kFolder) WalkTree(full, visit);
        visit(full, e.kind);
    }
}

}  // namespace fsys
