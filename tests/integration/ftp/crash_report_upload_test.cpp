// The crash handler's upload mode against a real FTP server: what arrives
// where, what the archive holds, and what is left behind locally.
#include "services/crash_report/crash_report_upload.h"

#include <gtest/gtest.h>
#include <minizip/unzip.h>
#include <stdlib.h>

#include <boost/property_tree/ptree.hpp>
#include <boost/property_tree/xml_parser.hpp>
#include <ctime>
#include <filesystem>
#include <map>
#include <sstream>

#include "services/system/system_info.h"
#include "util/text_util.h"
#include "ftp_server_fixture.h"
#include "support/temp_current_folder.h"

namespace fs = std::filesystem;

namespace {

std::map<std::string, std::string> ReadZip(const std::string& path) {
    std::map<std::string, std::string> entries;
    unzFile zip = unzOpen64(path.c_str());
    if (!zip) return entries;
    for (int r = unzGoToFirstFile(zip); r == UNZ_OK; r = unzGoToNextFile(zip)) {
        char name[512];
        unz_file_info64 info{};
        unzGetCurrentFileInfo64(zip, &info, name, sizeof(name), nullptr, 0, nullptr, 0);
        std::string bytes(info.uncompressed_size, '\0');
        unzOpenCurrentFile(zip);
        if (!bytes.empty()) unzReadCurrentFile(zip, bytes.data(), static_cast<unsigned>(bytes.size()));
        unzCloseCurrentFile(zip);
        entries[name] = bytes;
    }
    unzClose(zip);
    return entries;
}

std::string DateFolder() {  // "2026127" for 7 Dec 2026
    const time_t now = time(nullptr);
    struct tm t {};
    localtime_r(&now, &t);
    return std::to_string(t.tm_year + 1900) + std::to_string(t.tm_mon + 1) + std::to_string(t.tm_mday);
}

class CrashReportUploadTest : public ::testing::Test {
protected:
    void SetUp() override {
        Write("QuonLauncher(crashed)_2026-12-7-15-3-9.dmp", PatternBytes(150000));
        Write("log.txt", "[2026-12-07 15h 03m 09s]x()-y [QuonLauncher.exe][ThreadID:1][a.cpp-1]\n");
        Write("GameGuard/npgl.erl", "erl one");
        Write("GameGuard/keep.txt", "not an erl file");
        Write("log/LauncherLog.txt", "launcher log");
        Write("log/old/Earlier.txt", "earlier log");
    }
    void TearDown() override { unsetenv("QUON_CRASH_FTP_HOST"); }

    void Write(const std::string& relative, const std::string& bytes) {
        fs::create_directories((m_cwd.Path() / relative).parent_path());
        FILE* f = fopen((m_cwd.Path() / relative).c_str(), "wb");
        fwrite(bytes.data(), 1, bytes.size(), f);
        fclose(f);
    }
    void UseServer(const TestFtpServer& server) {
        setenv("QUON_CRASH_FTP_HOST", ("127.0.0.1:" + std::to_string(server.port())).c_str(), 1);
    }

    const std::string m_dump = "QuonLauncher(crashed)_2026-12-7-15-3-9.dmp";
    TempCurrentFolder m_cwd;
};

TEST_F(CrashReportUploadTest, ArchiveArrivesAtTheDatedPathWithTheReportAndLocalLeftoversAreRemoved) {
    TestFtpServer server;
    UseServer(server);
    const std::string date = DateFolder();
    ASSERT_EQ(RunCrashReportUpload(text::FromUtf8(m_dump)), CrashUploadResult::Uploaded);

    const std::string mac = text::ToUtf8(SYSTEM::SystemInfo().GetMacAddress());
    const std::string archive = mac + "_" + m_dump + ".zip";
    ASSERT_TRUE(server.root().Exists(date + "/" + archive)) << server.LastCommand("STOR");
    // The path went to the server as built, empty report folder level included.
    EXPECT_NE(server.LastCommand("MKD").find("/" + date), std::string::npos);

    auto entries = ReadZip(server.root().Join(date + "/" + archive));
    std::vector<std::string> names;
    for (const auto& [name, bytes] : entries) names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"Earlier.txt", "LauncherLog.txt", "PCInfo.xml", m_dump,
                                               "log.txt", "npgl.erl"}));
    EXPECT_EQ(entries[m_dump], PatternBytes(150000));
    EXPECT_EQ(entries["npgl.erl"], "erl one");
    EXPECT_EQ(entries["LauncherLog.txt"], "launcher log");
    EXPECT_EQ(entries["Earlier.txt"], "earlier log");
    std::istringstream xml(entries["PCInfo.xml"]);
    boost::property_tree::ptree report;
    ASSERT_NO_THROW(boost::property_tree::read_xml(xml, report));
    EXPECT_EQ(report.get_child("System").size(), 4u);

    EXPECT_FALSE(fs::exists(m_cwd.Path() / archive));
    EXPECT_FALSE(fs::exists(m_cwd.Path() / "PCInfo.xml"));
    EXPECT_FALSE(fs::exists(m_cwd.Path() / "GameGuard/npgl.erl"));
    EXPECT_TRUE(fs::exists(m_cwd.Path() / "GameGuard/keep.txt"));
    EXPECT_TRUE(fs::exists(m_cwd.Path() / m_dump));
    EXPECT_TRUE(fs::exists(m_cwd.Path() / "log/LauncherLog.txt"));
}

