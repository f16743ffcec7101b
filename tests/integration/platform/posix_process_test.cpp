// Processes and the user's shell where only Linux has them: the lock file,
// a client window on an X display, interpreters and execute bits, sessions
// and signals, the XDG folders, desktop entries.
#include "support/test_common.h"
#include "support/scoped_env.h"

#include "os/posix/launcher_icon.h"
#include "os/process.h"
#include "os/user_shell.h"
#include "support/test_desktop.h"

namespace {

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

void WriteExecutable(const TempDir& dir, const std::string& name, const std::string& bytes,
                     mode_t mode = 0755) {
    dir.WriteFile(name, bytes);
    chmod(dir.Join(name).c_str(), mode);
}

const std::wstring kName = L"QUON Launcher";

}  // namespace

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


TEST(StartProgram, FailuresGiveTheShellsCodes) {
    TempDir dir;
    WriteExecutable(dir, "readable.exe", "#!/bin/sh\nexit 0\n", 0644);
    WriteExecutable(dir, "garbage.exe", "this is neither a script nor a program\n");
    WriteExecutable(dir, "no-interpreter.exe", "#!/no/such/shell\n");
    dir.WriteFile("folder/.keep", "");

    EXPECT_EQ(StartProgram(L"no-interpreter.exe", L"x", dir.wpath()), 2);
    EXPECT_EQ(StartProgram(L"Vevida2.0.exe", L"x", dir.wpath() + L"/no-such-folder"), 3);
    EXPECT_EQ(StartProgram(L"Vevida2.0.exe", L"x", dir.wpath() + L"/readable.exe"), 3)
        << "a file is no folder";
    EXPECT_EQ(StartProgram(L"readable.exe/x", L"x", dir.wpath()), 3);
    EXPECT_EQ(StartProgram(L"readable.exe", L"x", dir.wpath()), 5);
    EXPECT_EQ(StartProgram(L"folder", L"x", dir.wpath()), 5);
    EXPECT_EQ(StartProgram(L"garbage.exe", L"x", dir.wpath()), 31);
    // A program being written is busy.
    WriteExecutable(dir, "busy.exe", "#!/bin/sh\nexit 0\n");
    const int writer = open(dir.Join("busy.exe").c_str(), O_WRONLY | O_CLOEXEC);
    EXPECT_EQ(StartProgram(L"busy.exe", L"x", dir.wpath()), 26);
    close(writer);
    // The failed child may still hold its inherited copy for a moment while it exits.
    EXPECT_TRUE(WaitUntil([&] { return StartProgram(L"busy.exe", L"x", dir.wpath()) == 33; }));
}

TEST(StartProgram, ProgramGetsItsOwnSessionAndCleanSignals) {
    TempDir dir;
    WriteExecutable(dir, "report.exe",
                    "#!/bin/sh\n"
                    "cut -d' ' -f6 /proc/$$/stat > session.txt\n"
                    // exec: the shell's own children may see a mask it sets while waiting
                    "exec grep -E '^Sig(Blk|Ign)' /proc/self/status > signals.txt\n");
    sigset_t block, old;
    sigemptyset(&block);
    sigaddset(&block, SIGUSR1);
    ASSERT_EQ(sigprocmask(SIG_BLOCK, &block, &old), 0);
    struct sigaction ignore {
    }, previous{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGUSR2, &ignore, &previous);

    const int result = StartProgram(L"report.exe", L"x", dir.wpath());
    sigaction(SIGUSR2, &previous, nullptr);
    sigprocmask(SIG_SETMASK, &old, nullptr);
    ASSERT_EQ(result, 33);
    ASSERT_TRUE(WaitUntil([&] { return dir.ReadFile("signals.txt").find("SigIgn") != std::string::npos; }));

    // A session of its own: our terminal's hang-up and job control do not reach it.
    EXPECT_NE(dir.ReadFile("session.txt"), std::to_string(getsid(0)) + "\n");
    EXPECT_FALSE(dir.ReadFile("session.txt").empty());
    const std::string signals = dir.ReadFile("signals.txt");
    EXPECT_NE(signals.find("SigBlk:\t0000000000000000"), std::string::npos) << signals;
    const size_t ign = signals.find("SigIgn:\t");
    ASSERT_NE(ign, std::string::npos);
    const unsigned long long ignored = std::stoull(signals.substr(ign + 8, 16), nullptr, 16);
    EXPECT_EQ(ignored & (1ull << (SIGUSR2 - 1)), 0u) << signals;
}

