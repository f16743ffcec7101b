#include "services/system/system_info.h"

#include <boost/property_tree/ptree.hpp>
#include <boost/property_tree/xml_parser.hpp>
#include <sstream>

#include "util/custom_assert.h"
#include "util/lexical_cast_wrapper.h"
#include "util/file_util.h"
#include "util/text_util.h"

namespace SYSTEM {

SystemInfo::SystemInfo() : SystemInfo(SystemFacts::Create()) {}

SystemInfo::SystemInfo(std::unique_ptr<SystemFacts> facts) : m_facts(std::move(facts)) {
    _SetOsInfo();
    _SetMemoryInfo();
    _SetDisplayInfo();
    _SetCpuInfo();
    _SetMacAddress();
}

void SystemInfo::_SetOsInfo() {
    static const std::wstring kOperation = L"SYSTEM::SystemInfo::_SetOsInfo";
    m_OsInfo.WindowsName = L"Unknown";
    OsFacts os;
    if (!m_facts->GetOs(os)) return;
    if (!os.name.empty()) m_OsInfo.WindowsName = os.name;
    m_OsInfo.ServicePackVersion = os.servicePack;
    boost_lexical_cast(kOperation, os.buildNumber, m_OsInfo.BuildNumber);
}

void SystemInfo::_SetMemoryInfo() {
    static const std::wstring kOperation = L"SYSTEM::SystemInfo::_SetMemoryInfo";
    MemoryFacts memory;
    if (!m_facts->GetMemory(memory)) return;
    boost_lexical_cast(kOperation, memory.memoryLoad, m_MemoryInfo.MemoryLoad);
    boost_lexical_cast(kOperation, memory.totalPhys, m_MemoryInfo.TotalPhys);
    boost_lexical_cast(kOperation, memory.availPhys, m_MemoryInfo.AvailPhys);
    boost_lexical_cast(kOperation, memory.totalPageFile, m_MemoryInfo.TotalPageFile);
    boost_lexical_cast(kOperation, memory.availPageFile, m_MemoryInfo.AvailPageFile);
}

void SystemInfo::_SetDisplayInfo() {
    std::wstring description;
    if (m_facts->GetDisplayAdapter(description)) m_strDisplayDescription = description;
}

void SystemInfo::_SetCpuInfo() {
    static const std::wstring kOperation = L"SYSTEM::SystemInfo::_SetCpuInfo";
    CpuFacts cpu;
    if (!m_facts->GetCpu(cpu)) return;
    if (cpu.hasSpeed) boost_lexical_cast(kOperation, cpu.speedMHz, m_CpuInfo.CpuSpeed);
    m_CpuInfo.CpuDescription = cpu.description;
    m_CpuInfo.CpuID = cpu.identifier;
}

void SystemInfo::_SetMacAddress() {
    std::array<uint8_t, 6> a{};
    if (!m_facts->GetAdapterAddress(a)) return;
    m_strMacAddress = text::FormatW(L"%02x_%02x_%02x_%02x_%02x_%02x", a[0], a[1], a[2], a[3], a[4], a[5]);
}

bool SystemInfo::SaveFile(const std::wstring& path) {
    int width = 0;
    int height = 0;
    m_facts->GetScreenSize(width, height);
    bool saved = false;
    try {
        boost::property_tree::wptree tree;
        tree.put(L"System.OsInfo.WindowsName", m_OsInfo.WindowsName);
        tree.put(L"System.OsInfo.ServicePackVersion", m_OsInfo.ServicePackVersion);
        tree.put(L"System.OsInfo.BuildNumber", m_OsInfo.BuildNumber);
        tree.put(L"System.CpuInfo.CpuDescription", m_CpuInfo.CpuDescription);
        tree.put(L"System.CpuInfo.CpuID", m_CpuInfo.CpuID);
        tree.put(L"System.CpuInfo.CpuSpeed", m_CpuInfo.CpuSpeed);
        tree.put(L"System.MemoryInfo.MemoryLoad", m_MemoryInfo.MemoryLoad);
        tree.put(L"System.MemoryInfo.TotalPhys", m_MemoryInfo.TotalPhys);
        tree.put(L"System.MemoryInfo.AvailPhys", m_MemoryInfo.AvailPhys);
        tree.put(L"System.MemoryInfo.TotalPageFile", m_MemoryInfo.TotalPageFile);
        tree.put(L"System.MemoryInfo.AvailPageFile", m_MemoryInfo.AvailPageFile);
        // The adapter's name goes under this key; readers expect it there.
        tree.put(L"System.DisplayInfo.AvailPageFile", m_strDisplayDescription);
        tree.put(L"System.DisplayInfo.XScreen", width);
        tree.put(L"System.DisplayInfo.YScreen", height);
        // Written to memory first, so that the file holds UTF-8 whatever the
        // process locale, as its declaration says.
        std::wostringstream xml;
        boost::property_tree::write_xml(
            xml, tree, boost::property_tree::xml_writer_make_settings<std::wstring>(L' ', 0, L"utf-8"));
        saved = xml.good() && WriteFileAtomically(path, text::ToUtf8(xml.str()));
    } catch (const std::exception&) {
        saved = false;
    }
    RT_ASSERT(!saved, false, L"SYSTEM::SystemInfo::SaveFile", L"%s save fail", path.c_str());
    return saved;
}

}  // namespace SYSTEM
