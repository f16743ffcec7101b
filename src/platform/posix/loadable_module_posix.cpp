// Loadable modules on Linux: dlopen for loading, and a small ELF reader so
// that a module's marks can be checked before any of its code runs (loading
// runs its constructors and those of every library it needs).
#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/loadable_module.h"

namespace {

class DlModule : public LoadableModule {
public:
    explicit DlModule(void* handle) : m_handle(handle) {}
    // No dlclose: a toolkit, once initialised, cannot be unloaded safely.
    void* Symbol(const char* name) override { return dlsym(m_handle, name); }

private:
    void* m_handle;
};

class FileReader {
public:
    explicit FileReader(const std::string& path) : m_fd(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~FileReader() {
        if (m_fd >= 0) close(m_fd);
    }
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    bool IsOpen() const { return m_fd >= 0; }
    off_t Size() const { return lseek(m_fd, 0, SEEK_END); }
    // Exactly `size` bytes at `offset`, or false.
    bool ReadAt(void* out, size_t size, uint64_t offset) const {
        return pread(m_fd, out, size, static_cast<off_t>(offset)) == static_cast<ssize_t>(size);
    }

private:
    int m_fd;
};

constexpr size_t kMaxSectionBytes = 4096;  // marks are short; anything larger is no mark of ours
constexpr unsigned char kOwnData = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ ? ELFDATA2LSB : ELFDATA2MSB;

bool Fail(std::string& error, const std::string& why) {
    error = why;
    return false;
}

}  // namespace

std::unique_ptr<LoadableModule> LoadableModule::Open(const std::string& path, std::string& error) {
    if (path.find('/') == std::string::npos) {
        error = "not a full path: " + path;
        return nullptr;
    }
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        error = why ? why : "cannot be loaded";
        return nullptr;
    }
    return std::make_unique<DlModule>(handle);
}

bool ReadModuleSection(const std::string& path, const std::string& section, std::string& contents,
                       std::string& error) {
    static_assert(sizeof(void*) == 8, "the reader knows 64-bit modules only");
    FileReader file(path);
    if (!file.IsOpen()) return Fail(error, std::strerror(errno));
    const off_t size = file.Size();
    Elf64_Ehdr header{};
    if (size < static_cast<off_t>(sizeof header) || !file.ReadAt(&header, sizeof header, 0) ||
        std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0) {
        return Fail(error, "not a module (no ELF header)");
    }
    if (header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_ident[EI_DATA] != kOwnData ||
        header.e_type != ET_DYN) {
        return Fail(error, "a module of another kind (class, byte order or type)");
    }
    const uint64_t tableBytes = uint64_t{header.e_shnum} * sizeof(Elf64_Shdr);
    if (header.e_shentsize != sizeof(Elf64_Shdr) || header.e_shstrndx >= header.e_shnum ||
        header.e_shoff > static_cast<uint64_t>(size) ||
        tableBytes > static_cast<uint64_t>(size) - header.e_shoff) {
        return Fail(error, "a damaged module (section table)");
    }
    auto sectionAt = [&](uint64_t index, Elf64_Shdr& out) {
        return file.ReadAt(&out, sizeof out, header.e_shoff + index * sizeof(Elf64_Shdr));
    };
    auto fits = [&](const Elf64_Shdr& s) {
        return s.sh_type != SHT_NOBITS && s.sh_offset <= static_cast<uint64_t>(size) &&
               s.sh_size <= static_cast<uint64_t>(size) - s.sh_offset;
    };
    Elf64_Shdr names{};
    if (!sectionAt(header.e_shstrndx, names) || !fits(names)) return Fail(error, "a damaged module (names)");
    for (uint64_t i = 0; i < header.e_shnum; ++i) {
        Elf64_Shdr candidate{};
        if (!sectionAt(i, candidate)) return Fail(error, "a damaged module (section table)");
        if (candidate.sh_name >= names.sh_size) continue;
        // The name is compared with its terminator, so a longer name never matches.
        std::string name(section.size() + 1, '\0');
        const uint64_t room = std::min<uint64_t>(name.size(), names.sh_size - candidate.sh_name);
        if (!file.ReadAt(name.data(), room, names.sh_offset + candidate.sh_name)) continue;
        if (room != name.size() || name.compare(0, section.size(), section) != 0 || name.back() != '\0')
            continue;
        if (!fits(candidate) || candidate.sh_size > kMaxSectionBytes) {
            return Fail(error, "a damaged module (section " + section + ")");
        }
        contents.assign(candidate.sh_size, '\0');
        if (!file.ReadAt(contents.data(), contents.size(), candidate.sh_offset)) {
            return Fail(error, "a damaged module (section " + section + ")");
        }
        return true;
    }
    return Fail(error, "no section " + section + " (not a window module of this launcher)");
}
