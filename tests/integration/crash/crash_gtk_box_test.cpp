// The real Yes/No box on an X display (Xvfb), answered with the keyboard.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "integration/crash/crash_fixture.h"

namespace {

// Output of a short command on the given display.
std::string Capture(const std::vector<std::string>& args, const std::string& display) {
    int out[2];
    if (pipe(out) != 0) return "";
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        setenv("DISPLAY", display.c_str(), 1);
        std::vector<char*> argv;
        for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    std::string text;
    char buffer[256];
    ssize_t n;
    while ((n = read(out[0], buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
    close(out[0]);
    waitpid(pid, nullptr, 0);
    return text;
}

class CrashGtkBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        m_xvfb = fork();
        if (m_xvfb == 0) {
            close(ready[0]);
            const std::string fd = std::to_string(ready[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "800x600x24", "-nolisten", "tcp",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        close(ready[1]);
        // The number and its line end come in separate writes.
        std::string number;
        char c;
        while (read(ready[0], &c, 1) == 1 && c != '\n') number += c;
        close(ready[0]);
        ASSERT_FALSE(number.empty()) << "Xvfb did not start";
        m_display = ":" + number;
    }
    void TearDown() override {
        if (m_xvfb > 0) {
            kill(m_xvfb, SIGTERM);
            waitpid(m_xvfb, nullptr, 0);
        }
    }

    // Crashes with the box on the display, waits for it and types `key`.
    int CrashAndAnswer(const std::string& key, std::string& windowName) {
        const pid_t pid = StartCrash(folder.path(), {.mode = "null",
                                                     // GTK and its libraries are not instrumented: their
                                                     // leaks and races in the helper are not ours to report.
                                                     .env = {{"DISPLAY", m_display},
                                                             {"ASAN_OPTIONS", "detect_leaks=0"},
                                                             {"TSAN_OPTIONS", "report_bugs=0"}},
                                                     .newSession = true});
        std::string window;
        for (int i = 0; i < 200 && window.empty(); ++i) {
            window = Capture({"xdotool", "search", "--onlyvisible", "--name", "^Notice$"}, m_display);
            if (window.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        if (!window.empty()) {
            window = window.substr(0, window.find('\n'));
            windowName = Capture({"xdotool", "getwindowname", window}, m_display);
            // Without a window manager the keyboard follows the pointer.
            Capture({"xdotool", "mousemove", "--window", window, "20", "20"}, m_display);
            Capture({"xdotool", "key", key}, m_display);
        }
        return WaitCrash(pid, 30000);
    }

    TempDir folder;
    pid_t m_xvfb = -1;
    std::string m_display;
};

TEST_F(CrashGtkBoxTest, YesInTheBoxWritesTheDump) {
    std::string name;
    const int status = CrashAndAnswer("alt+y", name);
    EXPECT_EQ(name, "Notice\n");
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(ListDumps(folder.path()).size(), 1u);
}

TEST_F(CrashGtkBoxTest, NoInTheBoxWritesNothing) {
    std::string name;
    const int status = CrashAndAnswer("alt+n", name);
    EXPECT_EQ(name, "Notice\n");
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_EQ(WTERMSIG(status), SIGSEGV);
    EXPECT_TRUE(ListDumps(folder.path()).empty());
}

}  // namespace
