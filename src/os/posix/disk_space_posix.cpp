#include <sys/statvfs.h>

#include "os/disk_space.h"

namespace fsys {
bool AvailableBytes(const std::string& path, uint64_t* bytes) {
    struct statvfs info {};
    if (statvfs(path.c_str(), &info) != 0) return false;
    *bytes = static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
    return true;
}
}  // namespace fsys
