// The instance lock and the client probe against real processes.
#include "support/test_common.h"
#include "support/scoped_env.h"
#include <sys/prctl.h>

#include "os/process.h"
#include "support/test_desktop.h"

namespace {
const std::wstring kName = L"QUON Launcher";

// A copy of the stand-in client under a name no other test uses, so that
// tests running side by side cannot see each other's clients.
std::string CopyClient(const TempDir& dir, const std::string& prefix) {
    const std::string name = prefix + std::to_string(getpid()) + ".exe";
    std::filesystem::copy_file(ToolBinary("Vevida2.0.exe"), dir.Join(name));
    return name;
}
}  // namespace

TEST(InstanceLock, HeldByAnotherProcessUntilItDies) {
    TempDir dir;
    ScopedEnv runtime("QUON_RUNTIME_DIR", dir.path());
    EXPECT_FALSE(IsInstanceLockHeld(kName));
    ChildProcess holder([] {
        prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlives a crashed test
        auto lock = InstanceLock::TryAcquire(kName);
        std::printf(lock ? "held" : "refused");
        std::fflush(stdout);
        pause();
        return 1;
    });
    ASSERT_TRUE(holder.WaitForOutput("held"));
    EXPECT_TRUE(IsInstanceLockHeld(kName));
    EXPECT_EQ(InstanceLock::TryAcquire(kName), nullptr);
    // Probing must not disturb the holder or take the lock itself.
    EXPECT_TRUE(IsInstanceLockHeld(kName));
    holder.Kill(SIGKILL);  // no clean-up of any kind: the OS must release it
    holder.Wait();
    EXPECT_FALSE(IsInstanceLockHeld(kName));
    auto mine = InstanceLock::TryAcquire(kName);
    ASSERT_NE(mine, nullptr);
    EXPECT_TRUE(IsInstanceLockHeld(kName));
    EXPECT_EQ(InstanceLock::TryAcquire(kName), nullptr) << "a second launcher in the same process";
    // A program started while the lock is held does not keep it.
    ScopedEnv linger("QUON_FAKE_CLIENT_LINGER_MS", "3000");
    const std::string client = CopyClient(dir, "VevLock");
    ASSERT_EQ(StartProgram(text::FromUtf8(client), L"x", dir.wpath()), 33);
    ASSERT_TRUE(WaitUntil([&] { return dir.Exists("client-ran.txt"); }));
    mine.reset();
    ASSERT_TRUE(IsProgramRunning(text::FromUtf8(client), L""));
    // A probe never blocks the next acquire.
    for (int i = 0; i < 200; ++i) {
        ASSERT_FALSE(IsInstanceLockHeld(kName));
        ASSERT_NE(InstanceLock::TryAcquire(kName), nullptr) << "round " << i;
    }
}

