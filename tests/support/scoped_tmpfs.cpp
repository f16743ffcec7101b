#include "support/scoped_tmpfs.h"

#include <sys/mount.h>

#include <filesystem>

ScopedTmpfs::ScopedTmpfs(const std::string& where, const std::string& options, unsigned long flags)
    : folder(where),
      mounted((std::filesystem::create_directories(where), mount("tmpfs", where.c_str(), "tmpfs", flags,
                                                                 options.c_str()) == 0)) {}

ScopedTmpfs::~ScopedTmpfs() {
    if (mounted) umount2(folder.c_str(), MNT_DETACH);
}
