#pragma once
// The machine facts behind the system report: OS, memory, processor, display
// adapter, screen size and network adapter address. Each query may fail on
// its own; the report then leaves that value empty.
#include <array>
#include <cstdint>
#include <memory>
#include <string>

struct OsFacts {
    std::wstring name;         // the system's own name with its version; empty when unknown
    std::wstring servicePack;  // the update level (on Linux the kernel release)
    uint32_t buildNumber = 0;  // the build of that update level
};

struct MemoryFacts {
    uint32_t memoryLoad = 0;  // percent of physical memory in use
    uint64_t totalPhys = 0;   // bytes
    uint64_t availPhys = 0;
    uint64_t totalPageFile = 0;  // commit limit
    uint64_t availPageFile = 0;  // commit limit not yet committed
};

struct CpuFacts {
    std::wstring description;  // empty when unknown
    std::wstring identifier;   // "<arch> Family f Model m Stepping s"; empty when unknown
    bool hasSpeed = false;
    uint32_t speedMHz = 0;
};

class SystemFacts {
public:
    virtual ~SystemFacts() = default;
    virtual bool GetOs(OsFacts& os) = 0;
    virtual bool GetMemory(MemoryFacts& memory) = 0;
    virtual bool GetCpu(CpuFacts& cpu) = 0;
    // Name of the primary display adapter; false when there is none.
    virtual bool GetDisplayAdapter(std::wstring& description) = 0;
    // Size of the primary screen in pixels; 0 x 0 without a display.
    virtual void GetScreenSize(int& width, int& height) = 0;
    // Hardware address of the first network adapter that is not a loopback.
    virtual bool GetAdapterAddress(std::array<uint8_t, 6>& address) = 0;

    static std::unique_ptr<SystemFacts> Create();
};
