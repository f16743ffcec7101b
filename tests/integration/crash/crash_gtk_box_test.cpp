// The real Yes/No box on an X display (Xvfb), answered with the keyboard.
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

#include "integration/crash/crash_fixture.h"
#include "support/child_process.h"
#include "support/test_desktop.h"

namespace {

class CrashGtkBoxTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(desktop.display().empty()) << desktop.error(); }

    // xdotool's output on the test's display.
    std::string Xdotool(const std::vector<std::string>& args) {
        std::vector<std::string> argv{"/usr/bin/xdotool"};
        argv.insert(argv.end(), args.begin(), args.end());
        ChildProcess run(argv, scratch.path(), {{"DISPLAY", desktop.display()}});
        run.Wait(10000);
        return run.Output();
    }

    // Crashes in `folder` with the box on the display, waits for it and types `key`.
    int CrashAndAnswer(const TempDir& folder, const std::string& key, std::string& windowName) {
        const pid_t pid = StartCrash(folder.path(), {.mode = "null",
                                                     // GTK and its libraries are not instrumented: their
                                                     // leaks and races in the helper are not ours to report.
                                                     .env = {{"DISPLAY", desktop.display()},
                                                             {"ASAN_OPTIONS", "detect_leaks=0"},
                                                             {"TSAN_OPTIONS", "report_bugs=0"}},
                                                     .newSession = true});
        std::string window;
        for (int i = 0; i < 200 && window.empty(); ++i) {
            window = Xdotool({"search", "--onlyvisible", "--name", "^Notice$"});
            if (window.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        if (!window.empty()) {
            window = window.substr(0, window.find('\n'));
            windowName = Xdotool({"getwindowname", window});
            // Without a window manager the keyboard follows the pointer.
            Xdotool({"mousemove", "--window", window, "20", "20"});
            Xdotool({"key", key});
        }
        return WaitCrash(pid, 30000);
    }

    TempDir scratch;
    TestDesktop desktop{800, 600, false};
};

TEST_F(CrashGtkBoxTest, YesInTheBoxWritesTheDumpAndNoWritesNothing) {
    for (const bool yes : {true, false}) {
        SCOPED_TRACE(yes ? "yes" : "no");
        TempDir folder;
        std::string name;
        const int status = CrashAndAnswer(folder, yes ? "alt+y" : "alt+n", name);
        EXPECT_EQ(name, "Notice\n");
        if (yes) {
            ASSERT_TRUE(WIFEXITED(status)) << status;
            EXPECT_EQ(ListDumps(folder.path()).size(), 1u);
        } else {
            ASSERT_TRUE(WIFSIGNALED(status)) << status;
            EXPECT_EQ(WTERMSIG(status), SIGSEGV);
            EXPECT_TRUE(ListDumps(folder.path()).empty());
        }
    }
}

}  // namespace
