// The Linux sources of the system report: os-release, meminfo, cpuinfo and
// the DRM class folder, from texts and trees made for the test, and
// PCInfo.xml of this machine with the values its own sources give.
#include <sys/utsname.h>

#include "support/test_common.h"

#include <boost/property_tree/ptree.hpp>
#include <boost/property_tree/xml_parser.hpp>

#include "os/posix/system_facts_posix.h"
#include "services/system/system_info.h"
#include "support/scoped_env.h"

using namespace posix_facts;

TEST(SystemFactsParseTest, OsReleaseQuotesAndEscapes) {
    auto v = ParseOsRelease(
        "# comment\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nNAME='Odd "
        "\\\"One\\\"'\nID=debian\n\nbroken\n");
    EXPECT_EQ(v["PRETTY_NAME"], "Debian GNU/Linux 12 (bookworm)");
    EXPECT_EQ(v["NAME"], "Odd \"One\"");
    EXPECT_EQ(v["ID"], "debian");
    EXPECT_EQ(v.count("broken"), 0u);
}

TEST(SystemFactsParseTest, MeminfoGivesBytesLoadAndFreeCommit) {
    MemoryFacts m;
    ASSERT_TRUE(MemoryFromMeminfo(ParseMeminfo("MemTotal:       67108864 kB\nMemFree:  1 kB\n"
                                               "MemAvailable:   16777216 kB\nCommitLimit:    100663296 kB\n"
                                               "Committed_AS:   33554432 kB\nHugePages_Total:       0\n"),
                                  m));
    EXPECT_EQ(m.totalPhys, 68719476736ULL);  // above 4 GiB, in full
    EXPECT_EQ(m.availPhys, 17179869184ULL);
    EXPECT_EQ(m.memoryLoad, 75u);
    EXPECT_EQ(m.totalPageFile, 103079215104ULL);
    EXPECT_EQ(m.availPageFile, 68719476736ULL);
    // Overcommitted: no free commit rather than a wrapped number.
    ASSERT_TRUE(MemoryFromMeminfo(ParseMeminfo("MemTotal: 100 kB\nMemFree: 50 kB\nCommitLimit: 10 kB\n"
                                               "Committed_AS: 20 kB\n"),
                                  m));
    EXPECT_EQ(m.availPhys, 51200u);  // no MemAvailable: MemFree
    EXPECT_EQ(m.availPageFile, 0u);
    EXPECT_FALSE(MemoryFromMeminfo(ParseMeminfo("garbage\n"), m));
}

TEST(SystemFactsParseTest, CpuinfoFirstProcessorIdentifierAndSpeed) {
    const std::string two =
        "processor\t: 0\nvendor_id\t: AuthenticAMD\ncpu family\t: 23\nmodel\t\t: 49\n"
        "model name\t: AMD EPYC 7742 64-Core Processor\nstepping\t: 0\ncpu MHz\t\t: 2245.780\n\n"
        "processor\t: 1\nvendor_id\t: Other\nmodel name\t: second\ncpu MHz\t\t: 1.0\n";
    CpuFacts cpu;
    ASSERT_TRUE(CpuFromCpuinfo(two, "x86_64", cpu));
    EXPECT_EQ(cpu.description, L"AMD EPYC 7742 64-Core Processor");
    EXPECT_EQ(cpu.identifier, L"AMD64 Family 23 Model 49 Stepping 0");
    EXPECT_TRUE(cpu.hasSpeed);
    EXPECT_EQ(cpu.speedMHz, 2246u);
    // No clock, no family: those stay empty, the name is still there.
    CpuFacts arm;
    ASSERT_TRUE(CpuFromCpuinfo("processor : 0\nmodel name : ARMv8 Processor rev 1\n", "aarch64", arm));
    EXPECT_EQ(arm.description, L"ARMv8 Processor rev 1");
    EXPECT_TRUE(arm.identifier.empty());
    EXPECT_FALSE(arm.hasSpeed);
    CpuFacts none;
    EXPECT_FALSE(CpuFromCpuinfo("", "x86_64", none));
}

TEST(SystemFactsParseTest, BootDisplayCardIsThePrimaryAdapter) {
    TempDir drm;
    auto card = [&](const std::string& name, const std::string& bootVga, const std::string& device) {
        drm.WriteFile(name + "/device/vendor", "0xfffe\n");
        drm.WriteFile(name + "/device/device", device + "\n");
        drm.WriteFile(name + "/device/boot_vga", bootVga + "\n");
        drm.WriteFile(name + "/device/drivers/quondrv/bind", "");
        ASSERT_EQ(symlink("drivers/quondrv", drm.Join(name + "/device/driver").c_str()), 0);
    };
    card("card0", "0", "0x0001");
    card("card1", "1", "0x0002");
    drm.WriteFile("card1-HDMI-A-1/status", "connected\n");
    std::wstring name;
    ASSERT_TRUE(PrimaryDisplayAdapter(drm.path(), name));
    EXPECT_EQ(name, L"quondrv [fffe:0002]");
    TempDir none;
    EXPECT_FALSE(PrimaryDisplayAdapter(none.path(), name));
    EXPECT_FALSE(PrimaryDisplayAdapter(none.Join("missing"), name));
}

TEST(SystemReportTest, ThisMachine) {
    TempCurrentFolder cwd;
    {
        ScopedEnv noDisplay("DISPLAY", std::nullopt);
        EXPECT_TRUE(SYSTEM::SystemInfo().SaveFile(L"PCInfo.xml"));
    }
    boost::property_tree::ptree tree;
    boost::property_tree::read_xml("PCInfo.xml", tree);
    utsname u{};
    uname(&u);
    auto meminfo = ParseMeminfo(ReadWholeFile("/proc/meminfo"));
    const std::pair<const char*, std::string> expected[] = {
        {"OsInfo.WindowsName", ParseOsRelease(ReadWholeFile("/etc/os-release"))["PRETTY_NAME"]},
        {"OsInfo.ServicePackVersion", u.release},
        {"MemoryInfo.TotalPhys", std::to_string(meminfo["MemTotal"])},
        {"MemoryInfo.TotalPageFile", std::to_string(meminfo["CommitLimit"])},
        {"DisplayInfo.XScreen", "0"}};  // no display
    for (const auto& [key, value] : expected)
        EXPECT_EQ(tree.get<std::string>(std::string("System.") + key, "missing"), value) << key;
}
