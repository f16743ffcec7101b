// The state machine driven step by step with a scripted downloader: the
// player's start, retries and their reports, quitting, errors, idle, repair.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "util/text_util.h"
#include "launcher/game_launcher_dlg.h"
#include "launcher/launcher_messages.h"
#include "support/recording_view.h"
#include "support/temp_dir.h"
#include "support/test_platform.h"

namespace {
class StateMachine : public ::testing::Test {
protected:
    StateMachine() { platform.m_scripted = true; }
    std::unique_ptr<CGameLauncherDlg> Make(std::vector<std::wstring> args = {L"QuonLauncher.exe"}) {
        args.insert(args.begin(), dir.wpath() + L"/QuonLauncher.exe");
        args.erase(args.begin() + 1);
        auto dlg = std::make_unique<CGameLauncherDlg>(platform, view, args);
        dlg->ResetLauncherLog();
        return dlg;
    }
    // Runs handlers on this thread until `until` or 50 passes.
    void Drive(CGameLauncherDlg& dlg, int32_t until) {
        for (int i = 0; i < 50 && dlg.GetState() != until; ++i) dlg.ProcessState();
    }
    std::wstring Log() { return text::DecodeUtf16LE(dir.ReadFile("log/LauncherLog.txt").substr(2)); }

    TempDir dir;
    TestPlatform platform{dir.wpath() + L"/QuonLauncher.exe"};
    RecordingView view;
    ScriptedDownloader& downloads = platform.m_scriptedDownloader;
};
}  // namespace

TEST_F(StateMachine, PlayersStartFetchesAndStartsTheUpdaterThenEnds) {
    auto dlg = Make();
    dlg->SetState(STATE_CHECK_UPDATER);
    dlg->ProcessState();
    EXPECT_EQ(dlg->GetState(), STATE_RUN_UPDATER);
    EXPECT_EQ(dir.ReadFile("QuonLauncherUpdater.exe"), "updater");
    EXPECT_EQ(downloads.m_cacheDeletes, 1);
    dlg->ProcessState();
    EXPECT_EQ(dlg->GetState(), STATE_QUIT);
    ASSERT_EQ(platform.Starts().size(), 1u);
    EXPECT_EQ(platform.Starts()[0].file, L"QuonLauncherUpdater.exe");
    EXPECT_EQ(platform.Starts()[0].parameters, L"NOT_USE_ARG1");
    EXPECT_EQ(platform.Starts()[0].folder, dir.wpath() + L"/");
    EXPECT_EQ(platform.m_madeExecutable, dir.wpath() + L"/QuonLauncherUpdater.exe");
    dlg->ProcessState();
    EXPECT_EQ(dlg->GetState(), STATE_END);
    EXPECT_TRUE(view.Boxes().empty());
}

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
    const std::wstring expected = L"File execute failed(QuonLauncherUpdater.exe) - The specified file was not found.";
    ASSERT_EQ(view.Boxes().size(), 1u);
    EXPECT_EQ(view.Boxes()[0], expected);
    EXPECT_EQ(view.LastCaption(), L"QuonLauncher.exe");
    EXPECT_EQ(view.LastStyle(), MB_SYSTEMMODAL);
    EXPECT_NE(Log().find(L"Function :[CGameLauncherDlg::Ls_Error] Message :[" + expected + L"]"), std::wstring::npos);
}

TEST_F(StateMachine, TenFailuresThenSuccessIsASuccess) {
    for (int i = 0; i < 10; ++i) downloads.Push(INET_E_CANNOT_CONNECT);
    auto dlg = Make();
    EXPECT_TRUE(dlg->URLDownload(L"http://x/f", dir.wpath() + L"/f", nullptr));
    EXPECT_EQ(downloads.m_calls, 11);
    EXPECT_EQ(downloads.m_cacheDeletes, 1);
    EXPECT_EQ(platform.m_sleptMs, 10000u);
    EXPECT_TRUE(view.Boxes().empty());
}

