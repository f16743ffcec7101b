#include "os/posix/system_facts_posix.h"

#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <sys/utsname.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "util/text_util.h"

namespace posix_facts {
namespace {
std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string Trim(const std::string& s) {
    const size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
}
}  // namespace

std::map<std::string, std::string> ParseOsRelease(const std::string& text) {
    std::map<std::string, std::string> values;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        const size_t eq = line.find('=');
        if (line.empty() || line[0] == '#' || eq == std::string::npos) continue;
        std::string value = Trim(line.substr(eq + 1));
        if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0]) {
            value = value.substr(1, value.size() - 2);
        }
        std::string plain;
        for (size_t i = 0; i < value.size(); ++i) {
            if (value[i] == '\\' && i + 1 < value.size()) ++i;
            plain += value[i];
        }
        values[Trim(line.substr(0, eq))] = plain;
    }
    return values;
}

std::map<std::string, uint64_t> ParseMeminfo(const std::string& text) {
    std::map<std::string, uint64_t> values;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        const size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::istringstream rest(line.substr(colon + 1));
        uint64_t number = 0;
        std::string unit;
        if (!(rest >> number)) continue;
        rest >> unit;
        values[line.substr(0, colon)] = unit == "kB" ? number * 1024 : number;
    }
    return values;
}

bool MemoryFromMeminfo(const std::map<std::string, uint64_t>& info, MemoryFacts& memory) {
    auto get = [&](const char* key, uint64_t& out) {
        auto it = info.find(key);
        if (it == info.end()) return false;
        out = it->second;
        return true;
    };
    uint64_t committed = 0;
    if (!get("MemTotal", memory.totalPhys) || memory.totalPhys == 0) return false;
    // Kernels before 3.14 have no MemAvailable; free memory is the nearest.
    if (!get("MemAvailable", memory.availPhys)) get("MemFree", memory.availPhys);
    get("CommitLimit", memory.totalPageFile);
    get("Committed_AS", committed);
    memory.availPageFile = memory.totalPageFile > committed ? memory.totalPageFile - committed : 0;
    const uint64_t used = memory.totalPhys > memory.availPhys ? memory.totalPhys - memory.availPhys : 0;
    memory.memoryLoad = static_cast<uint32_t>((used * 100 + memory.totalPhys / 2) / memory.totalPhys);
    return true;
}

bool CpuFromCpuinfo(const std::string& text, const std::string& machine, CpuFacts& cpu) {
    std::map<std::string, std::string> fields;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (Trim(line).empty()) {
            if (!fields.empty()) break;  // end of the first processor
            continue;
        }
        const size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        const std::string key = Trim(line.substr(0, colon));
        if (!fields.count(key)) fields[key] = Trim(line.substr(colon + 1));
    }
    if (fields.empty()) return false;
    if (fields.count("model name")) cpu.description = text::FromUtf8(fields["model name"]);
    if (fields.count("cpu family") && fields.count("model") && fields.count("stepping")) {
        const std::string& vendor = fields["vendor_id"];
        const std::string arch = vendor == "GenuineIntel"   ? "Intel64"
                                 : vendor == "AuthenticAMD" ? "AMD64"
                                                            : machine;
        cpu.identifier = text::FromUtf8(arch + " Family " + fields["cpu family"] + " Model " +
                                        fields["model"] + " Stepping " + fields["stepping"]);
    }
    if (fields.count("cpu MHz")) {
        char* end = nullptr;
        const double mhz = strtod(fields["cpu MHz"].c_str(), &end);
        if (end != fields["cpu MHz"].c_str() && mhz > 0) {
            cpu.hasSpeed = true;
            cpu.speedMHz = static_cast<uint32_t>(std::lround(mhz));
        }
    }
    return true;
}

namespace {
class PosixSystemFacts final : public SystemFacts {
public:
    bool GetOs(OsFacts& os) override {
        auto release = ParseOsRelease(ReadText("/etc/os-release"));
        if (release.empty()) release = ParseOsRelease(ReadText("/usr/lib/os-release"));
        std::string name = release["PRETTY_NAME"];
        if (name.empty() && !release["NAME"].empty()) name = Trim(release["NAME"] + " " + release["VERSION"]);
        os.name = text::FromUtf8(name);
        utsname u{};
        if (uname(&u) != 0) return !name.empty();
        os.servicePack = text::FromUtf8(u.release);
        // The version text starts with the kernel's build count: "#1 SMP ...".
        if (u.version[0] == '#') os.buildNumber = static_cast<uint32_t>(strtoul(u.version + 1, nullptr, 10));
        return true;
    }

    bool GetMemory(MemoryFacts& memory) override {
        return MemoryFromMeminfo(ParseMeminfo(ReadText("/proc/meminfo")), memory);
    }

    bool GetCpu(CpuFacts& cpu) override {
        utsname u{};
        uname(&u);
        if (!CpuFromCpuinfo(ReadText("/proc/cpuinfo"), u.machine, cpu)) return false;
        if (!cpu.hasSpeed) {
            // Some processors leave the clock out of cpuinfo; cpufreq knows the top one (kHz).
            const std::string khz = Trim(ReadText("/sys/devices/system/cpu/cpu0/cpufreq/cpuinfo_max_freq"));
            if (!khz.empty()) {
                cpu.hasSpeed = true;
                cpu.speedMHz = static_cast<uint32_t>(strtoul(khz.c_str(), nullptr, 10) / 1000);
            }
        }
        return true;
    }

    bool GetDisplayAdapter(std::wstring& description) override {
        return PrimaryDisplayAdapter("/sys/class/drm", description);
    }

    void GetScreenSize(int& width, int& height) override { PrimaryScreenSize(width, height); }

    bool GetAdapterAddress(std::array<uint8_t, 6>& address) override {
        ifaddrs* list = nullptr;
        if (getifaddrs(&list) != 0) return false;
        bool found = false;
        for (ifaddrs* a = list; a && !found; a = a->ifa_next) {
            if (!a->ifa_addr || a->ifa_addr->sa_family != AF_PACKET || (a->ifa_flags & IFF_LOOPBACK))
                continue;
            const auto* ll = reinterpret_cast<const sockaddr_ll*>(a->ifa_addr);
            if (ll->sll_halen != 6) continue;
            std::copy(ll->sll_addr, ll->sll_addr + 6, address.begin());
            found = true;
        }
        freeifaddrs(list);
        return found;
    }
};
}  // namespace

}  // namespace posix_facts

std::unique_ptr<SystemFacts> SystemFacts::Create() {
    return std::make_unique<posix_facts::PosixSystemFacts>();
}
