// The state machine with a scripted downloader: retries and their reports,
// a deferred error box, a close between retries.
#include "support/test_common.h"

#include "launcher/game_launcher_dlg.h"
#include "launcher/launcher_messages.h"
#include "support/recording_view.h"
#include "support/test_platform.h"

namespace {
class StateMachine : public ::testing::Test {
protected:
    StateMachine() { platform.m_scripted = true; }
    std::unique_ptr<CGameLauncherDlg> Make(std::vector<std::wstring> args = {L"QuonLauncher.exe"}) {
        args[0] = dir.wpath() + L"/QuonLauncher.exe";
        auto dlg = std::make_unique<CGameLauncherDlg>(platform, view, args);
        dlg->ResetLauncherLog();
        return dlg;
    }
    std::wstring Log() { return ReadUtf16File(dir.Join("log/LauncherLog.txt")); }

    TempDir dir;
    TestPlatform platform{dir.wpath() + L"/QuonLauncher.exe"};
    RecordingView view;
    ScriptedDownloader& downloads = platform.m_scriptedDownloader;
};
}  // namespace

TEST_F(StateMachine, UpdaterThatCannotStartIsReportedByLsError) {
    platform.m_startResult = 2;
    auto dlg = Make({L"QuonLauncher.exe", L"QA"});
    dlg->SetState(STATE_RUN_UPDATER);
    dlg->ProcessState();
    EXPECT_EQ(dlg->GetState(), STATE_ERROR);
    EXPECT_TRUE(view.Boxes().empty());  // deferred
    EXPECT_EQ(platform.Starts()[0].parameters, L"QA");
    dlg->ProcessState();
    EXPECT_EQ(dlg->GetState(), STATE_END);
    const std::wstring expected =
        L"File execute failed(QuonLauncherUpdater.exe) - The specified file was not found.";
    ASSERT_EQ(view.Boxes().size(), 1u);
    EXPECT_EQ(view.Boxes()[0], expected);
    EXPECT_EQ(view.LastCaption(), L"QuonLauncher.exe");
    EXPECT_EQ(view.LastStyle(), MB_SYSTEMMODAL);
    EXPECT_NE(Log().find(L"Function :[CGameLauncherDlg::Ls_Error] Message :[" + expected + L"]"),
              std::wstring::npos);
}

TEST_F(StateMachine, DownloadsRetryTenTimesButNotOnAFullDisk) {
    // Ten failures then success is a success.
    for (int i = 0; i < 10; ++i) downloads.Push(INET_E_CANNOT_CONNECT);
    auto dlg = Make();
    EXPECT_TRUE(dlg->URLDownload(L"http://x/f", dir.wpath() + L"/f", nullptr));
    EXPECT_EQ(downloads.m_calls, 11);
    EXPECT_EQ(downloads.m_cacheDeletes, 1);
    EXPECT_EQ(platform.m_sleptMs, 10000u);
    EXPECT_TRUE(view.Boxes().empty());
    // Eleven show entry 14 once, with the path and the code in hex.
    downloads.m_calls = 0;
    downloads.m_default = INET_E_RESOURCE_NOT_FOUND;
    const std::wstring target = dir.wpath() + L"/Temp/packserv.txt";
    EXPECT_FALSE(dlg->URLDownload(L"http://x/packserv.txt", target, nullptr));
    EXPECT_EQ(downloads.m_calls, 11);
    const std::wstring expected = text::FormatW(GetLauncherMessage(14), target.c_str(), 0x800c0005u);
    EXPECT_EQ(view.Boxes(), std::vector<std::wstring>{expected});
    EXPECT_EQ(dlg->GetPendingError(), expected);
    EXPECT_NE(Log().find(L"Function :[CGameLauncherDlg::URLDownload]"), std::wstring::npos);
    // A full disk stops at once with entry 13.
    downloads.m_calls = 0;
    downloads.Push(E_OUTOFMEMORY);
    EXPECT_FALSE(dlg->URLDownload(L"http://x/a", L"/inst/Temp/a.zip", nullptr));
    EXPECT_EQ(downloads.m_calls, 1);
    EXPECT_EQ(view.Boxes().back(), text::FormatW(GetLauncherMessage(13), L"/inst/Temp/a.zip"));
}

TEST_F(StateMachine, ClosingDuringRetriesStopsTheWorkerPromptly) {
    downloads.m_default = INET_E_CANNOT_CONNECT;
    platform.m_realSleep = true;
    auto dlg = Make({L"QuonLauncher.exe", L"QA", L"FromUpdater"});
    ASSERT_TRUE(dlg->OnInitDialog());
    ASSERT_TRUE(WaitUntil([&] { return downloads.m_calls >= 2; }));
    dlg->OnBnClickedButtonClose();
    EXPECT_FALSE(dlg->IsWorkerRunning());
    EXPECT_TRUE(view.Boxes().empty());
    EXPECT_LT(downloads.m_calls, 11);
}
