#include <sys/mount.h>

#include "support/small_volume.h"

SmallVolume::SmallVolume(const std::string& folder, const std::string& size, bool readOnly)
    : m_folder(folder) {
    const std::string options = "size=" + size;
    m_mounted = mount("tmpfs", folder.c_str(), "tmpfs", readOnly ? MS_RDONLY : 0, options.c_str()) == 0;
}

SmallVolume::~SmallVolume() {
    if (m_mounted) umount2(m_folder.c_str(), MNT_DETACH);
}