TEST_F(StateMachine, ElevenFailuresShowEntry14OnceWithPathAndHexCode) {
    downloads.m_default = INET_E_RESOURCE_NOT_FOUND;
    auto dlg = Make();
    const std::wstring target = dir.wpath() + L"/Temp/packserv.txt";
    EXPECT_FALSE(dlg->URLDownload(L"http://x/packserv.txt", target, nullptr));
    EXPECT_EQ(downloads.m_calls, 11);
    ASSERT_EQ(view.Boxes().size(), 1u);
    const std::wstring expected = text::FormatW(GetLauncherMessage(14), target.c_str(), 0x800c0005u);
    EXPECT_EQ(view.Boxes()[0], expected);
    EXPECT_NE(expected.find(L"Result:800c0005\n"), std::wstring::npos);
    EXPECT_EQ(dlg->GetPendingError(), expected);
    EXPECT_NE(Log().find(L"Function :[CGameLauncherDlg::URLDownload]"), std::wstring::npos);
}

TEST_F(StateMachine, FullDiskStopsAtOnceWithEntry13) {
    downloads.Push(E_OUTOFMEMORY);
    auto dlg = Make();
    EXPECT_FALSE(dlg->URLDownload(L"http://x/a", L"/inst/Temp/a.zip", nullptr));
    EXPECT_EQ(downloads.m_calls, 1);
    ASSERT_EQ(view.Boxes().size(), 1u);
    EXPECT_EQ(view.Boxes()[0], text::FormatW(GetLauncherMessage(13), L"/inst/Temp/a.zip"));
}

TEST_F(StateMachine, QuittingAbortsTheDownloadWithoutRetriesOrMessage) {
    auto dlg = Make();
    dlg->SetState(STATE_QUIT);
    // The downloader asks the callback, as a real transfer does at its first report.
    downloads.m_duringDownload = [](IBindStatusCallback* cb) {
        return cb->OnProgress(0, 0, BINDSTATUS_BEGINDOWNLOADDATA, L"") == E_ABORT ? E_ABORT : S_OK;
    };
    EXPECT_FALSE(dlg->URLDownload(L"http://x/a", dir.wpath() + L"/a", nullptr));
    EXPECT_EQ(downloads.m_calls, 1);
    EXPECT_EQ(platform.m_sleptMs, 0u);
    EXPECT_TRUE(view.Boxes().empty());
}

TEST_F(StateMachine, FailedServerListShowsTwoBoxesAndRemovesTheClientList) {
    dir.WriteFile("packclit.lit", "x");
    downloads.m_default = INET_E_CANNOT_CONNECT;
    auto dlg = Make({L"QuonLauncher.exe", L"QA", L"FromUpdater"});
    dlg->SetState(STATE_GET_FILE_LIST);
    dlg->ProcessState();
    EXPECT_EQ(dlg->GetState(), STATE_QUIT);
    ASSERT_EQ(view.Boxes().size(), 2u);
    EXPECT_EQ(view.Boxes()[1], GetLauncherMessage(5));
    EXPECT_FALSE(dir.Exists("packclit.lit"));
    EXPECT_TRUE(dir.Exists("Temp"));
    const std::wstring log = Log();
    EXPECT_NE(log.find(L"Function :[CGameLauncherDlg::Ls_UpdateFileList] Message :[Failed to connect the server.\r\n"
                       L"ErrorCode : L_6]"),
              std::wstring::npos);
}

