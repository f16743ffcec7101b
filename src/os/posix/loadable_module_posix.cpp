// Loadable modules on Linux: the image is copied into a memfd, sealed so that
// nothing can change it under the loader, and dlopened through /proc.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "os/loadable_module.h"

namespace {

class DlModule : public LoadableModule {
public:
    explicit DlModule(void* handle) : m_handle(handle) {}
    // No dlclose: a toolkit, once initialised, cannot be unloaded safely.
    void* Symbol(const char* name) override { return dlsym(m_handle, name); }

private:
    void* m_handle;
};

class OwnedFd {
public:
    explicit OwnedFd(int fd) : m_fd(fd) {}
    ~OwnedFd() {
        if (m_fd >= 0) close(m_fd);
    }
    OwnedFd(const OwnedFd&) = delete;
    OwnedFd& operator=(const OwnedFd&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

bool WriteAll(int fd, const unsigned char* bytes, size_t size) {
    while (size > 0) {
        const ssize_t written = write(fd, bytes, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

std::unique_ptr<LoadableModule> Fail(std::string& error, const std::string& what) {
    error = what + ": " + std::strerror(errno);
    return nullptr;
}

}  // namespace

std::unique_ptr<LoadableModule> LoadableModule::OpenImage(const char* name, const unsigned char* bytes,
                                                          size_t size, std::string& error) {
    // Close-on-exec: the game and the web view's helpers never inherit it.
    OwnedFd memory(memfd_create(name, MFD_CLOEXEC | MFD_ALLOW_SEALING));
    if (memory.get() < 0) return Fail(error, "no in-memory file");
    if (!WriteAll(memory.get(), bytes, size)) return Fail(error, "cannot fill the in-memory file");
    if (fcntl(memory.get(), F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) != 0)
        return Fail(error, "cannot seal the in-memory file");
    // The loader maps the file; the mapping outlives the descriptor.
    const std::string path = "/proc/self/fd/" + std::to_string(memory.get());
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        error = why ? why : "cannot be loaded";
        return nullptr;
    }
    return std::make_unique<DlModule>(handle);
}
