#include <elf.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "services/crash/posix/minidump_maps.h"

std::string ReadProcFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::vector<MapsEntry> ReadMaps(pid_t process) {
    std::vector<MapsEntry> maps;
    std::istringstream lines(ReadProcFile("/proc/" + std::to_string(process) + "/maps"));
    std::string line;
    while (std::getline(lines, line)) {
        MapsEntry entry;
        char permissions[8] = {};
        int pathAt = 0;
        unsigned long long start, end, offset;
        if (sscanf(line.c_str(), "%llx-%llx %7s %llx %*s %*s %n", &start, &end, permissions, &offset,
                   &pathAt) < 4)
            continue;
        entry.start = start;
        entry.end = end;
        entry.offset = offset;
        entry.permissions = permissions;
        if (pathAt > 0 && static_cast<size_t>(pathAt) < line.size()) entry.path = line.substr(pathAt);
        maps.push_back(std::move(entry));
    }
    return maps;
}

bool ReadProcessMemory(int memFd, uint64_t address, void* out, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n =
            pread(memFd, static_cast<char*>(out) + done, size - done, static_cast<off_t>(address + done));
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

MemoryBlock ReadStack(int memFd, const std::vector<MapsEntry>& maps, uint64_t sp, size_t limit) {
    constexpr uint64_t kRedZone = 128;
    constexpr uint64_t kOverflowReach = 1 << 20;
    MemoryBlock block;
    const MapsEntry* stack = nullptr;
    for (const auto& entry : maps) {
        if (sp >= entry.start && sp < entry.end) stack = &entry;
        // After an overflow sp may point below the stack's lowest page.
        if (!stack && entry.start > sp && entry.start - sp < kOverflowReach) stack = &entry;
        if (stack) break;
    }
    if (!stack) return block;
    const uint64_t low = std::max(stack->start, sp > kRedZone ? sp - kRedZone : 0);
    const uint64_t high = std::min<uint64_t>(stack->end, low + limit);
    if (high <= low) return block;
    block.start = low;
    block.bytes.resize(high - low);
    if (!ReadProcessMemory(memFd, low, block.bytes.data(), block.bytes.size())) block = {};
    return block;
}

namespace {

std::vector<uint8_t> ReadBuildId(int memFd, uint64_t base) {
    Elf64_Ehdr header;
    if (!ReadProcessMemory(memFd, base, &header, sizeof header) ||
        memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64 ||
        header.e_phentsize != sizeof(Elf64_Phdr))
        return {};
    std::vector<Elf64_Phdr> phdrs(header.e_phnum);
    if (!ReadProcessMemory(memFd, base + header.e_phoff, phdrs.data(), phdrs.size() * sizeof(Elf64_Phdr)))
        return {};
    uint64_t lowest = UINT64_MAX;
    for (const auto& ph : phdrs)
        if (ph.p_type == PT_LOAD) lowest = std::min<uint64_t>(lowest, ph.p_vaddr & ~uint64_t{0xfff});
    if (lowest == UINT64_MAX) return {};
    const uint64_t bias = base - lowest;
    for (const auto& ph : phdrs) {
        if (ph.p_type != PT_NOTE || ph.p_memsz > 65536) continue;
        std::vector<uint8_t> notes(ph.p_memsz);
        if (!ReadProcessMemory(memFd, bias + ph.p_vaddr, notes.data(), notes.size())) continue;
        size_t at = 0;
        while (at + sizeof(Elf64_Nhdr) <= notes.size()) {
            Elf64_Nhdr note;
            memcpy(&note, notes.data() + at, sizeof note);
            const size_t name = at + sizeof note;
            const size_t desc = name + ((note.n_namesz + 3) & ~3u);
            const size_t next = desc + ((note.n_descsz + 3) & ~3u);
            if (next > notes.size()) break;
            if (note.n_type == NT_GNU_BUILD_ID && note.n_namesz == 4 &&
                memcmp(notes.data() + name, "GNU", 4) == 0)
                return {notes.begin() + desc, notes.begin() + desc + note.n_descsz};
            at = next;
        }
    }
    return {};
}

}  // namespace

std::vector<SnapshotModule> ListModules(int memFd, const std::vector<MapsEntry>& maps) {
    std::vector<SnapshotModule> modules;
    std::map<std::string, size_t> byPath;
    for (const auto& entry : maps) {
        if (entry.path.empty() || entry.path[0] != '/') continue;
        auto found = byPath.find(entry.path);
        if (found != byPath.end()) {
            modules[found->second].size = entry.end - modules[found->second].base;
            continue;
        }
        char magic[SELFMAG];
        if (entry.offset != 0 || !ReadProcessMemory(memFd, entry.start, magic, SELFMAG) ||
            memcmp(magic, ELFMAG, SELFMAG) != 0)
            continue;
        byPath[entry.path] = modules.size();
        modules.push_back(
            {entry.start, entry.end - entry.start, entry.path, ReadBuildId(memFd, entry.start)});
    }
    return modules;
}

SnapshotSystem ReadSystemFacts() {
    SnapshotSystem system;
    system.processorCount = static_cast<uint8_t>(std::min<long>(255, sysconf(_SC_NPROCESSORS_ONLN)));
    std::istringstream cpuinfo(ReadProcFile("/proc/cpuinfo"));
    std::string line;
    unsigned model = 0, stepping = 0;
    auto value = [&line] { return line.substr(line.find(':') + 2); };
    while (std::getline(cpuinfo, line) && !line.empty()) {
        if (line.rfind("vendor_id", 0) == 0) {
            const std::string vendor = value();
            memcpy(system.vendorId.data(), vendor.data(), std::min<size_t>(12, vendor.size()));
        } else if (line.rfind("cpu family", 0) == 0) {
            system.processorLevel = static_cast<uint16_t>(std::strtoul(value().c_str(), nullptr, 10));
        } else if (line.rfind("model\t", 0) == 0) {
            model = static_cast<unsigned>(std::strtoul(value().c_str(), nullptr, 10));
        } else if (line.rfind("stepping", 0) == 0) {
            stepping = static_cast<unsigned>(std::strtoul(value().c_str(), nullptr, 10));
        }
    }
    system.processorRevision = static_cast<uint16_t>((model << 8) | stepping);
    utsname name{};
    if (uname(&name) == 0) {
        sscanf(name.release, "%u.%u.%u", &system.majorVersion, &system.minorVersion, &system.buildNumber);
        system.version =
            std::string(name.sysname) + " " + name.release + " " + name.version + " " + name.machine;
    }
    return system;
}
