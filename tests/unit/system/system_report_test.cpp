// PCInfo.xml written from faked facts, parsed back.
#include "support/test_common.h"

#include <boost/property_tree/ptree.hpp>
#include <boost/property_tree/xml_parser.hpp>

#include "services/system/system_info.h"

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

const std::string kKeys =
    "OsInfo.WindowsName OsInfo.ServicePackVersion OsInfo.BuildNumber CpuInfo.CpuDescription CpuInfo.CpuID "
    "CpuInfo.CpuSpeed MemoryInfo.MemoryLoad MemoryInfo.TotalPhys MemoryInfo.AvailPhys "
    "MemoryInfo.TotalPageFile "
    "MemoryInfo.AvailPageFile DisplayInfo.AvailPageFile DisplayInfo.XScreen DisplayInfo.YScreen";

// The report the facts give, read back as "Group.Key" -> value; every key, in order.
std::map<std::string, std::string> Report(SYSTEM::SystemInfo& info) {
    EXPECT_TRUE(info.SaveFile(L"PCInfo.xml"));
    pt::ptree tree;
    pt::read_xml("PCInfo.xml", tree);
    std::string keys;
    std::map<std::string, std::string> values;
    for (const auto& [group, children] : tree.get_child("System"))
        for (const auto& [key, value] : children)
            keys += (keys.empty() ? "" : " ") + group + "." + key, values[group + "." + key] = value.data();
    EXPECT_EQ(keys, kKeys);
    return values;
}

void ExpectValues(const std::map<std::string, std::string>& values,
                  const std::map<std::string, std::string>& expected) {
    for (const auto& [key, value] : expected) EXPECT_EQ(values.at(key), value) << key;
}

TEST(SystemReportTest, EveryKeyInOrderWithFullSixtyFourBitFiguresAndTheMacAddress) {
    TempCurrentFolder cwd;
    SYSTEM::SystemInfo info(std::make_unique<FakeFacts>());
    ExpectValues(Report(info), {{"OsInfo.WindowsName", "Debian GNU/Linux 12 (bookworm)"},
                                {"OsInfo.ServicePackVersion", "6.1.0-18-amd64"},
                                {"OsInfo.BuildNumber", "1"},
                                {"CpuInfo.CpuSpeed", "3192"},
                                {"MemoryInfo.MemoryLoad", "37"},
                                {"MemoryInfo.TotalPhys", "68719476736"},
                                {"MemoryInfo.TotalPageFile", "103079215104"},
                                {"DisplayInfo.AvailPageFile", "\xC3\x84rger Graphics [8086:3e92]"},  // UTF-8
                                {"DisplayInfo.XScreen", "1920"}});
    EXPECT_EQ(ReadWholeFile("PCInfo.xml").rfind("<?xml version=\"1.0\" encoding=\"utf-8\"?>", 0),
              0u);
    EXPECT_EQ(info.GetMacAddress(), L"00_1a_2b_3c_4d_5e");
    EXPECT_FALSE(info.SaveFile(L"missing-folder/PCInfo.xml"));
    EXPECT_NE(ReadWholeFile("log.txt").find("missing-folder/PCInfo.xml save fail"),
              std::string::npos);
}

TEST(SystemReportTest, MissingSourcesLeaveTheirValuesEmptyOrUnknown) {
    TempCurrentFolder cwd;
    auto facts = std::make_unique<FakeFacts>();
    facts->osOk = facts->memoryOk = facts->adapterOk = facts->macOk = false;
    facts->cpu.hasSpeed = false;
    facts->width = facts->height = 0;
    SYSTEM::SystemInfo info(std::move(facts));
    EXPECT_TRUE(info.GetMacAddress().empty());
    ExpectValues(Report(info), {{"OsInfo.WindowsName", "Unknown"},
                                {"OsInfo.BuildNumber", ""},
                                {"MemoryInfo.TotalPhys", ""},
                                {"CpuInfo.CpuSpeed", ""},
                                {"CpuInfo.CpuID", "Intel64 Family 6 Model 158 Stepping 10"},
                                {"DisplayInfo.AvailPageFile", ""},
                                {"DisplayInfo.YScreen", "0"}});
}

}  // namespace