TEST_F(CrashReportUploadTest, RefusedLoginPacksAndSendsNothing) {
    TestFtpServer server({"--refuse-login"});
    UseServer(server);
    EXPECT_EQ(RunCrashReportUpload(text::FromUtf8(m_dump)), CrashUploadResult::LoginFailed);
    EXPECT_FALSE(fs::exists(m_cwd.Path() / "PCInfo.xml"));
    EXPECT_TRUE(fs::exists(m_cwd.Path() / "GameGuard/npgl.erl"));
    EXPECT_TRUE(fs::exists(m_cwd.Path() / m_dump));
    for (const auto& e : fs::directory_iterator(m_cwd.Path())) EXPECT_NE(e.path().extension(), ".zip");
}

TEST_F(CrashReportUploadTest, RefusedUploadStillCleansUpAndIsLogged) {
    TestFtpServer server({"--read-only"});
    UseServer(server);
    EXPECT_EQ(RunCrashReportUpload(text::FromUtf8(m_dump)), CrashUploadResult::UploadFailed);
    EXPECT_FALSE(UploadCrashReport(text::FromUtf8(m_dump)));
    EXPECT_FALSE(fs::exists(m_cwd.Path() / "PCInfo.xml"));
    EXPECT_FALSE(fs::exists(m_cwd.Path() / "GameGuard/npgl.erl"));
    for (const auto& e : fs::directory_iterator(m_cwd.Path())) EXPECT_NE(e.path().extension(), ".zip");
    EXPECT_TRUE(fs::exists(m_cwd.Path() / m_dump));
    EXPECT_NE(TempCurrentFolder::Read(m_cwd.Path() / "log.txt").find("false == kFTPTransfer.UploadFile"),
              std::string::npos);
}

TEST_F(CrashReportUploadTest, MissingDumpIsReportedAndTheRestStillGoesOut) {
    TestFtpServer server;
    UseServer(server);
    fs::remove(m_cwd.Path() / m_dump);
    EXPECT_EQ(RunCrashReportUpload(text::FromUtf8(m_dump)), CrashUploadResult::Uploaded);
    EXPECT_NE(TempCurrentFolder::Read(m_cwd.Path() / "log.txt").find("ZipAdd is Error::-1"),
              std::string::npos);
}

TEST(CrashReportServerTest, HostAndPortFromTheEnvironmentElseTheBuild) {
    std::wstring host;
    int port = 0;
    setenv("QUON_CRASH_FTP_HOST", "10.1.2.3:2121", 1);
    GetCrashReportServer(host, port);
    EXPECT_EQ(host, L"10.1.2.3");
    EXPECT_EQ(port, 2121);
    setenv("QUON_CRASH_FTP_HOST", "ftp.example", 1);
    GetCrashReportServer(host, port);
    EXPECT_EQ(host, L"ftp.example");
    EXPECT_EQ(port, 21);
    unsetenv("QUON_CRASH_FTP_HOST");
    GetCrashReportServer(host, port);
    EXPECT_FALSE(host.empty());
    EXPECT_EQ(host.find(L':'), std::wstring::npos);
}

}  // namespace
