#pragma once
// The file system as every layer above uses it. Paths are
// UTF-8 text with "/" separators (NativePath makes one from a list path);
// a Windows implementation converts them to wide paths itself. Every
// operation that fails returns false (or -1) and leaves errno telling why,
// on every platform, so callers keep one way of reporting.
//
// Nothing here follows a symbolic link unless its name says so: a link is an
// entry of its own that can be asked about and removed, never walked into.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace fsys {

enum class Kind {
    kMissing,  // nothing there (or a folder on the way is missing)
    kFile,
    kFolder,
    kLink,     // a symbolic link, whatever it points to
    kOther,    // a device, a pipe, a socket
    kUnknown,  // something may be there but cannot be looked at (no rights)
};

// What the entry itself is; a link is kLink. errno is set for kUnknown.
Kind KindOf(const std::string& path);
// What the entry is once links are followed (kMissing for a dangling link,
// kUnknown for a loop).
Kind KindOfTarget(const std::string& path);
// Size of a file in bytes, links followed; -1 with errno on failure.
int64_t FileSize(const std::string& path);

// Makes one folder (mode 0755 less the umask). False with EEXIST when any
// entry of that name is there, folder or not.
bool MakeFolder(const std::string& path);
// Removes a file or a link (never what it points to); clears a read-only
// bit first. False with EISDIR for a folder.
bool RemoveFile(const std::string& path);
// Removes an empty folder.
bool RemoveEmptyFolder(const std::string& path);
// Removes the entry at `path` and, for a real folder, everything below it.
// Links met on the way are removed as links; their targets are never
// touched, so nothing outside `path` is deleted. False when something stayed.
bool RemoveTree(const std::string& path);
// Renames over an existing file of the target name.
bool Rename(const std::string& from, const std::string& to);
// Makes the folder's entries (new names, renames, removals) durable.
bool SyncFolder(const std::string& folder);
// Makes everything written to the file system that holds `path` durable.
bool SyncFileSystem(const std::string& path);
// Whether SyncFileSystem can work for this process (Windows flushes a
// volume for administrators only); otherwise files are synced one by one.
bool CanSyncFileSystem();

// The working folder of the process.
bool ChangeCurrentFolder(const std::string& folder);
std::string CurrentFolder();
// Full path of the running executable, links resolved; empty on failure.
std::string ExecutablePath();

struct FolderEntry {
    std::string name;  // no "." or ".."
    Kind kind;         // as KindOf would say, links not followed
    // ListFolderWithSizes only: the size of a file, or of the file a link
    // leads to; -1 for everything else (a folder, a link to no file).
    int64_t size = -1;
};
// The entries of a folder, in the order the system gives them. A link in
// place of the folder is not opened: that fails with ELOOP or ENOTDIR.
bool ListFolder(const std::string& folder, std::vector<FolderEntry>& entries);
// As ListFolder, with sizes: one look per entry inside the open folder,
// cheaper than asking for each file by its path afterwards. A file that
// vanishes while it is listed is left out.
bool ListFolderWithSizes(const std::string& folder, std::vector<FolderEntry>& entries);
namespace detail {
// Each system's listing behind the two above.
bool ListInto(const std::string& folder, std::vector<FolderEntry>& entries, bool withSizes);
}  // namespace detail
// Calls `visit` for every entry below `folder` (full path, kind), a folder
// after its content, never descending into a link. Entries that vanish or
// cannot be read are skipped.
void WalkTree(const std::string& folder, const std::function<void(const std::string&, Kind)>& visit);

// An open file; closed when it goes. Not copyable, movable.
class File {
public:
    enum class Mode {
        kRead,            // existing file, reading only
        kReadWrite,       // existing file
        kAppend,          // created when missing; every write goes to the end
        kCreateTruncate,  // created when missing, emptied when not
        kCreateExclusive, // created, writing only, readable by the user alone; fails (EEXIST) when anything is there
    };

