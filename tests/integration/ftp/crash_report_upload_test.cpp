// The crash handler's upload mode against a real FTP server: what arrives
// where, what the archive holds, and what is left behind locally.
#include "services/crash_report/crash_report_upload.h"

#include <boost/property_tree/ptree.hpp>
#include <boost/property_tree/xml_parser.hpp>

#include "ftp_server_fixture.h"
#include "services/system/system_info.h"
#include "support/scoped_env.h"

namespace fs = std::filesystem;

namespace {

class CrashReportUploadTest : public ::testing::Test {
protected:
    void SetUp() override {
        Write("QuonLauncher(crashed)_2026-12-7-15-3-9.dmp", Noise(150000));
        Write("log.txt", "[2026-12-07 15h 03m 09s]x()-y [QuonLauncher.exe][ThreadID:1][a.cpp-1]\n");
        Write("GameGuard/npgl.erl", "erl one");
        Write("GameGuard/keep.txt", "not an erl file");
        Write("log/LauncherLog.txt", "launcher log");
        Write("log/old/Earlier.txt", "earlier log");
    }
    void Write(const std::string& relative, const std::string& bytes) {
        fs::create_directories((m_cwd.Path() / relative).parent_path());
        std::ofstream(m_cwd.Path() / relative, std::ios::binary) << bytes;
    }

    const std::string m_dump = "QuonLauncher(crashed)_2026-12-7-15-3-9.dmp";
    TempCurrentFolder m_cwd;
};

TEST_F(CrashReportUploadTest, ArchiveArrivesAtTheDatedPathWithTheReportAndLocalLeftoversAreRemoved) {
    TestFtpServer server;
    ScopedEnv host("QUON_CRASH_FTP_HOST", "127.0.0.1:" + std::to_string(server.port()));
    const std::string date = DateFolder();
    ASSERT_EQ(RunCrashReportUpload(text::FromUtf8(m_dump)), CrashUploadResult::Uploaded);

    const std::string mac = text::ToUtf8(SYSTEM::SystemInfo().GetMacAddress());
    const std::string archive = mac + "_" + m_dump + ".zip";
    ASSERT_TRUE(server.root().Exists(date + "/" + archive)) << server.LastCommand("STOR");

    std::map<std::string, std::string> entries;
    for (const ZipEntry& e : ReadZip(server.root().Join(date + "/" + archive))) entries[e.name] = e.content;
    EXPECT_EQ(entries.size(), 6u);  // each checked below
    EXPECT_NE(entries["log.txt"].find("[QuonLauncher.exe][ThreadID:1]"), std::string::npos);
    EXPECT_EQ(entries[m_dump], Noise(150000));
    EXPECT_EQ(entries["npgl.erl"], "erl one");
    EXPECT_EQ(entries["LauncherLog.txt"], "launcher log");
    EXPECT_EQ(entries["Earlier.txt"], "earlier log");
    std::istringstream xml(entries["PCInfo.xml"]);
    boost::property_tree::ptree report;
    ASSERT_NO_THROW(boost::property_tree::read_xml(xml, report));
    EXPECT_EQ(report.get_child("System").size(), 4u);

    // The archive, the report and the erl files are gone; the dump and the logs stay.
    EXPECT_EQ(FolderNames(m_cwd.Path().string(), true), "GameGuard GameGuard/keep.txt " + m_dump +
                                                            " log log.txt log/LauncherLog.txt log/old log/old/Earlier.txt");
}

TEST_F(CrashReportUploadTest, AFailedLoginUploadOrMissingDumpCleansUpWhatItPacked) {
    struct Case {
        std::vector<std::string> flags;
        bool dump;  // the dump is there
        CrashUploadResult result;
        bool erlKept;       // nothing was packed
        const char* logged;  // in ./log.txt
    };
    const Case cases[] = {
        {{"--refuse-login"}, true, CrashUploadResult::LoginFailed, true, ""},
        {{"--read-only"}, true, CrashUploadResult::UploadFailed, false, "false == kFTPTransfer.UploadFile"},
        {{}, false, CrashUploadResult::Uploaded, false, "ZipAdd is Error::-1"},
    };
    for (const Case& c : cases) {
        SetUp();
        TestFtpServer server(c.flags);
        ScopedEnv host("QUON_CRASH_FTP_HOST", "127.0.0.1:" + std::to_string(server.port()));
        if (!c.dump) fs::remove(m_cwd.Path() / m_dump);
        EXPECT_EQ(RunCrashReportUpload(text::FromUtf8(m_dump)), c.result);
        EXPECT_FALSE(fs::exists(m_cwd.Path() / "PCInfo.xml"));
        EXPECT_EQ(fs::exists(m_cwd.Path() / "GameGuard/npgl.erl"), c.erlKept);
        EXPECT_EQ(fs::exists(m_cwd.Path() / m_dump), c.dump);
        for (const auto& e : fs::directory_iterator(m_cwd.Path())) EXPECT_NE(e.path().extension(), ".zip");
        EXPECT_NE(ReadWholeFile((m_cwd.Path() / "log.txt").string()).find(c.logged), std::string::npos);
    }
}

TEST(CrashReportServerTest, HostAndPortFromTheEnvironmentElseTheBuild) {
    // A host with a port: every upload above goes to "127.0.0.1:<port>".
    std::wstring host;
    int port = 0;
    ScopedEnv env("QUON_CRASH_FTP_HOST", "ftp.example");
    GetCrashReportServer(host, port);
    EXPECT_EQ(host, L"ftp.example");
    EXPECT_EQ(port, 21);
    ScopedEnv none("QUON_CRASH_FTP_HOST", std::nullopt);
    GetCrashReportServer(host, port);
    EXPECT_FALSE(host.empty());
    EXPECT_EQ(host.find(L':'), std::wstring::npos);
}

}  // namespace
