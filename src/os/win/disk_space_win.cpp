#include <windows.h>

#include "base/file_system.h"
#include "base/win/win_path.h"
#include "os/disk_space.h"

namespace fsys {
bool AvailableBytes(const std::string& path, uint64_t* bytes) {
    // The room the user may fill (quotas included), asked of the folder.
    ULARGE_INTEGER available{};
    const std::string folder = KindOfTarget(path) == Kind::kFolder ? path : FolderOf(path);
    if (!GetDiskFreeSpaceExW(win::Wide(folder).c_str(), &available, nullptr, nullptr)) return false;
    *bytes = available.QuadPart;
    return true;
}
}  // namespace fsys
