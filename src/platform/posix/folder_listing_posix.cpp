#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include "platform/folder_listing.h"

bool ListFolder(const std::string& folder, std::vector<FolderEntry>& entries) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) return false;
    const int dirFd = dirfd(dir);
    while (dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        struct stat st {};
        // Relative to the open folder: the names are this folder's even if
        // its path changes meanwhile.
        if (fstatat(dirFd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        FolderEntry entry{name, FolderEntryKind::kOther, 0};
        if (S_ISREG(st.st_mode)) {
            entry.kind = FolderEntryKind::kFile;
            entry.size = static_cast<uint64_t>(st.st_size);
        } else if (S_ISDIR(st.st_mode)) {
            entry.kind = FolderEntryKind::kFolder;
        } else if (S_ISLNK(st.st_mode) && fstatat(dirFd, e->d_name, &st, 0) == 0 && S_ISREG(st.st_mode)) {
            entry.kind = FolderEntryKind::kFileLink;
            entry.size = static_cast<uint64_t>(st.st_size);
        }
        entries.push_back(std::move(entry));
    }
    closedir(dir);
    return true;
}