TEST(InstanceLock, LinkInPlaceOfTheLockFileIsNotFollowedAndTheDefaultFolderIsPrivate) {
    TempDir dir;
    {
        ScopedEnv runtime("QUON_RUNTIME_DIR", dir.path());
        ASSERT_EQ(symlink(dir.Join("elsewhere").c_str(), dir.Join("QUON Launcher.lock").c_str()), 0);
        // The launcher still runs (unguarded) rather than locking someone else's file.
        EXPECT_NE(InstanceLock::TryAcquire(kName), nullptr);
        EXPECT_FALSE(dir.Exists("elsewhere"));
        EXPECT_FALSE(IsInstanceLockHeld(kName));
    }
    // Without a runtime folder: a private folder below /tmp.
    ScopedEnv quon("QUON_RUNTIME_DIR", std::nullopt);
    ScopedEnv xdg("XDG_RUNTIME_DIR", std::nullopt);
    const std::wstring name = L"QUON platform test " + std::to_wstring(getpid());
    const std::string folder = "/tmp/quon-" + std::to_string(geteuid());
    auto lock = InstanceLock::TryAcquire(name);
    ASSERT_NE(lock, nullptr);
    EXPECT_TRUE(IsInstanceLockHeld(name));
    struct stat st {};
    ASSERT_EQ(lstat(folder.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(st.st_uid, geteuid());
    lock.reset();
    unlink((folder + "/" + text::ToUtf8(name) + ".lock").c_str());
}

TEST(ProgramProbe, SeesTheClientByNameWhileItRunsButNotOnceEndedOrUnreaped) {
    TempDir dir;
    // A display that does not answer: no window is found, names still are.
    ScopedEnv display("DISPLAY", ":4711");
    ScopedEnv linger("QUON_FAKE_CLIENT_LINGER_MS", "700");
    std::filesystem::copy_file(ToolBinary("Vevida2.0.exe"), dir.Join("Vevida2.0.exe"));
    // The real client's name, and one longer than the kernel's 15-character comm.
    for (const std::string& file : {std::string("Vevida2.0.exe"), CopyClient(dir, "quon-client-with-a-long-name-")}) {
        const std::wstring name = text::FromUtf8(file);
        ASSERT_EQ(StartProgram(name, L"NOT_USE_ARG1", dir.wpath()), 33);
        EXPECT_TRUE(WaitUntil([&] { return IsProgramRunning(name, L"QuonClientWindow"); })) << file;
        EXPECT_FALSE(IsProgramRunning(L"VevOther" + std::to_wstring(getpid()) + L".exe", L"QuonClientWindow"));
        EXPECT_TRUE(WaitUntil([&] { return !IsProgramRunning(name, L"QuonClientWindow"); })) << file;
    }
    EXPECT_FALSE(IsProgramRunning(L"", L""));

    // Ended but not reaped (a zombie) is not running.
    const std::string zombie = CopyClient(dir, "VevZomb");
    ScopedEnv noLinger("QUON_FAKE_CLIENT_LINGER_MS", std::nullopt);
    ChildProcess client({dir.Join(zombie)}, dir.path());
    auto State = [&] {
        std::string stat = ReadWholeFile("/proc/" + std::to_string(client.pid()) + "/stat");
        const size_t paren = stat.rfind(')');
        return paren == std::string::npos || paren + 2 >= stat.size() ? '?' : stat[paren + 2];
    };
    ASSERT_TRUE(WaitUntil([&] { return State() == 'Z'; }));
    EXPECT_FALSE(IsProgramRunning(text::FromUtf8(zombie), L""));
    EXPECT_EQ(client.Wait(10000), 0);
}

TEST(ProgramProbe, WindowOfTheClientClassOnTheDisplay) {
    TempDir dir;
    const std::wstring windowClass = L"QuonClientWindowT" + std::to_wstring(getpid());
    ScopedEnv linger("QUON_FAKE_CLIENT_LINGER_MS", "2000");
    ScopedEnv window("QUON_FAKE_CLIENT_WINDOW", text::ToUtf8(windowClass));
    // Now and then, in full parallel runs, the stand-in could not open the
    // fresh server's display at all ("cannot open display"); that says
    // nothing about the probe, so such a start is tried again on a new server.
    bool seen = false;
    for (int attempt = 0; attempt < 3 && !seen; ++attempt) {
        TestDesktop server(320, 240, false);
        if (server.display().empty()) GTEST_SKIP() << "Xvfb is not available";
        ScopedEnv display("DISPLAY", server.display());
        EXPECT_FALSE(IsProgramRunning(L"VevNone.exe", windowClass));
        ASSERT_EQ(StartProgram(text::FromUtf8(CopyClient(dir, "VevWin" + std::to_string(attempt))), L"x", dir.wpath()), 33);
        seen = WaitUntil([&] { return IsProgramRunning(L"VevNone.exe", windowClass); }, 5000);
        if (!seen) continue;
        EXPECT_FALSE(IsProgramRunning(L"VevNone.exe", L"SomeOtherClass"));
        EXPECT_TRUE(WaitUntil([&] { return !IsProgramRunning(L"VevNone.exe", windowClass); }, 15000));
    }
    EXPECT_TRUE(seen) << "the client's window was never found";
}
