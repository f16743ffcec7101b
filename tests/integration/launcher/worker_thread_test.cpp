// The worker and the window's thread in one process, against a loopback
// patch server: an idle worker sleeps until something happens, and an
// exception of the standard library ends the run with a report instead of
// the process.
#include <gtest/gtest.h>

#include <chrono>
#include <new>
#include <stdexcept>
#include <thread>

#include "util/text_util.h"
#include "launcher/game_launcher_dlg.h"
#include "launcher/launcher_messages.h"
#include "support/patch_set.h"
#include "support/recording_view.h"
#include "support/temp_dir.h"
#include "support/test_http_server.h"
#include "support/test_platform.h"
#include "support/wait_until.h"

namespace {
using Clock = std::chrono::steady_clock;

// Counts the worker's short pauses between passes.
class CountingPlatform : public TestPlatform {
public:
    using TestPlatform::TestPlatform;
    void SleepMs(unsigned ms) override {
        if (ms < 10) ++m_shortPauses;
        TestPlatform::SleepMs(ms);
    }
    std::atomic<int> m_shortPauses{0};
};

}  // namespace

class WorkerThread : public ::testing::Test {
protected:
    WorkerThread() {
        platform.Config().patchHost = "127.0.0.1:" + std::to_string(server.port());
        CGameLauncherDlg::s_nUnzipGiveUps = 0;
        std::filesystem::create_directories(root.Join("install"));
    }
    ~WorkerThread() override {
        if (dlg) dlg->OnDestroy();
    }
    void Start() {
        dlg = std::make_unique<CGameLauncherDlg>(platform, view, std::vector<std::wstring>{exe, L"QA", L"FromUpdater"});
        ASSERT_TRUE(dlg->OnInitDialog());
    }
    bool Ready() { return dlg->GetState() == STATE_IDLE && view.ButtonsEnabled(); }
    std::string Install(const std::string& relative) const { return root.Join("install/" + relative); }

    TempDir root;
    TestHttpServer server{root.Join("server")};
    std::wstring exe = root.wpath() + L"/install/QuonLauncher.exe";
    CountingPlatform platform{exe};
    RecordingView view;
    std::unique_ptr<CGameLauncherDlg> dlg;
};

TEST_F(WorkerThread, ReadyWorkerSleepsUntilAClickAndTakesItUpAtOnce) {
    WritePatchSet(root.Join("server/patch_qa"), {{L"a.dat", {"a"}}});
    Start();
    ASSERT_TRUE(WaitUntil([&] { return Ready(); }, 20000));
    platform.m_shortPauses = 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_LE(platform.m_shortPauses, 2);  // a 1 ms loop makes hundreds

    // A Temp folder made behind its back still goes, at the idle sweep.
    std::filesystem::create_directories(Install("Temp/x"));
    EXPECT_TRUE(WaitUntil([&] { return !std::filesystem::exists(Install("Temp")); }, 3000));

    // Repair wakes the worker: the list is fetched again long before a sweep.
    const int fetched = server.RequestCount("/patch_qa/packserv.txt");
    const auto clicked = Clock::now();
    dlg->OnBnClickedButtonRepair();
    ASSERT_TRUE(WaitUntil([&] { return server.RequestCount("/patch_qa/packserv.txt") > fetched; }));
    EXPECT_LT(Clock::now() - clicked, std::chrono::milliseconds(500));
    ASSERT_TRUE(WaitUntil([&] { return Ready(); }, 20000));

    // Start wakes it too: the client starts, the worker ends and asks to close.
    dlg->OnBnClickedButtonStart();
    EXPECT_TRUE(WaitUntil([&] { return view.m_closeRequests > 0; }, 500));
    EXPECT_EQ(dlg->GetState(), STATE_END);
    EXPECT_EQ(view.m_offThreadPaints, 0);
}

TEST_F(WorkerThread, StandardLibraryExceptionIsReportedAsAnUnknownErrorAndEnds) {
    platform.m_scripted = true;
    for (int kind = 0; kind < 2; ++kind) {
        platform.m_scriptedDownloader.m_duringDownload = [kind](IBindStatusCallback*) -> HRESULT {
            if (kind == 0) throw std::bad_alloc();
            throw std::length_error("vector");
        };
        RecordingView closingView;
        CGameLauncherDlg run(platform, closingView, {exe, L"QA", L"FromUpdater"});
        ASSERT_TRUE(run.OnInitDialog());
        ASSERT_TRUE(WaitUntil([&] { return closingView.m_closeRequests > 0; }));
        EXPECT_EQ(run.GetState(), STATE_END);
        ASSERT_EQ(closingView.Boxes().size(), 1u);
        EXPECT_EQ(closingView.Boxes()[0], GetLauncherMessage(7));
        run.OnDestroy();
        EXPECT_FALSE(run.IsWorkerRunning());
        const std::wstring log = text::DecodeUtf16LE(ReadWholeFile(Install("log/LauncherLog.txt")).substr(2));
        EXPECT_NE(log.find(L"Function :[CGameLauncherDlg::LauncherThreadProc] Message :[Unknown error.\r\n"
                           L"ErrorCode : L_8]"),
                  std::wstring::npos)
            << text::ToUtf8(log);
    }
}
