// The server lying, archives that break, hostile paths.

#include "patch_fixture.h"
#include "support/links.h"

// A list that fails its guard: entry 37, then 5; a file that fails its
// checksum: entry 1 with its path. Either way the client list is forgotten.
TEST_F(PatchRun, AGuardOrChecksumMismatchStopsAndForgetsTheClientList) {
    const std::wstring file = text::FormatW(L"%s\n%s", GetLauncherMessage(1), InstallW("a.dat").c_str());
    const std::vector<std::wstring> told{GetLauncherMessage(37), GetLauncherMessage(5)};
    for (const bool guard : {true, false}) {
        std::filesystem::remove_all(root.Join("server/patch_qa"));
        Publish({{L"a.dat", {"a", "", guard ? "" : std::string(32, 'c')}}});
        if (guard) Put("packclit.lit", "stale");
        if (guard) std::ofstream(root.Join("server/patch_qa/packserv.md5")) << std::string(32, '0');
        EXPECT_EQ(Run(), STATE_END);
        EXPECT_EQ(Boxes(), guard ? told : std::vector<std::wstring>{file});
        EXPECT_FALSE(Exists("packclit.lit"));
        EXPECT_FALSE(Exists("a.dat"));
        if (!guard) EXPECT_FALSE(Exists("Temp"));
    }
}

TEST_F(PatchRun, BrokenArchiveTwiceComparesAgainThenStopsWithEntry3) {
    Publish({{L"good.dat", {"g"}}, {L"x.dat", {"x", "", "", true}}});
    EXPECT_EQ(Run(), STATE_END);
    // First give-up: back to the comparison; second: entry 3.
    EXPECT_GE(Fetches("x.dat"), 2);
    EXPECT_EQ(Fetches("good.dat"), 1);  // recorded before, not fetched again
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0], GetLauncherMessage(3));
    EXPECT_EQ(Read("good.dat"), "g");
}

// Paths in the server list (refused before anything is fetched) or in an
// archive (refused when it is unpacked).
TEST_F(PatchRun, HostileServerPathsTouchNothingOutside) {
    root.WriteFile("outside.txt", "precious");
    for (const std::wstring bad :
         {L"..\\outside.txt", L"/etc/passwd", L"Data\\..\\..\\outside.txt", L"C:\\x", L"z.dat"}) {
        const bool slip = bad == L"z.dat";  // in the archive
        Publish({{bad, {"evil", slip ? "../../outside.txt" : ""}}, {L"a.dat", {"a"}}});
        EXPECT_EQ(Run(), STATE_END) << text::ToUtf8(bad);
        EXPECT_EQ(root.ReadFile("outside.txt"), "precious");
        ASSERT_EQ(Boxes().size(), 1u);
        if (!slip) EXPECT_FALSE(Exists("a.dat"));
        if (!slip) EXPECT_EQ(Boxes()[0].rfind(GetLauncherMessage(37), 0), 0u);
        if (slip)
            EXPECT_NE(Boxes()[0].find(L"File name:" + InstallW("z.dat") + L"\nErrorCode : L_9"),
                      std::wstring::npos);
        std::filesystem::remove_all(root.Join("server/patch_qa"));
    }
}

// Nor through a client list's path that leaves the install, which is dropped.
TEST_F(PatchRun, LinkedFoldersInTheInstallAreNeverWrittenOrDeletedThrough) {
    root.WriteFile("elsewhere/a.dat", "precious");
    root.WriteFile("elsewhere/old.dat", "precious too");
    root.WriteFile("outside.txt", "precious");
    if (!MakeFolderLink(root.Join("elsewhere"), Install("Data"))) GTEST_SKIP() << "no links here (Wine)";
    WriteClientList({L"Data\\old.dat", L"..\\outside.txt"});  // a file behind the link, one outside

    Publish({{L"Data\\a.dat", {"evil"}}});
    EXPECT_EQ(Run(), STATE_END);
    EXPECT_EQ(root.ReadFile("elsewhere/a.dat"), "precious");
    EXPECT_EQ(root.ReadFile("elsewhere/old.dat"), "precious too");
    EXPECT_EQ(root.ReadFile("outside.txt"), "precious");
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0], GetLauncherMessage(4));
}

// A client list that cannot be written (root ignores permission bits; a
// folder stops everyone), before the comparison or after it.
TEST_F(PatchRun, ClientListThatCannotBeWrittenStopsBeforeTheNextFileIsPatched) {
    Publish({{L"keep.dat", {"keep"}}, {L"new.dat", {"new"}}});
    Put("keep.dat", "keep");
    std::filesystem::create_directories(Install("packclit.lit"));
    EXPECT_EQ(Run(), STATE_END);
    const std::wstring box = text::FormatW(GetLauncherMessage(8), L"Is a directory", EISDIR, InstallW("packclit.lit").c_str());
    EXPECT_EQ(Boxes(), std::vector<std::wstring>{box});
    EXPECT_NE(Log().find(L"Function :[CGameLauncherDlg::Ls_CompareFileList]"), std::wstring::npos);
    EXPECT_EQ(Fetches("new.dat"), 0);
    EXPECT_FALSE(Exists("new.dat"));
    EXPECT_FALSE(view->ButtonsEnabled());

    // The first fetch of the archive stalls, so the list can be broken after
    // the comparison wrote it and before the file's line is appended.
    dlg->OnDestroy();
    dlg.reset();
    std::filesystem::remove_all(Install("packclit.lit"));
    server.StallAfter("/patch_qa/new.dat.zip", 0, std::chrono::milliseconds(300));
    Begin();
    ASSERT_TRUE(WaitUntil([&] { return Fetches("new.dat") > 0; }, 20000));
    std::filesystem::remove(Install("packclit.lit"));
    std::filesystem::create_directories(Install("packclit.lit"));
    server.ClearFaults();
    EXPECT_EQ(Settle(), STATE_END);
    EXPECT_EQ(Boxes(), std::vector<std::wstring>{box});
    EXPECT_NE(Log().find(L"Function :[CGameLauncherDlg::Ls_Update]"), std::wstring::npos);
    EXPECT_FALSE(view->ButtonsEnabled());
}
