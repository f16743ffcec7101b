// Temporary-then-rename commits, the one way the launcher replaces a file.
// The system's part (making a file of a new name) is TempFile::OpenUnique.
#include <algorithm>
#include <cerrno>
#include <vector>

#include "base/file_system.h"

namespace fsys {

namespace {

constexpr std::string_view kMark = ".qtmp-";
constexpr size_t kRandomChars = 6;
// Bytes of the target's name kept in the temporary's name: with the mark and
// the random part it stays well inside the 255 bytes of a file name.
constexpr size_t kKeptNameBytes = 200;

// Cuts UTF-8 text to at most `bytes` bytes without splitting a character.
std::string_view CutUtf8(std::string_view text, size_t bytes) {
    if (text.size() <= bytes) return text;
    while (bytes > 0 && (static_cast<unsigned char>(text[bytes]) & 0xC0) == 0x80) --bytes;
    return text.substr(0, bytes);
}

}  // namespace

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool IsTemporaryName(std::string_view name) {
    const size_t at = name.rfind(kMark);
    return at != std::string_view::npos && at > 0 && name.size() - at - kMark.size() == kRandomChars;
}

bool TempFile::Create(const std::string& target) {
    Discard();
    const size_t slash = target.find_last_of('/');
    const std::string_view base =
        slash == std::string::npos ? std::string_view(target) : std::string_view(target).substr(slash + 1);
    if (base.empty() || base == "." || base == "..") {
        errno = EINVAL;
        return false;
    }
    if (KindOfTarget(target) == Kind::kFolder) {
        errno = EISDIR;
        return false;
    }
    std::string pattern = target.substr(0, slash == std::string::npos ? 0 : slash + 1);
    pattern += CutUtf8(base, kKeptNameBytes);
    pattern += kMark;
    pattern.append(kRandomChars, 'X');
    if (!OpenUnique(pattern, m_file)) return false;
    m_tempPath = std::move(pattern);
    m_target = target;
    return true;
}

bool TempFile::Commit(Durability durability, unsigned mode, FolderSyncBatch* batch) {
    if (!m_file.IsOpen()) {
        errno = EBADF;
        return false;
    }
    bool ok = m_file.SetCreationMode(mode);
    if (ok && durability != Durability::kNone) ok = m_file.Sync();
    if (!ok) {
        const int saved = errno;
        Discard();
        errno = saved;
        return false;
    }
    if (!RenameOverTarget()) return false;
    const std::string folder = FolderOf(m_target);
    m_target.clear();
    if (durability == Durability::kNone) return true;
    if (batch) {
        batch->Add(folder);
        return true;
    }
    // The rename is done; a folder that cannot be synced leaves the new file
    // in place but not durable, which the caller hears of.
    return SyncFolder(folder);
}

bool TempFile::RenameOverTarget() {
    if (!m_file.IsOpen() && m_tempPath.empty()) {
        errno = EBADF;
        return false;
    }
    bool ok = m_file.Close();
    int saved = errno;
    if (ok && !Rename(m_tempPath, m_target)) {
        ok = false;
        saved = errno;
    }
    if (!ok) {
        Discard();
        errno = saved;
        return false;
    }
    m_tempPath.clear();
    return true;
}

void TempFile::Discard() {
    m_file.Close();
    if (!m_tempPath.empty()) {
        RemoveFile(m_tempPath);
        m_tempPath.clear();
    }
    m_target.clear();
}

void FolderSyncBatch::Add(const std::string& folder) {
    if (std::find(m_folders.begin(), m_folders.end(), folder) == m_folders.end()) m_folders.push_back(folder);
}

bool FolderSyncBatch::Flush() {
    bool ok = true;
    int saved = 0;
    for (const std::string& folder : m_folders) {
        if (!SyncFolder(folder) && ok) {
            ok = false;
            saved = errno;
        }
    }
    m_folders.clear();
    if (!ok) errno = saved;
    return ok;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes, Durability durability) {
    TempFile temp;
    if (!temp.Create(path)) return false;
    if (!temp.Write(bytes)) {
        const int saved = errno;
        temp.Discard();
        errno = saved;
        return false;
    }
    return temp.Commit(durability);
}

}  // namespace fsys