TEST(MakeExecutable, AddsExecuteWhereReadIsAllowed) {
    TempDir dir;
    for (auto [before, after] :
         {std::pair{0644, 0755}, {0600, 0700}, {0640, 0750}, {0755, 0755}, {0200, 0200}}) {
        dir.WriteFile("f", "x");
        chmod(dir.Join("f").c_str(), static_cast<mode_t>(before));
        EXPECT_TRUE(MakeExecutable(text::FromUtf8(dir.Join("f"))));
        EXPECT_EQ(ModeOf(dir.Join("f")), static_cast<mode_t>(after)) << std::oct << before;
    }
    EXPECT_FALSE(MakeExecutable(text::FromUtf8(dir.Join("missing"))));
    dir.WriteFile("sub/.keep", "");
    EXPECT_FALSE(MakeExecutable(text::FromUtf8(dir.Join("sub"))));
}

// HOME and the XDG variables pointed into one temporary folder.
struct FakeHome {
    TempDir dir;
    ScopedEnv home{"HOME", dir.path()};
    ScopedEnv config{"XDG_CONFIG_HOME", std::nullopt};
    ScopedEnv data{"XDG_DATA_HOME", std::nullopt};
};

TEST(UserFolders, DefaultsBelowHomeAndXdgSettingsAreFollowed) {
    FakeHome home;
    EXPECT_EQ(GetDesktopFolder(), home.dir.wpath() + L"/Desktop");
    EXPECT_EQ(GetApplicationsFolder(), home.dir.wpath() + L"/.local/share/applications");
    home.dir.WriteFile(".config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Bureau\"\n");
    EXPECT_EQ(GetDesktopFolder(), home.dir.wpath() + L"/Bureau");
    ScopedEnv config("XDG_CONFIG_HOME", home.dir.Join("cfg"));
    ScopedEnv data("XDG_DATA_HOME", home.dir.Join("data"));
    home.dir.WriteFile("cfg/user-dirs.dirs", "XDG_DESKTOP_DIR=\"/srv/desk\"\n");
    EXPECT_EQ(GetDesktopFolder(), L"/srv/desk");
    EXPECT_EQ(GetApplicationsFolder(), home.dir.wpath() + L"/data/applications");
    // Relative values are not allowed by the XDG rules and are ignored.
    ScopedEnv relativeData("XDG_DATA_HOME", "data");
    EXPECT_EQ(GetApplicationsFolder(), home.dir.wpath() + L"/.local/share/applications");
}

TEST(Shortcut, ExistingEntryIsRewrittenToStartTheLauncherWithTheIconBesideTheData) {
    FakeHome home;
    home.dir.WriteFile("Desktop/Quon.desktop", "[Desktop Entry]\nType=Application\nExec=/old/QuonLauncher.exe QA\n");
    chmod(home.dir.Join("Desktop/Quon.desktop").c_str(), 0600);
    const std::string icon = home.dir.Join(".local/share/icons/hicolor/64x64/apps/quon-launcher.png");
    WriteShortcutFile(home.dir.wpath() + L"/Desktop/Quon.desktop", L"/opt/My Games/QuonLauncher.exe");
    EXPECT_EQ(home.dir.ReadFile("Desktop/Quon.desktop"),
              "[Desktop Entry]\nType=Application\nName=Quon\nExec=\"/opt/My Games/QuonLauncher.exe\"\nIcon=" + icon + "\n");
    EXPECT_EQ(ModeOf(home.dir.Join("Desktop/Quon.desktop")), 0755u);
    EXPECT_EQ(ReadWholeFile(icon), LauncherIconPng());

    // The icon follows XDG_DATA_HOME; missing folders are not created.
    ScopedEnv data("XDG_DATA_HOME", home.dir.Join("data"));
    home.dir.WriteFile("data/applications/Quon.desktop", "old");
    WriteShortcutFile(home.dir.wpath() + L"/data/applications/Quon.desktop", L"/q/QuonLauncher.exe");
    EXPECT_NE(home.dir.ReadFile("data/applications/Quon.desktop")
                  .find("Icon=" + home.dir.Join("data/icons/hicolor/64x64/apps/quon-launcher.png") + "\n"),
              std::string::npos);
    WriteShortcutFile(home.dir.wpath() + L"/no-such-folder/Quon.desktop", L"/q/QuonLauncher.exe");
    EXPECT_FALSE(home.dir.Exists("no-such-folder"));
}
