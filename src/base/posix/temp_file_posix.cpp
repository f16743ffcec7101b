// Temporaries of a new name on POSIX: mkostemp.
#include <fcntl.h>
#include <stdlib.h>

#include <vector>

#include "base/file_system.h"

namespace fsys {

bool TempFile::OpenUnique(std::string& pattern, File& file) {
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = mkostemp(buffer.data(), O_CLOEXEC);
    if (fd < 0) return false;
    file = File();
    file.m_handle = fd;
    pattern.assign(buffer.data());
    return true;
}

}  // namespace fsys
