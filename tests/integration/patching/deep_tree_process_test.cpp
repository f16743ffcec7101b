// The real launcher in the console front-end, repairing an install whose tree
// goes deeper than a path buffer holds.
#include <gtest/gtest.h>

#include <filesystem>

#include "util/text_util.h"
#include "launcher/launcher_messages.h"
#include "support/child_process.h"
#include "support/patch_set.h"
#include "support/temp_dir.h"
#include "support/test_http_server.h"

TEST(DeepTreeProcess, RepairScansPastFoldersBeyondThePathCapAndSkipsThem) {
    TempDir root;
    TestHttpServer server(root.Join("server"));
    WritePatchSet(root.Join("server/patch_qa"), {{L"a.dat", {"a"}}});
    const std::string install = root.Join("install");
    std::filesystem::create_directories(install);
    std::filesystem::create_directories(root.Join("runtime"));
    std::filesystem::copy_file(LauncherBinary(), install + "/QuonLauncher.exe");
    // An empty client list: the first pass fetches without scanning; the
    // repair then rebuilds the list from the disk.
    root.WriteFile("install/packclit.lit", "\xFF\xFE");
    std::string deep = "deep";
    while ((install + "/" + deep).size() < 320) deep += "/level-" + std::to_string(deep.size());
    root.WriteFile("install/" + deep + "/bottom.dat", "beyond the cap");
    root.WriteFile("install/deep/shallow.dat", "obsolete");

    ChildProcess run({install + "/QuonLauncher.exe", "QA", "FromUpdater"}, root.path(),
                     {{"QUON_PATCH_HOST", "127.0.0.1:" + std::to_string(server.port())},
                      {"QUON_RUNTIME_DIR", root.Join("runtime")},
                      {"QUON_LAUNCHER_UI", "console"},
                      {"DISPLAY", ""}},
                     "repair\n");
    ASSERT_EQ(run.Wait(60000), 0) << run.Output();
    EXPECT_NE(run.Output().find(text::ToUtf8(GetLauncherMessage(32))), std::string::npos) << run.Output();
    EXPECT_EQ(root.ReadFile("install/a.dat"), "a");
    EXPECT_EQ(root.ReadFile("install/" + deep + "/bottom.dat"), "beyond the cap");
    // Only the repair scans (the first pass had a list): what fits the cap was
    // listed, and deleted as obsolete.
    EXPECT_FALSE(root.Exists("install/deep/shallow.dat"));
    const std::wstring log = text::DecodeUtf16LE(root.ReadFile("install/log/LauncherLog.txt"));
    EXPECT_NE(log.find(L"Skipped (path too long): "), std::wstring::npos) << text::ToUtf8(log);
}
