#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "common/text_util.h"
#include "integration/platform/platform_test_util.h"
#include "platform/process.h"
#include "support/temp_dir.h"

using platform_test::ScopedEnv;
using platform_test::WaitUntil;

namespace {

// A copy of the stand-in client under a name no other test uses, so that
// tests running side by side cannot see each other's clients.
std::string CopyClient(const TempDir& dir, const std::string& prefix) {
    const std::string name = prefix + std::to_string(getpid()) + ".exe";
    platform_test::CopyExecutable(platform_test::ToolPath("Vevida2.0.exe"), dir.Join(name));
    return name;
}

char ProcessState(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t paren = stat.rfind(')');
    return paren == std::string::npos || paren + 2 >= stat.size() ? '?' : stat[paren + 2];
}

}  // namespace

TEST(ProgramProbe, SeesTheClientWhileItRunsAndNotAfter) {
    TempDir dir;
    ScopedEnv display("DISPLAY", std::nullopt);
    ScopedEnv linger("QUON_FAKE_CLIENT_LINGER_MS", "700");
    const std::wstring name = text::FromUtf8(CopyClient(dir, "VevProbe"));
    ASSERT_EQ(StartProgram(name, L"NOT_USE_ARG1", dir.wpath()), 33);
    EXPECT_TRUE(WaitUntil([&] { return IsProgramRunning(name, L"QuonClientWindow"); }));
    EXPECT_FALSE(IsProgramRunning(L"VevOther" + std::to_wstring(getpid()) + L".exe", L"QuonClientWindow"));
    EXPECT_FALSE(IsProgramRunning(L"", L""));
    EXPECT_TRUE(WaitUntil([&] { return !IsProgramRunning(name, L"QuonClientWindow"); }));
}

TEST(ProgramProbe, FindsTheRealClientName) {
    TempDir dir;
    ScopedEnv linger("QUON_FAKE_CLIENT_LINGER_MS", "700");
    platform_test::CopyExecutable(platform_test::ToolPath("Vevida2.0.exe"), dir.Join("Vevida2.0.exe"));
    ASSERT_EQ(StartProgram(L"Vevida2.0.exe", L"QA", dir.wpath()), 33);
    EXPECT_TRUE(WaitUntil([&] { return IsProgramRunning(L"Vevida2.0.exe", L""); }));
    EXPECT_TRUE(WaitUntil([&] { return dir.Exists("client-ran.txt"); }));
}

TEST(ProgramProbe, NamesLongerThanTheKernelsCommAreFoundByPath) {
    TempDir dir;
    ScopedEnv linger("QUON_FAKE_CLIENT_LINGER_MS", "700");
    const std::wstring name = text::FromUtf8(CopyClient(dir, "quon-client-with-a-long-name-"));
    ASSERT_EQ(StartProgram(name, L"x", dir.wpath()), 33);
    EXPECT_TRUE(WaitUntil([&] { return IsProgramRunning(name, L""); }));
    EXPECT_TRUE(WaitUntil([&] { return dir.Exists("client-ran.txt"); }));
}

TEST(ProgramProbe, EndedButUnreapedProcessIsNotRunning) {
    TempDir dir;
    ScopedEnv linger("QUON_FAKE_CLIENT_LINGER_MS", std::nullopt);
    const std::string name = CopyClient(dir, "VevZomb");
    const pid_t pid = platform_test::Spawn(dir.path(), {dir.Join(name)});
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(WaitUntil([&] { return ProcessState(pid) == 'Z'; }));
    EXPECT_FALSE(IsProgramRunning(text::FromUtf8(name), L""));
    EXPECT_EQ(platform_test::WaitForExit(pid), 0);
}

TEST(ProgramProbe, UnreachableDisplayMeansNoWindow) {
    ScopedEnv display("DISPLAY", ":4711");
    EXPECT_FALSE(IsProgramRunning(L"VevNone.exe", L"QuonClientWindow"));
}

namespace {

// A private X server for one test; skipped where Xvfb is missing.
class Xvfb {
public:
    Xvfb() {
        int fds[2];
        if (pipe(fds) != 0) return;
        m_pid = fork();
        if (m_pid == 0) {
            close(fds[0]);
            const std::string fd = std::to_string(fds[1]);
            freopen("/dev/null", "w", stderr);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0", "320x240x24",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        char buffer[32] = {};
        size_t got = 0;
        ssize_t n;
        while (got < sizeof(buffer) - 1 && (n = read(fds[0], buffer + got, sizeof(buffer) - 1 - got)) > 0) {
            got += static_cast<size_t>(n);
            if (buffer[got - 1] == '\n') break;
        }
        close(fds[0]);
        if (got > 0) m_display = ":" + std::string(buffer, buffer + got - (buffer[got - 1] == '\n' ? 1 : 0));
    }
    ~Xvfb() {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            platform_test::WaitForExit(m_pid);
        }
    }
    const std::string& display() const { return m_display; }

private:
    pid_t m_pid = -1;
    std::string m_display;
};

}  // namespace

TEST(ProgramProbe, WindowOfTheClientClassOnTheDisplay) {
    Xvfb server;
    if (server.display().empty()) GTEST_SKIP() << "Xvfb is not available";
    TempDir dir;
    const std::string windowClass = "QuonClientWindowT" + std::to_string(getpid());
    ScopedEnv display("DISPLAY", server.display());
    ScopedEnv linger("QUON_FAKE_CLIENT_LINGER_MS", "800");
    ScopedEnv window("QUON_FAKE_CLIENT_WINDOW", windowClass);
    EXPECT_FALSE(IsProgramRunning(L"VevNone.exe", text::FromUtf8(windowClass)));
    ASSERT_EQ(StartProgram(text::FromUtf8(CopyClient(dir, "VevWin")), L"x", dir.wpath()), 33);
    EXPECT_TRUE(WaitUntil([&] { return IsProgramRunning(L"VevNone.exe", text::FromUtf8(windowClass)); }));
    EXPECT_FALSE(IsProgramRunning(L"VevNone.exe", L"SomeOtherClass"));
    EXPECT_TRUE(WaitUntil([&] { return !IsProgramRunning(L"VevNone.exe", text::FromUtf8(windowClass)); }));
}