TEST_F(StateMachine, ReadyEnablesButtonsIdleClearsTempRepairStartsOver) {
    auto dlg = Make({L"QuonLauncher.exe", L"QA", L"FromUpdater"});
    dlg->SetState(STATE_READY);
    dlg->ProcessState();
    EXPECT_EQ(dlg->GetState(), STATE_IDLE);
    EXPECT_TRUE(view.ButtonsEnabled());
    dir.WriteFile("Temp/left.zip", "x");
    dlg->ProcessState();
    EXPECT_FALSE(dir.Exists("Temp"));
    EXPECT_EQ(dlg->GetState(), STATE_IDLE);

    dir.WriteFile("packclit.lit", "x");
    dlg->OnBnClickedButtonRepair();
    EXPECT_EQ(dlg->GetState(), STATE_GET_FILE_LIST);
    EXPECT_FALSE(view.ButtonsEnabled());
    EXPECT_FALSE(dir.Exists("packclit.lit"));
    EXPECT_EQ(dlg->GetTotalBar(), CGameLauncherDlg::kTotalBarEmpty);
    // Disabled buttons do nothing.
    dlg->SetState(STATE_IDLE);
    dlg->OnBnClickedButtonRepair();
    EXPECT_EQ(dlg->GetState(), STATE_IDLE);
}

TEST_F(StateMachine, UnknownStatesDoNothingAndQuitEnds) {
    auto dlg = Make();
    for (int32_t s : std::initializer_list<int32_t>{0, 11, -5, STATE_END}) {
        dlg->SetState(s);
        dlg->ProcessState();
        EXPECT_EQ(dlg->GetState(), s);
    }
    dlg->SetState(STATE_QUIT);
    dlg->ProcessState();
    EXPECT_EQ(dlg->GetState(), STATE_END);
}

TEST_F(StateMachine, StartupRules) {
    {
        platform.m_lockFree = false;
        CGameLauncherDlg dlg(platform, view, {L"x", L"QA"});
        EXPECT_EQ(dlg.GetStartupResult(), CGameLauncherDlg::StartupResult::kAnotherInstance);
        EXPECT_FALSE(dlg.OnInitDialog());
        platform.m_lockFree = true;
    }
    EXPECT_TRUE(view.Boxes().empty());
    {
        platform.m_clientRunning = true;
        CGameLauncherDlg dlg(platform, view, {L"x"});
        EXPECT_FALSE(dlg.OnInitDialog());
        EXPECT_EQ(view.Boxes().back(), GetLauncherMessage(16));
        EXPECT_EQ(view.m_closeRequests, 1);
        EXPECT_FALSE(dlg.IsWorkerRunning());
        EXPECT_FALSE(dir.Exists("log"));  // the log is not touched
        platform.m_clientRunning = false;
    }
}

TEST_F(StateMachine, WorkerRunsToTheEndAndAsksTheWindowToClose) {
    downloads.m_default = INET_E_CANNOT_CONNECT;
    platform.m_desktop = dir.wpath() + L"/Desktop";
    dir.WriteFile("Desktop/Quon.desktop", "[Desktop Entry]\n");
    auto dlg = Make({L"QuonLauncher.exe", L"StageEU", L"FromUpdater"});
    ASSERT_TRUE(dlg->OnInitDialog());
    for (int i = 0; i < 2000 && view.m_closeRequests == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(view.m_closeRequests, 1);
    EXPECT_EQ(dlg->GetState(), STATE_END);
    dlg->OnDestroy();
    EXPECT_FALSE(dlg->IsWorkerRunning());
    ASSERT_EQ(platform.Shortcuts().size(), 1u);  // only the existing entry
    EXPECT_EQ(platform.Shortcuts()[0], dir.wpath() + L"/Desktop/Quon.desktop -> " + dir.wpath() + L"/QuonLauncher.exe");
}

TEST_F(StateMachine, ClosingDuringRetriesStopsTheWorkerPromptly) {
    downloads.m_default = INET_E_CANNOT_CONNECT;
    platform.m_realSleep = true;
    auto dlg = Make({L"QuonLauncher.exe", L"QA", L"FromUpdater"});
    ASSERT_TRUE(dlg->OnInitDialog());
    while (downloads.m_calls < 2) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    dlg->OnBnClickedButtonClose();
    EXPECT_FALSE(dlg->IsWorkerRunning());
    EXPECT_TRUE(view.Boxes().empty());
    EXPECT_LT(downloads.m_calls, 11);
}
