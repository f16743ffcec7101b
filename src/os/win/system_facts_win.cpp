// Machine facts from the system's own calls: RtlGetVersion (the true
// version; GetVersionExW answers what the manifest lets it), the memory
// status, the CentralProcessor registry key, the display devices and the
// adapter list.

// <windows.h> first: the other system headers build on it.
// clang-format off
#include <windows.h>
#include <iphlpapi.h>
// clang-format on

#include <vector>

#include "os/system_facts.h"

namespace {

using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOEXW*);

// Names of the versions the system report knows; others stay "Unknown".
std::wstring WindowsName(const OSVERSIONINFOEXW& v) {
    if (v.dwPlatformId != VER_PLATFORM_WIN32_NT) return {};
    const bool workstation = v.wProductType == VER_NT_WORKSTATION;
    if (v.dwMajorVersion == 5 && v.dwMinorVersion == 0) return L"Windows 2000";
    if (v.dwMajorVersion == 5 && v.dwMinorVersion == 1) return L"Windows XP";
    if (v.dwMajorVersion != 6) return {};
    switch (v.dwMinorVersion) {
        case 0:
            return workstation ? L"Windows Vista" : L"Windows Server2008";
        case 1:
            return workstation ? L"Windows 7" : L"Windows Server2008R2";
        case 2:
            return workstation ? L"Windows 8" : L"Windows Server2012";
        case 3:
            return workstation ? L"Windows 8_1" : L"Windows Server2012R2";
        default:
            return {};
    }
}

// A REG_SZ value of at most 260 characters; false for anything else.
bool ReadText(HKEY key, const wchar_t* name, std::wstring& out) {
    wchar_t buf[260] = {};
    DWORD type = 0;
    DWORD size = sizeof(buf) - sizeof(wchar_t);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return false;
    out = buf;
    return true;
}

class WinSystemFacts : public SystemFacts {
public:
    bool GetOs(OsFacts& os) override {
        const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        const auto get = ntdll ? reinterpret_cast<RtlGetVersionFn>(
                                     reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
                               : nullptr;
        OSVERSIONINFOEXW v{};
        v.dwOSVersionInfoSize = sizeof(v);
        if (!get || get(&v) != 0) return false;
        os.name = WindowsName(v);
        os.servicePack = v.szCSDVersion;
        os.buildNumber = v.dwBuildNumber;
        return true;
    }

    bool GetMemory(MemoryFacts& memory) override {
        MEMORYSTATUSEX status{};
        status.dwLength = sizeof(status);
        if (!GlobalMemoryStatusEx(&status)) return false;
        memory.memoryLoad = status.dwMemoryLoad;
        memory.totalPhys = status.ullTotalPhys;
        memory.availPhys = status.ullAvailPhys;
        memory.totalPageFile = status.ullTotalPageFile;
        memory.availPageFile = status.ullAvailPageFile;
        return true;
    }

    bool GetCpu(CpuFacts& cpu) override {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0", 0,
                          KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        DWORD mhz = 0;
        DWORD type = 0;
        DWORD size = sizeof(mhz);
        if (RegQueryValueExW(key, L"~MHz", nullptr, &type, reinterpret_cast<BYTE*>(&mhz), &size) ==
                ERROR_SUCCESS &&
            type == REG_DWORD) {
            cpu.hasSpeed = true;
            cpu.speedMHz = mhz;
        }
        ReadText(key, L"ProcessorNameString", cpu.description);
        ReadText(key, L"Identifier", cpu.identifier);
        RegCloseKey(key);
        return true;
    }

    bool GetDisplayAdapter(std::wstring& description) override {
        DISPLAY_DEVICEW device{};
        device.cb = sizeof(device);
        for (DWORD i = 0; EnumDisplayDevicesW(nullptr, i, &device, 0); ++i) {
            if (device.StateFlags & DISPLAY_DEVICE_PRIMARY_DEVICE) {
                description = device.DeviceString;
                return true;
            }
            device.cb = sizeof(device);
        }
        return false;
    }

    void GetScreenSize(int& width, int& height) override {
        width = GetSystemMetrics(SM_CXSCREEN);
        height = GetSystemMetrics(SM_CYSCREEN);
    }

    bool GetAdapterAddress(std::array<uint8_t, 6>& address) override {
        ULONG size = 0;
        if (GetAdaptersInfo(nullptr, &size) != ERROR_BUFFER_OVERFLOW) return false;
        std::vector<unsigned char> buffer(size);
        auto* list = reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data());
        if (GetAdaptersInfo(list, &size) != NO_ERROR) return false;
        for (const IP_ADAPTER_INFO* a = list; a; a = a->Next) {
            if (a->Type == MIB_IF_TYPE_LOOPBACK || a->AddressLength != 6) continue;
            std::copy(a->Address, a->Address + 6, address.begin());
            return true;
        }
        return false;
    }
};

}  // namespace

std::unique_ptr<SystemFacts> SystemFacts::Create() {
    return std::make_unique<WinSystemFacts>();
}
