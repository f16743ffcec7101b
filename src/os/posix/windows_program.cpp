#include "os/posix/windows_program.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

bool ReadAt(int fd, off_t offset, void* buffer, size_t size) {
    return pread(fd, buffer, size, offset) == static_cast<ssize_t>(size);
}

bool IsExecutableFile(const std::string& path) {
    return !path.empty() && access(path.c_str(), X_OK) == 0;
}

}  // namespace

bool IsWindowsProgram(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    unsigned char dos[64];
    unsigned char pe[4];
    bool windows = false;
    if (ReadAt(fd, 0, dos, sizeof(dos)) && dos[0] == 'M' && dos[1] == 'Z') {
        // e_lfanew: the offset of the PE header, little-endian at 0x3C.
        const uint32_t at =
            dos[0x3C] | dos[0x3D] << 8 | dos[0x3E] << 16 | static_cast<uint32_t>(dos[0x3F]) << 24;
        windows = ReadAt(fd, static_cast<off_t>(at), pe, sizeof(pe)) &&
                  std::string_view(reinterpret_cast<char*>(pe), 4) == std::string_view("PE\0\0", 4);
    }
    close(fd);
    return windows;
}

std::string FindWindowsRunner(const std::string& named) {
    const std::string name = named.empty() ? "wine" : named;
    if (name.find('/') != std::string::npos) return IsExecutableFile(name) ? name : std::string();
    const char* path = std::getenv("PATH");
    std::string_view rest = path ? path : "";
    while (!rest.empty()) {
        const size_t colon = rest.find(':');
        std::string folder(rest.substr(0, colon));
        rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
        if (folder.empty()) continue;  // an empty entry would mean the current folder: not for a launcher
        const std::string candidate = folder + "/" + name;
        if (IsExecutableFile(candidate)) return candidate;
    }
    return {};
}
