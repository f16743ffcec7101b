// The upload mode of a real crash: the crashed program's helper writes the
// dump before it asks, and after a Yes, or when no prompt can be shown, packs
// the dump with the report and sends it to the FTP server.
#include "ftp_server_fixture.h"
#include "integration/crash/crash_fixture.h"
#include "services/system/system_info.h"

namespace {

TEST(CrashUploadTest, TheArchiveArrivesAtTheDatedPathUnlessTheAnswerIsNoAndOnlyTheDumpStaysBehind) {
    for (const std::string answer : {"yes", "no", ""}) {
        if (answer.empty() && !PromptCanBeWithheld()) continue;
        SCOPED_TRACE(answer);
        TestFtpServer server;
        TempDir folder;
        folder.WriteFile("log.txt", "launcher log\n");
        folder.WriteFile("GameGuard/npgl.erl", "erl");
        folder.WriteFile("log/LauncherLog.txt", "older log");
        const std::string date = DateFolder();
        EXPECT_EQ(RunCrash(folder.path(), "null", answer,
                           {{"QUON_CRASH_REPORT_MODE", "upload"},
                            {"QUON_CRASH_FTP_HOST", "127.0.0.1:" + std::to_string(server.port())}}),
                  CrashEnding("null", answer != "no"));

        const auto dumps = ListDumps(folder.path());
        ASSERT_EQ(dumps.size(), 1u);
        if (answer == "no") {
            EXPECT_EQ(FolderNames(server.root().path(), true), "");
            EXPECT_EQ(FolderNames(folder.path()), "GameGuard " + dumps[0] + " log log.txt threads.txt");
            continue;
        }
        const std::string archive =
            text::ToUtf8(SYSTEM::SystemInfo().GetMacAddress()) + "_" + dumps[0] + ".zip";
        ASSERT_TRUE(server.root().Exists(date + "/" + archive)) << FolderNames(server.root().path(), true);
        std::map<std::string, std::string> entries;
        for (const ZipEntry& e : ReadZip(server.root().Join(date + "/" + archive)))
            entries[e.name] = e.content;
        EXPECT_EQ(entries.size(), 5u);
        EXPECT_TRUE(entries[dumps[0]] == folder.ReadFile(dumps[0]));
        EXPECT_NE(entries["PCInfo.xml"].find("<WindowsName>"), std::string::npos);
        EXPECT_EQ(entries["log.txt"].rfind("launcher log\n", 0), 0u);
        EXPECT_EQ(entries["npgl.erl"], "erl");
        EXPECT_EQ(entries["LauncherLog.txt"], "older log");
        // GameGuard went with its last file.
        EXPECT_EQ(FolderNames(folder.path()), dumps[0] + " log log.txt threads.txt");
    }
}

}  // namespace
