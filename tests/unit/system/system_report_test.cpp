// PCInfo.xml written from faked facts and from this machine, parsed back.
#include <gtest/gtest.h>
#include <sys/utsname.h>

#include <boost/property_tree/ptree.hpp>
#include <boost/property_tree/xml_parser.hpp>
#include <filesystem>
#include <fstream>

#include "services/system/system_info.h"
#include "util/text_util.h"
#include "os/posix/system_facts_posix.h"
#include "support/temp_current_folder.h"

namespace pt = boost::property_tree;

namespace {

struct FakeFacts : SystemFacts {
    bool osOk = true, memoryOk = true, cpuOk = true, adapterOk = true, macOk = true;
    OsFacts os{L"Debian GNU/Linux 12 (bookworm)", L"6.1.0-18-amd64", 1};
    MemoryFacts memory{37, 68719476736ULL, 42949672960ULL, 103079215104ULL, 5ULL};
    CpuFacts cpu{L"Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz", L"Intel64 Family 6 Model 158 Stepping 10", true,
                 3192};
    std::wstring adapter = L"Ärger Graphics [8086:3e92]";
    int width = 1920, height = 1080;
    std::array<uint8_t, 6> mac{0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e};

    bool GetOs(OsFacts& o) override { return osOk && (o = os, true); }
    bool GetMemory(MemoryFacts& m) override { return memoryOk && (m = memory, true); }
    bool GetCpu(CpuFacts& c) override { return cpuOk && (c = cpu, true); }
    bool GetDisplayAdapter(std::wstring& d) override { return adapterOk && (d = adapter, true); }
    void GetScreenSize(int& w, int& h) override { w = width, h = height; }
    bool GetAdapterAddress(std::array<uint8_t, 6>& a) override { return macOk && (a = mac, true); }
};

const std::vector<std::string> kKeys = {"OsInfo.WindowsName",
                                        "OsInfo.ServicePackVersion",
                                        "OsInfo.BuildNumber",
                                        "CpuInfo.CpuDescription",
                                        "CpuInfo.CpuID",
                                        "CpuInfo.CpuSpeed",
                                        "MemoryInfo.MemoryLoad",
                                        "MemoryInfo.TotalPhys",
                                        "MemoryInfo.AvailPhys",
                                        "MemoryInfo.TotalPageFile",
                                        "MemoryInfo.AvailPageFile",
                                        "DisplayInfo.AvailPageFile",
                                        "DisplayInfo.XScreen",
                                        "DisplayInfo.YScreen"};

// The leaves below System in document order, as "Group.Key" -> value.
std::vector<std::pair<std::string, std::string>> ReadReport(const std::string& path) {
    pt::ptree tree;
    pt::read_xml(path, tree);
    std::vector<std::pair<std::string, std::string>> leaves;
    for (const auto& [group, children] : tree.get_child("System")) {
        for (const auto& [key, value] : children) leaves.emplace_back(group + "." + key, value.data());
    }
    return leaves;
}

std::map<std::string, std::string> Values(const std::string& path) {
    std::map<std::string, std::string> values;
    for (const auto& [k, v] : ReadReport(path)) values[k] = v;
    return values;
}

void ExpectValues(const std::map<std::string, std::string>& expected) {
    auto values = Values("PCInfo.xml");
    EXPECT_EQ(values.size(), kKeys.size());
    for (const auto& [key, value] : expected) EXPECT_EQ(values[key], value) << key;
}

std::string Save(std::unique_ptr<FakeFacts> facts) {
    SYSTEM::SystemInfo info(std::move(facts));
    EXPECT_TRUE(info.SaveFile(L"PCInfo.xml"));
    return "PCInfo.xml";
}

TEST(SystemReportTest, EveryKeyInOrderWithFullSixtyFourBitFigures) {
    TempCurrentFolder cwd;
    const auto leaves = ReadReport(Save(std::make_unique<FakeFacts>()));
    std::vector<std::string> keys;
    for (const auto& [k, v] : leaves) keys.push_back(k);
    EXPECT_EQ(keys, kKeys);
    ExpectValues({{"OsInfo.WindowsName", "Debian GNU/Linux 12 (bookworm)"},
                  {"OsInfo.ServicePackVersion", "6.1.0-18-amd64"},
                  {"OsInfo.BuildNumber", "1"},
                  {"CpuInfo.CpuSpeed", "3192"},
                  {"MemoryInfo.MemoryLoad", "37"},
                  {"MemoryInfo.TotalPhys", "68719476736"},
                  {"MemoryInfo.TotalPageFile", "103079215104"},
                  {"DisplayInfo.AvailPageFile", "Ärger Graphics [8086:3e92]"},  // UTF-8 in the file
                  {"DisplayInfo.XScreen", "1920"}});
    const std::string raw = TempCurrentFolder::Read("PCInfo.xml");
    EXPECT_EQ(raw.rfind("<?xml version=\"1.0\" encoding=\"utf-8\"?>", 0), 0u);
}

TEST(SystemReportTest, MissingSourcesLeaveTheirValuesEmptyOrUnknown) {
    TempCurrentFolder cwd;
    auto facts = std::make_unique<FakeFacts>();
    facts->osOk = facts->memoryOk = facts->adapterOk = facts->macOk = false;
    facts->cpu.hasSpeed = false;
    facts->width = facts->height = 0;
    SYSTEM::SystemInfo info(std::move(facts));
    EXPECT_TRUE(info.GetMacAddress().empty());
    ASSERT_TRUE(info.SaveFile(L"PCInfo.xml"));
    ExpectValues({{"OsInfo.WindowsName", "Unknown"},
                  {"OsInfo.BuildNumber", ""},
                  {"MemoryInfo.TotalPhys", ""},
                  {"CpuInfo.CpuSpeed", ""},
                  {"CpuInfo.CpuID", "Intel64 Family 6 Model 158 Stepping 10"},
                  {"DisplayInfo.AvailPageFile", ""},
                  {"DisplayInfo.YScreen", "0"}});
}

TEST(SystemReportTest, MacAddressTextAndSaveFailure) {
    TempCurrentFolder cwd;
    SYSTEM::SystemInfo info(std::make_unique<FakeFacts>());
    EXPECT_EQ(info.GetMacAddress(), L"00_1a_2b_3c_4d_5e");
    EXPECT_FALSE(info.SaveFile(L"missing-folder/PCInfo.xml"));
    EXPECT_NE(TempCurrentFolder::Read("log.txt").find("missing-folder/PCInfo.xml save fail"),
              std::string::npos);
}

TEST(SystemReportTest, ThisMachine) {
    TempCurrentFolder cwd;
    const char* display = getenv("DISPLAY");
    const std::string saved = display ? display : "";
    unsetenv("DISPLAY");
    SYSTEM::SystemInfo info;
    ASSERT_TRUE(info.SaveFile(L"PCInfo.xml"));
    if (!saved.empty()) setenv("DISPLAY", saved.c_str(), 1);
    std::vector<std::string> keys;
    for (const auto& [k, v] : ReadReport("PCInfo.xml")) keys.push_back(k);
    EXPECT_EQ(keys, kKeys);
    auto values = Values("PCInfo.xml");
    auto release = posix_facts::ParseOsRelease(TempCurrentFolder::Read("/etc/os-release"));
    EXPECT_EQ(values["OsInfo.WindowsName"], release["PRETTY_NAME"]);
    utsname u{};
    uname(&u);
    EXPECT_EQ(values["OsInfo.ServicePackVersion"], u.release);
    auto meminfo = posix_facts::ParseMeminfo(TempCurrentFolder::Read("/proc/meminfo"));
    EXPECT_EQ(values["MemoryInfo.TotalPhys"], std::to_string(meminfo["MemTotal"]));
    EXPECT_EQ(values["MemoryInfo.TotalPageFile"], std::to_string(meminfo["CommitLimit"]));
    const int load = std::stoi(values["MemoryInfo.MemoryLoad"]);
    EXPECT_TRUE(load >= 0 && load <= 100);
    EXPECT_FALSE(values["CpuInfo.CpuDescription"].empty());
    EXPECT_EQ(values["DisplayInfo.XScreen"], "0");  // no display
    const std::wstring mac = info.GetMacAddress();
    if (!mac.empty()) {
        EXPECT_EQ(mac.size(), 17u);
    }
}

}  // namespace
