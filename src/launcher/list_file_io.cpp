// The list files on disk; the formats themselves are in list_file_format.cpp.
#include <algorithm>
#include <cerrno>

#include "util/file_util.h"
#include "util/path_util.h"
#include "launcher/list_file_format.h"
#include "base/file_system.h"

namespace {

// Bytes read or written at a time: the lists are never held whole as bytes.
constexpr size_t kPieceBytes = 256 * 1024;

// Reads at most `limit` bytes of a file. False with errno on failure.
bool ReadFileBytes(const std::wstring& path, std::string& bytes, size_t limit) {
    fsys::File file;
    return file.Open(NativePath(path), fsys::File::Mode::kRead) && file.ReadAll(bytes, limit);
}

}  // namespace

bool ReadListFile(const std::wstring& path, PackFileList& list, bool laterPathReplaces) {
    fsys::File file;
    if (!file.Open(NativePath(path), fsys::File::Mode::kRead)) return false;
    ListTextParser parser(laterPathReplaces);
    std::string piece(kPieceBytes, '\0');
    size_t total = 0;
    for (;;) {
        const int64_t got = file.Read(piece.data(), piece.size());
        if (got < 0) return false;
        if (got == 0) break;
        total += static_cast<size_t>(got);
        // Larger than any real list, or holding more entries than one.
        if (total > kMaxListBytes || !parser.Feed(std::string_view(piece.data(), static_cast<size_t>(got)))) {
            errno = EFBIG;
            return false;
        }
    }
    if (!parser.Finish(list)) {
        errno = EFBIG;
        return false;
    }
    return true;
}

bool WriteListFile(const std::wstring& path, const PackFileList& list) {
    fsys::TempFile temp;
    if (!temp.Create(NativePath(path))) return false;
    if (!WriteListPieces(list, kPieceBytes, [&temp](std::string_view bytes) { return temp.Write(bytes); })) {
        const int saved = errno;
        temp.Discard();
        errno = saved;
        return false;
    }
    return temp.Commit(fsys::Durability::kFileAndFolder);
}

bool AppendListEntry(const std::wstring& path, const PackFileInfo& entry) {
    return AppendListEntries(path, {&entry}, false);
}

bool AppendListEntries(const std::wstring& path, const std::vector<const PackFileInfo*>& entries, bool sync) {
    fsys::File file;
    if (!file.Open(NativePath(path), fsys::File::Mode::kAppend)) return false;
    const int64_t size = file.Size();
    if (size < 0) return false;
    std::string bytes;
    if (size == 0) {
        bytes = "\xFF\xFE";
    } else {
        // Realign an odd length and end a line left open, so the new entry is
        // read as a line of its own.
        char tail[4] = {};
        const int64_t tailAt = std::max<int64_t>(0, size - 4);
        const int64_t got = file.ReadAt(tail, 4, tailAt);
        bool endsInLine = false;
        if (size % 2 == 1) {
            bytes += '\0';
        } else if (got == 4) {
            endsInLine = std::string_view(tail, 4) == std::string_view("\r\0\n\0", 4);
        } else if (got >= 2) {
            endsInLine = std::string_view(tail + got - 2, 2) == std::string_view("\n\0", 2);
        }
        if (!endsInLine && size > 2) bytes.append("\r\0\n\0", 4);
    }
    for (const PackFileInfo* entry : entries) bytes += EncodeListText(FormatListLine(*entry));
    // Without `sync`, a line lost to a power cut only costs a new fetch of
    // its file, which was made durable before its line is written.
    bool ok = file.Write(bytes) && (!sync || file.SyncData());
    int saved = errno;
    if (!ok) file.Truncate(size);  // when this fails too, the next append ends the open line first
    if (!file.Close() && ok) {
        ok = false;
        saved = errno;
    }
    errno = saved;
    return ok;
}

bool ReadGuardFile(const std::wstring& path, std::wstring& text) {
    std::string bytes;
    if (!ReadFileBytes(path, bytes, kGuardReadBytes)) return false;
    text = ParseGuardText(bytes);
    return true;
}
