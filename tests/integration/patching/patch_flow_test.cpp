// Fresh installs, updates, obsolete files, nothing to do, repair, start, and
// an archive broken off on every answer.
#include <new>

#include "patch_fixture.h"
#include "support/system_rules.h"

TEST_F(PatchRun, FreshInstallFetchesEverythingAndRecordsIt) {
    const std::string odd = std::string("odd #1 %41") + (NamesMayHoldQuestionMarks() ? "?" : "") + "\xc3\xa9.dat";
    Publish({{L"Vevida2.0.exe", {"#!/bin/sh\n", "", "", false, 0755}},
             {L"Data\\Map\\a.dat", {"map a"}},
             {L"Data\\b.dat", {""}},
             {L"Data\\c.dat", {"c", "Data\\c.dat"}},  // stored with backslashes
             {L"Data\\" + text::FromUtf8(odd), {"odd"}},
             {L"readme.txt", {std::string(300000, 'r')}}});
    EXPECT_EQ(Run(), STATE_IDLE);
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(Read("Data/Map/a.dat"), "map a");
    EXPECT_TRUE(Read("readme.txt") == std::string(300000, 'r'));
    EXPECT_TRUE(Exists("Data/b.dat"));
    EXPECT_EQ(Read("Data/c.dat"), "c");
    EXPECT_EQ(Read("Data/" + odd), "odd");
    EXPECT_EQ(std::filesystem::status(Install("Vevida2.0.exe")).permissions() & std::filesystem::perms::owner_exec,
              std::filesystem::perms::owner_exec);
    EXPECT_FALSE(Exists("Temp"));
    PackFileList recorded;
    ASSERT_TRUE(ReadListFile(InstallW("packclit.lit"), recorded));
    EXPECT_EQ(recorded.size(), 6u);
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
    // Nor is a file whose path the list cannot carry.
    const std::string longName = "Data/" + std::string(210, 'n') + ".dat";
    Put(longName, "the player's");
    EXPECT_EQ(Run(), STATE_IDLE);
    EXPECT_EQ(Read(longName), "the player's");
    EXPECT_EQ(Read("Data/changed.dat"), "new");
    EXPECT_EQ(Read("Data/missing.dat"), "m");
    EXPECT_FALSE(Exists("Data/obsolete.dat"));
    EXPECT_TRUE(Exists("Config/Option.json"));
    EXPECT_TRUE(Exists("Uninstall.exe"));
    EXPECT_EQ(Fetches("keep.dat"), 0);
    EXPECT_EQ(Fetches("Data/changed.dat"), 1);
    // The lines appended on the way are compacted: one per listed file.
    PackFileList recorded;
    ASSERT_TRUE(ReadListFile(InstallW("packclit.lit"), recorded));
    EXPECT_EQ(recorded.size(), 3u);

    // A second run finds nothing to do and fetches nothing but the list and its guard.
    const int before = server.TotalRequests();
    EXPECT_EQ(Run(), STATE_IDLE);
    EXPECT_EQ(server.TotalRequests() - before, 2);

    // Repair fetches again what differs on disk, and only that.
    Put("keep.dat", "tampered");
    EXPECT_EQ(Repair(), STATE_IDLE);
    EXPECT_EQ(Read("keep.dat"), "same");
    EXPECT_EQ(Fetches("keep.dat"), 1);
    EXPECT_EQ(Fetches("Data/changed.dat"), 1);
}

// Only executables are checked at start; a tampered client is not started, one
// that cannot start is reported with the start's own reason.
TEST_F(PatchRun, AClientThatIsTamperedWithOrCannotStartIsReportedAndTheListDropped) {
    Publish({{L"Vevida2.0.exe", {"client"}}, {L"Bin\\net.dll", {"dll"}}, {L"plain.dat", {"p"}}});
    const std::wstring tampered = text::FormatW(GetLauncherMessage(17), InstallW("Vevida2.0.exe").c_str());
    for (bool tamper : {true, false}) {
        ASSERT_EQ(Run(), STATE_IDLE);
        if (tamper) Put("Vevida2.0.exe", "tampered");
        Put("plain.dat", "not checked at start");
        platform.m_startResult = tamper ? 33 : 2;
        dlg->OnBnClickedButtonStart();
        EXPECT_EQ(platform.Starts().size(), tamper ? 0u : 1u);
        EXPECT_EQ(Boxes(), std::vector<std::wstring>{tamper ? tampered
                                                            : L"File execute failed(Vevida2.0.exe) - The specified file "
                                                              L"was not found."});
        EXPECT_FALSE(Exists("packclit.lit"));
        EXPECT_EQ(view->m_closeRequests, 1);
        if (tamper) EXPECT_NE(Log().find(L"CGameLauncherDlg::OnBnClickedButtonStart"), std::wstring::npos);
        platform.m_startResult = 33;
        Put("Vevida2.0.exe", "client");
    }
    // The client with the launcher's argument, in the install folder, after
    // the two checked entries.
    ASSERT_EQ(platform.Starts().size(), 1u);
    EXPECT_EQ(platform.Starts()[0].file, L"Vevida2.0.exe");
    EXPECT_EQ(platform.Starts()[0].parameters, L"QA");
    EXPECT_EQ(platform.Starts()[0].folder, root.wpath() + L"/install/");
    EXPECT_EQ(dlg->m_dwFileRecv.load(), 2u);
    EXPECT_EQ(dlg->m_dwFileSize.load(), 3u);
}

