// PCInfo.xml of this (Linux) machine: the values its own sources give.
#include <sys/utsname.h>

#include <boost/property_tree/ptree.hpp>
#include <boost/property_tree/xml_parser.hpp>

#include "os/posix/system_facts_posix.h"
#include "services/system/system_info.h"
#include "support/test_common.h"

TEST(SystemReportTest, ThisMachine) {
    TempCurrentFolder cwd;
    const char* display = getenv("DISPLAY");
    const std::string saved = display ? display : "";
    unsetenv("DISPLAY");
    SYSTEM::SystemInfo info;
    EXPECT_TRUE(info.SaveFile(L"PCInfo.xml"));
    if (!saved.empty()) setenv("DISPLAY", saved.c_str(), 1);
    boost::property_tree::ptree tree;
    boost::property_tree::read_xml("PCInfo.xml", tree);
    utsname u{};
    uname(&u);
    auto meminfo = posix_facts::ParseMeminfo(ReadWholeFile("/proc/meminfo"));
    const std::pair<const char*, std::string> expected[] = {
        {"OsInfo.WindowsName", posix_facts::ParseOsRelease(ReadWholeFile("/etc/os-release"))["PRETTY_NAME"]},
        {"OsInfo.ServicePackVersion", u.release},
        {"MemoryInfo.TotalPhys", std::to_string(meminfo["MemTotal"])},
        {"MemoryInfo.TotalPageFile", std::to_string(meminfo["CommitLimit"])},
        {"DisplayInfo.XScreen", "0"}};  // no display
    for (const auto& [key, value] : expected)
        EXPECT_EQ(tree.get<std::string>(std::string("System.") + key, "missing"), value) << key;
}