    File() = default;
    ~File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // A link as the last component is followed, as any program would. A
    // folder opens for no mode: EISDIR.
    bool Open(const std::string& path, Mode mode);
    bool IsOpen() const { return m_handle >= 0; }
    int64_t Size() const;
    // Last modification, seconds since the epoch; -1 with errno.
    int64_t ModifiedTime() const;
    // Up to `size` bytes; 0 at the end of the file; -1 with errno.
    int64_t Read(void* data, size_t size);
    int64_t ReadAt(void* data, size_t size, int64_t offset);
    // Reads up to `limit` bytes from the current position into `out`.
    bool ReadAll(std::string& out, size_t limit = SIZE_MAX);
    // Writes all of it (short writes and interruptions are retried).
    bool Write(const void* data, size_t size);
    bool Write(std::string_view bytes) { return Write(bytes.data(), bytes.size()); }
    // Writes all of it at `offset`; the position of Read and Write is not
    // used (on Windows it is moved).
    bool WriteAt(const void* data, size_t size, int64_t offset);
    bool Truncate(int64_t size);
    // Makes the file's content durable.
    bool Sync();
    // The content and what is needed to read it back (the size), not the
    // times: enough for a file that is renamed into place afterwards.
    bool SyncData();
    // Starts writing `length` bytes from `offset` out to the disk without
    // waiting for them, so that a Sync of a large file later waits only for
    // its tail. Where the system cannot do that, nothing happens.
    void StartWriteBack(int64_t offset, int64_t length);
    // Gives the file the mode a newly created file of the process gets
    // (0666 less the umask), or `mode` when it is not 0.
    bool SetCreationMode(unsigned mode = 0);
    // Closes; false when the system reports a late write failure.
    bool Close();

private:
    friend class TempFile;  // adopts the descriptor it creates
    // A descriptor on POSIX, a HANDLE on Windows; -1 for none on both.
    intptr_t m_handle = -1;
};

// Folders whose entries must be made durable, each synced once however many
// files were committed into it. Syncs what is left when it goes.
class FolderSyncBatch {
public:
    FolderSyncBatch() = default;
    ~FolderSyncBatch() { Flush(); }
    FolderSyncBatch(const FolderSyncBatch&) = delete;
    FolderSyncBatch& operator=(const FolderSyncBatch&) = delete;

    void Add(const std::string& folder);
    // False when one of the folders could not be synced (all are tried).
    bool Flush();

private:
    std::vector<std::string> m_folders;
};

// How far a commit goes to survive a power cut.
enum class Durability {
    kNone,           // scratch files (downloads into Temp): a crash only costs a new fetch
    kFileAndFolder,  // content synced before the rename, the folder after it
};

// A new file written under a temporary name beside its target and renamed
// over it only when complete, so the target is always either the old or the
// new file. The temporary is "<target name>.qtmp-XXXXXX", the name cut so
// that the whole fits a file name of the system; leftovers of a killed run
// carry that mark (see IsTemporaryName) and are removed at the next start.
class TempFile {
public:
    TempFile() = default;
    ~TempFile() { Discard(); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    // False (EISDIR) when the target is a folder.
    bool Create(const std::string& target);
    bool Write(const void* data, size_t size) { return m_file.Write(data, size); }
    bool Write(std::string_view bytes) { return m_file.Write(bytes); }
    void StartWriteBack(int64_t offset, int64_t length) { m_file.StartWriteBack(offset, length); }
    // Mode `mode` (0: the creation mode of the process), then the sync the
    // durability asks for, the rename, and the folder sync, which goes to
    // `batch` when one is given. On failure the temporary is removed and the
    // target left as it was.
    bool Commit(Durability durability, unsigned mode = 0, FolderSyncBatch* batch = nullptr);
    // Commit in steps, for callers that make many files durable together:
    // SyncData (or a sync of the whole file system) first, then
    // RenameOverTarget, which closes and renames, then the folder's sync.
    bool SetMode(unsigned mode = 0) { return m_file.SetCreationMode(mode); }
    bool SyncData() { return m_file.SyncData(); }
    // On failure the temporary is removed and the target left as it was.
    bool RenameOverTarget();
    // Closes and removes the temporary, if any.
    void Discard();

    const std::string& TempPath() const { return m_tempPath; }
    const std::string& Target() const { return m_target; }
    bool IsOpen() const { return m_file.IsOpen(); }

private:
    // Replaces the trailing "XXXXXX" of `pattern` so that it names a new file,
    // made and opened in `file` (the system's part of Create).
    static bool OpenUnique(std::string& pattern, File& file);

    File m_file;
    std::string m_tempPath;
    std::string m_target;
};

// Writes `bytes` to `path` through a TempFile.
bool WriteFileAtomically(const std::string& path, std::string_view bytes,
                         Durability durability = Durability::kFileAndFolder);

// The folder part of a path ("." for a bare name).
std::string FolderOf(const std::string& path);
// True for a name TempFile makes: "<anything>.qtmp-" and six characters.
bool IsTemporaryName(std::string_view name);
// Whether a file name matches a shell wildcard pattern ("*", "?", "[...]").
bool NameMatches(const std::string& pattern, const std::string& name);

}  // namespace fsys
