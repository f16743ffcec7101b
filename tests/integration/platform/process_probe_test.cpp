#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "util/text_util.h"
#include "integration/platform/platform_test_util.h"
#include "os/process.h"
#include "support/temp_dir.h"
#include "support/test_desktop.h"

using platform_test::ScopedEnv;
using platform_test::WaitUntil;

namespace {

// A copy of the stand-in client under a name no other test uses, so that
// tests running side by side cannot see each other's clients.
std::string CopyClient(const TempDir& dir, const std::string& prefix) {
    const std::string name = prefix + std::to_string(getpid()) + ".exe";
    platform_test::CopyTool("Vevida2.0.exe", dir.Join(name));
    return name;
}

char ProcessState(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t paren = stat.rfind(')');
    return paren == std::string::npos || paren + 2 >= stat.size() ? '?' : stat[paren + 2];
}

}  // namespace

TEST(ProgramProbe, SeesTheClientByNameWhileItRunsAndNotAfter) {
    TempDir dir;
    // A display that does not answer: no window is found, names still are.
    ScopedEnv display("DISPLAY", ":4711");
    ScopedEnv linger("QUON_FAKE_CLIENT_LINGER_MS", "700");
    platform_test::CopyTool("Vevida2.0.exe", dir.Join("Vevida2.0.exe"));
    // The real client's name, and one longer than the kernel's 15-character comm.
    for (const std::string& file :
         {std::string("Vevida2.0.exe"), CopyClient(dir, "quon-client-with-a-long-name-")}) {
        const std::wstring name = text::FromUtf8(file);
        ASSERT_EQ(StartProgram(name, L"NOT_USE_ARG1", dir.wpath()), 33);
        EXPECT_TRUE(WaitUntil([&] { return IsProgramRunning(name, L"QuonClientWindow"); })) << file;
        EXPECT_FALSE(
            IsProgramRunning(L"VevOther" + std::to_wstring(getpid()) + L".exe", L"QuonClientWindow"));
        EXPECT_TRUE(WaitUntil([&] { return !IsProgramRunning(name, L"QuonClientWindow"); })) << file;
    }
    EXPECT_FALSE(IsProgramRunning(L"", L""));
}

TEST(ProgramProbe, EndedButUnreapedProcessIsNotRunning) {
    TempDir dir;
    ScopedEnv linger("QUON_FAKE_CLIENT_LINGER_MS", std::nullopt);
    const std::string name = CopyClient(dir, "VevZomb");
    ChildProcess client({dir.Join(name)}, dir.path());
    ASSERT_TRUE(WaitUntil([&] { return ProcessState(client.pid()) == 'Z'; }));
    EXPECT_FALSE(IsProgramRunning(text::FromUtf8(name), L""));
    EXPECT_EQ(client.Wait(10000), 0);
}

TEST(ProgramProbe, WindowOfTheClientClassOnTheDisplay) {
    TempDir dir;
    const std::string windowClass = "QuonClientWindowT" + std::to_string(getpid());
    const std::wstring wideClass = text::FromUtf8(windowClass);
    ScopedEnv linger("QUON_FAKE_CLIENT_LINGER_MS", "2000");
    ScopedEnv window("QUON_FAKE_CLIENT_WINDOW", windowClass);
    // Now and then, in full parallel runs, the stand-in could not open the
    // fresh server's display at all ("cannot open display"); that says
    // nothing about the probe, so such a start is tried again on a new server.
    bool seen = false;
    for (int attempt = 0; attempt < 3 && !seen; ++attempt) {
        TestDesktop server(320, 240, false);
        if (server.display().empty()) GTEST_SKIP() << "Xvfb is not available";
        ScopedEnv display("DISPLAY", server.display());
        EXPECT_FALSE(IsProgramRunning(L"VevNone.exe", wideClass));
        const std::string client = CopyClient(dir, "VevWin" + std::to_string(attempt));
        ASSERT_EQ(StartProgram(text::FromUtf8(client), L"x", dir.wpath()), 33);
        seen = WaitUntil([&] { return IsProgramRunning(L"VevNone.exe", wideClass); }, 5000);
        if (!seen) continue;
        EXPECT_FALSE(IsProgramRunning(L"VevNone.exe", L"SomeOtherClass"));
        EXPECT_TRUE(WaitUntil([&] { return !IsProgramRunning(L"VevNone.exe", wideClass); }, 15000));
    }
    EXPECT_TRUE(seen) << "the client's window was never found";
}
