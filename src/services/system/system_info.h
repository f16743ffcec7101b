#pragma once
// Facts about the machine, gathered once at construction and written as the
// small XML report "PCInfo.xml" of a crash report. All values are text.
#include <memory>
#include <string>

#include "os/system_facts.h"

namespace SYSTEM {

class SystemInfo {
public:
    SystemInfo();
    explicit SystemInfo(std::unique_ptr<SystemFacts> facts);

    // Writes the report (UTF-8 XML); a failure is reported through RT_ASSERT
    // and returned.
    bool SaveFile(const std::wstring& path);
    // "00_1a_2b_3c_4d_5e"; empty when no adapter answered.
    const std::wstring& GetMacAddress() const { return m_strMacAddress; }

private:
    void _SetOsInfo();
    void _SetMemoryInfo();
    void _SetDisplayInfo();
    void _SetCpuInfo();
    void _SetMacAddress();

    std::unique_ptr<SystemFacts> m_facts;
    struct {
        std::wstring WindowsName, ServicePackVersion, BuildNumber;
    } m_OsInfo;
    struct {
        std::wstring MemoryLoad, TotalPhys, AvailPhys, TotalPageFile, AvailPageFile;
    } m_MemoryInfo;
    std::wstring m_strDisplayDescription;
    struct {
        std::wstring CpuID, CpuSpeed, CpuDescription;
    } m_CpuInfo;
    std::wstring m_strMacAddress;
};

}  // namespace SYSTEM
