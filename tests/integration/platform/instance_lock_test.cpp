#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <string>

#include "util/text_util.h"
#include "integration/platform/platform_test_util.h"
#include "os/process.h"
#include "support/temp_dir.h"

using platform_test::ScopedEnv;
using platform_test::WaitUntil;

namespace {

const std::wstring kName = L"QUON Launcher";

// A child process that takes the lock and keeps it until it is killed.
class LockHolder {
public:
    LockHolder() {
        int ready[2];
        if (pipe(ready) != 0) return;
        m_pid = fork();
        if (m_pid == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlives a crashed test
            auto lock = InstanceLock::TryAcquire(kName);
            const char answer = lock ? 'y' : 'n';
            if (write(ready[1], &answer, 1) == 1) pause();
            _exit(1);
        }
        close(ready[1]);
        if (read(ready[0], &m_answer, 1) != 1) m_answer = '?';
        close(ready[0]);
    }
    ~LockHolder() { Kill(); }
    bool Holds() const { return m_answer == 'y'; }
    void Kill() {
        if (m_pid <= 0) return;
        kill(m_pid, SIGKILL);  // no clean-up of any kind: the OS must release it
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
    char m_answer = '?';
};

}  // namespace

TEST(InstanceLock, HeldByAnotherProcessUntilItDies) {
    TempDir dir;
    ScopedEnv runtime("QUON_RUNTIME_DIR", dir.path());
    EXPECT_FALSE(IsInstanceLockHeld(kName));

    LockHolder holder;
    ASSERT_TRUE(holder.Holds());
    EXPECT_TRUE(IsInstanceLockHeld(kName));
    EXPECT_EQ(InstanceLock::TryAcquire(kName), nullptr);
    // Probing must not disturb the holder or take the lock itself.
    EXPECT_TRUE(IsInstanceLockHeld(kName));

    holder.Kill();
    EXPECT_FALSE(IsInstanceLockHeld(kName));
    auto mine = InstanceLock::TryAcquire(kName);
    ASSERT_NE(mine, nullptr);
    EXPECT_TRUE(IsInstanceLockHeld(kName));
    EXPECT_EQ(InstanceLock::TryAcquire(kName), nullptr) << "a second launcher in the same process";
    mine.reset();
    // A probe never blocks the next acquire.
    for (int i = 0; i < 200; ++i) {
        ASSERT_FALSE(IsInstanceLockHeld(kName));
        auto lock = InstanceLock::TryAcquire(kName);
        ASSERT_NE(lock, nullptr) << "round " << i;
    }
}

TEST(InstanceLock, StartedProgramDoesNotKeepTheLock) {
    TempDir dir;
    ScopedEnv runtime("QUON_RUNTIME_DIR", dir.Join(""));
    ScopedEnv linger("QUON_FAKE_CLIENT_LINGER_MS", "3000");
    const std::string client = "VevLock" + std::to_string(getpid()) + ".exe";
    platform_test::CopyTool("Vevida2.0.exe", dir.Join(client));

    auto lock = InstanceLock::TryAcquire(kName);
    ASSERT_NE(lock, nullptr);
    ASSERT_EQ(StartProgram(text::FromUtf8(client), L"x", dir.wpath()), 33);
    ASSERT_TRUE(WaitUntil([&] { return dir.Exists("client-ran.txt"); }));
    lock.reset();
    ASSERT_TRUE(IsProgramRunning(text::FromUtf8(client), L""));
    EXPECT_FALSE(IsInstanceLockHeld(kName));
    EXPECT_NE(InstanceLock::TryAcquire(kName), nullptr);
}

TEST(InstanceLock, LinkInPlaceOfTheLockFileIsNotFollowed) {
    TempDir dir;
    ScopedEnv runtime("QUON_RUNTIME_DIR", dir.path());
    ASSERT_EQ(symlink(dir.Join("elsewhere").c_str(), dir.Join("QUON Launcher.lock").c_str()), 0);
    // The launcher still runs (unguarded) rather than locking someone else's file.
    EXPECT_NE(InstanceLock::TryAcquire(kName), nullptr);
    EXPECT_FALSE(dir.Exists("elsewhere"));
    EXPECT_FALSE(IsInstanceLockHeld(kName));
}

TEST(InstanceLock, PrivateFolderBelowTmpWithoutRuntimeFolder) {
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
