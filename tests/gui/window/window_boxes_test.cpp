// Message boxes raised by the worker: modal, captioned with the executable's
// name, OK only; the worker waits for the answer, and closing answers them.
#include <signal.h>

#include <thread>

#include "window_fixture.h"

namespace {
// The launcher log's text (UTF-16LE), as UTF-8 for ASCII content.
std::string LogText(const TempDir& root) {
    if (!root.Exists("install/log/LauncherLog.txt")) return "";
    const std::string raw = root.ReadFile("install/log/LauncherLog.txt");
    std::string out;
    for (size_t i = 2; i + 1 < raw.size(); i += 2) out += raw[i];
    return out;
}
}  // namespace

TEST_F(WindowTest, WorkerBoxBlocksTheWorkerUntilOk) {
    // No patch list on the server: the download fails, then the worker
    // reports that it cannot connect; two boxes, one after the other.
    Start();
    WaitForWindow();
    const pid_t pid = launcher->pid();
    const std::string first = session.Dialog(pid, {"wait:30", "dump"});
    EXPECT_NE(first.find("\tQuonLauncher.exe\t"), std::string::npos) << first;
    EXPECT_NE(first.find("\tlabel\tFailed to download the data.\\nPlease check the internet connection."),
              std::string::npos)
        << first;
    EXPECT_NE(first.find("\tpush button\tOK\t"), std::string::npos) << first;
    EXPECT_EQ(first.find("\tpush button\tCancel\t"), std::string::npos) << first;
    // The worker waits: nothing logged, no second box, still running.
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    EXPECT_EQ(launcher->Wait(0), -1);
    EXPECT_EQ(LogText(root).find("L_16"), std::string::npos);
    EXPECT_EQ(session.Dialog(pid, {"wait:1", "dump"}), first);

    EXPECT_EQ(session.Dialog(pid, {"wait:10", "click:OK"}), "");
    EXPECT_TRUE(WaitUntil([&] {
        return session.Dialog(pid, {"wait:1", "dump"}).find("L_6") != std::string::npos;
    }));
    EXPECT_NE(LogText(root).find("L_16"), std::string::npos);
    EXPECT_EQ(LogText(root).find("L_6"), std::string::npos);
    EXPECT_EQ(session.Dialog(pid, {"wait:10", "click:OK"}), "");
    EXPECT_EQ(launcher->Wait(15000), 2) << launcher->Output();
    EXPECT_NE(LogText(root).find("Function :[CGameLauncherDlg::Ls_UpdateFileList]"), std::string::npos);
}

TEST_F(WindowTest, ClosingTheWindowAnswersAWaitingBox) {
    Start();
    WaitForWindow();
    ASSERT_NE(session.Dialog(launcher->pid(), {"wait:30", "dump"}).find("L_16"), std::string::npos);
    // The session ends: the window closes, the waiting worker is released and
    // joined, and the launcher ends by itself, not killed.
    launcher->Kill(SIGTERM);
    EXPECT_EQ(launcher->Wait(10000), 2) << launcher->Output();
}