TEST_F(PatchRun, ArchiveBrokenOffOnEveryAnswerIsContinuedByTheRetries) {
    const std::string content = Noise(1 << 20, 5);
    Publish({{L"big.dat", {content}}});
    const std::string path = "/patch_qa/big.dat.zip";
    const size_t archive = std::filesystem::file_size(root.Join("server/patch_qa/big.dat.zip"));
    server.SetRanges(path, TestHttpServer::Ranges::kHonoured);
    server.SetValidators(path, "\"big-1\"", "");
    server.DropAfter(path, archive / 4 + 1);
    EXPECT_EQ(Run(), STATE_IDLE);
    EXPECT_TRUE(Boxes().empty());
    EXPECT_TRUE(Read("big.dat") == content);
    // Continued, not fetched again from the start.
    EXPECT_LT(server.BytesSent(path), archive * 12 / 10);
    // The progress counts went on from what was on disk.
    EXPECT_EQ(dlg->m_dwTotalRecv.load(), dlg->m_dwTotalSize.load());
}

// An idle worker sleeps until something happens.
TEST_F(PatchRun, ReadyWorkerSleepsUntilAClickAndTakesItUpAtOnce) {
    Publish({{L"a.dat", {"a"}}});
    ASSERT_EQ(Run(), STATE_IDLE);
    platform.m_shortPauses = 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_LE(platform.m_shortPauses, 2u);  // a 1 ms loop makes hundreds
    // A Temp folder made behind its back still goes, at the idle sweep.
    std::filesystem::create_directories(Install("Temp/x"));
    EXPECT_TRUE(WaitUntil([&] { return !Exists("Temp"); }, 3000));
    // Repair wakes the worker: the list is fetched again long before a sweep.
    const int fetched = server.RequestCount("/patch_qa/packserv.txt");
    const auto clicked = std::chrono::steady_clock::now();
    dlg->OnBnClickedButtonRepair();
    ASSERT_TRUE(WaitUntil([&] { return server.RequestCount("/patch_qa/packserv.txt") > fetched; }));
    EXPECT_LT(std::chrono::steady_clock::now() - clicked, std::chrono::milliseconds(500));
    ASSERT_EQ(Settle(), STATE_IDLE);
    // Start wakes it too: the client starts, the worker ends and asks to close.
    dlg->OnBnClickedButtonStart();
    EXPECT_TRUE(WaitUntil([&] { return view->m_closeRequests > 0; }, 500));
    EXPECT_EQ(dlg->GetState(), STATE_END);
    EXPECT_EQ(view->m_offThreadPaints, 0);
}

// An exception of the standard library ends the run with a report instead of the process.
TEST_F(PatchRun, StandardLibraryExceptionIsReportedAsAnUnknownErrorAndEnds) {
    platform.m_scripted = true;
    for (int kind = 0; kind < 2; ++kind) {
        platform.m_scriptedDownloader.m_duringDownload = [kind](IBindStatusCallback*) -> HRESULT {
            if (kind == 0) throw std::bad_alloc();
            throw std::length_error("vector");
        };
        EXPECT_EQ(Run(), STATE_END);
        EXPECT_EQ(Boxes(), std::vector<std::wstring>{GetLauncherMessage(7)});
        dlg->OnDestroy();
        EXPECT_FALSE(dlg->IsWorkerRunning());
        EXPECT_NE(Log().find(L"Function :[CGameLauncherDlg::LauncherThreadProc] Message :[Unknown error.\r\n"
                             L"ErrorCode : L_8]"),
                  std::wstring::npos)
            << text::ToUtf8(Log());
    }
}
