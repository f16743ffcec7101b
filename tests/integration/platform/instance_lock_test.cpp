// The instance lock and the client probe against real processes.
#include "support/test_common.h"
#include "support/scoped_env.h"

#include "os/process.h"

namespace {
const std::wstring kName = L"QUON Launcher";
}  // namespace

TEST(InstanceLock, HeldByAnotherProcessUntilItDies) {
    TempDir dir;
    ScopedEnv runtime("QUON_RUNTIME_DIR", dir.path());
    EXPECT_FALSE(IsInstanceLockHeld(kName));
    ChildProcess holder([] {
        auto lock = InstanceLock::TryAcquire(kName);
        std::printf(lock ? "held" : "refused");
        std::fflush(stdout);
        std::this_thread::sleep_for(std::chrono::minutes(10));
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

    // Ended but not reaped (a zombie; on Windows a handle still open) is not running.
    const std::string zombie = CopyClient(dir, "VevZomb");
    ScopedEnv noLinger("QUON_FAKE_CLIENT_LINGER_MS", std::nullopt);
    ChildProcess client({dir.Join(zombie)}, dir.path());
    ASSERT_TRUE(WaitUntil([&] { return client.Ended(); }));
    EXPECT_FALSE(IsProgramRunning(text::FromUtf8(zombie), L""));
    EXPECT_EQ(client.Wait(10000), 0);
}
