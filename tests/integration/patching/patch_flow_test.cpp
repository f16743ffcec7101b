// Fresh installs, updates, obsolete files, nothing to do, repair, start.
#include "patch_fixture.h"

TEST_F(PatchRun, FreshInstallFetchesEverythingAndRecordsIt) {
    Publish({{L"Vevida2.0.exe", {"#!/bin/sh\n", "", "", false, 0755}},
             {L"Data\\Map\\a.dat", {"map a"}},
             {L"Data\\b.dat", {""}},
             {L"Data\\odd #1 %41?\u00e9.dat", {"odd"}},
             {L"readme.txt", {std::string(300000, 'r')}}});
    EXPECT_EQ(Run(), STATE_IDLE);
    EXPECT_TRUE(view->Boxes().empty());
    EXPECT_EQ(Read("Data/Map/a.dat"), "map a");
    EXPECT_TRUE(Read("readme.txt") == std::string(300000, 'r'));
    EXPECT_TRUE(Exists("Data/b.dat"));
    EXPECT_EQ(Read("Data/odd #1 %41?\xc3\xa9.dat"), "odd");
    EXPECT_EQ(std::filesystem::status(Install("Vevida2.0.exe")).permissions() & std::filesystem::perms::owner_exec,
              std::filesystem::perms::owner_exec);
    EXPECT_FALSE(Exists("Temp"));
    PackFileList recorded;
    ASSERT_TRUE(ReadListFile(text::FromUtf8(Install("packclit.lit")), recorded));
    EXPECT_EQ(recorded.size(), 5u);
    EXPECT_EQ(dlg->m_dwTotalRecv.load(), dlg->m_dwTotalSize.load());
    EXPECT_EQ(view->TimersStarted(), std::vector<int>{1});
}

TEST_F(PatchRun, UpdateDeletesObsoleteFetchesChangedAndKeepsTheRest) {
    Publish({{L"keep.dat", {"same"}}, {L"Data\\changed.dat", {"new"}}, {L"Data\\missing.dat", {"m"}}});
    Put("keep.dat", "same");
    Put("Data/changed.dat", "old");
    Put("Data/obsolete.dat", "gone");
    Put("Config/Option.json", "{}");  // skipped folders are never listed or deleted
    Put("Uninstall.exe", "u");
    EXPECT_EQ(Run(), STATE_IDLE);
    EXPECT_EQ(Read("Data/changed.dat"), "new");
    EXPECT_EQ(Read("Data/missing.dat"), "m");
    EXPECT_FALSE(Exists("Data/obsolete.dat"));
    EXPECT_TRUE(Exists("Config/Option.json"));
    EXPECT_TRUE(Exists("Uninstall.exe"));
    EXPECT_EQ(Fetches("keep.dat"), 0);
    EXPECT_EQ(Fetches("Data/changed.dat"), 1);

    // A second run finds nothing to do and fetches nothing.
    const int before = server->TotalRequests();
    EXPECT_EQ(Run(), STATE_IDLE);
    EXPECT_EQ(server->TotalRequests() - before, 2);  // the list and its guard
}

TEST_F(PatchRun, RepairRefetchesWhatDiffersOnDisk) {
    Publish({{L"a.dat", {"a"}}, {L"b.dat", {"b"}}});
    ASSERT_EQ(Run(), STATE_IDLE);
    Put("a.dat", "tampered");
    EXPECT_EQ(Repair(), STATE_IDLE);
    EXPECT_EQ(Read("a.dat"), "a");
    EXPECT_EQ(Fetches("a.dat"), 2);
    EXPECT_EQ(Fetches("b.dat"), 1);
}

TEST_F(PatchRun, StartChecksExecutablesThenStartsTheClient) {
    Publish({{L"Vevida2.0.exe", {"client"}}, {L"Bin\\net.dll", {"dll"}}, {L"plain.dat", {"p"}}});
    ASSERT_EQ(Run(), STATE_IDLE);
    Put("plain.dat", "not checked at start");
    dlg->OnBnClickedButtonStart();
    // The worker may already have moved the quit on to its end.
    EXPECT_TRUE(dlg->GetState() == STATE_QUIT || dlg->GetState() == STATE_END) << dlg->GetState();
    ASSERT_EQ(platform.Starts().size(), 1u);
    EXPECT_EQ(platform.Starts()[0].file, L"Vevida2.0.exe");
    EXPECT_EQ(platform.Starts()[0].parameters, L"QA");
    EXPECT_EQ(platform.Starts()[0].folder, root.wpath() + L"/install/");
    EXPECT_EQ(dlg->m_dwFileRecv.load(), 2u);  // the two checked entries
    EXPECT_EQ(dlg->m_dwFileSize.load(), 3u);
}

TEST_F(PatchRun, StartRefusesATamperedExecutable) {
    Publish({{L"Vevida2.0.exe", {"client"}}});
    ASSERT_EQ(Run(), STATE_IDLE);
    Put("Vevida2.0.exe", "tampered");
    dlg->OnBnClickedButtonStart();
    EXPECT_TRUE(platform.Starts().empty());
    ASSERT_EQ(view->Boxes().size(), 1u);
    EXPECT_EQ(view->Boxes()[0], text::FormatW(GetLauncherMessage(17), (root.wpath() + L"/install/Vevida2.0.exe").c_str()));
    EXPECT_FALSE(Exists("packclit.lit"));
    EXPECT_EQ(view->m_closeRequests, 1);
    EXPECT_NE(Log().find(L"CGameLauncherDlg::OnBnClickedButtonStart"), std::wstring::npos);
}

TEST_F(PatchRun, ClientThatCannotStartIsReportedAndTheListDropped) {
    Publish({{L"a.dat", {"a"}}});
    ASSERT_EQ(Run(), STATE_IDLE);
    platform.m_startResult = 2;
    dlg->OnBnClickedButtonStart();
    ASSERT_EQ(view->Boxes().size(), 1u);
    EXPECT_EQ(view->Boxes()[0], L"File execute failed(Vevida2.0.exe) - The specified file was not found.");
    EXPECT_FALSE(Exists("packclit.lit"));
    EXPECT_EQ(view->m_closeRequests, 1);
}
