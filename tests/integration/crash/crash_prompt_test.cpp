// How the crash prompt reaches the player: a box on the display, the
// controlling terminal, or nothing; the upload mode; crashes sent from
// outside; the one-dump rule; and the launcher itself.
#include <sys/wait.h>

#include "support/test_common.h"

#include "integration/crash/crash_fixture.h"
#include "support/test_desktop.h"

namespace {

TEST(CrashPrompt, TheTerminalIsAskedWhenThereIsNoDisplayAndOnlyYesWritesTheDump) {
    for (const bool yes : {true, false}) {
        SCOPED_TRACE(yes);
        TempDir folder;
        auto run = StartCrash(folder.path(), {"null"}, {}, {.terminal = true});
        ASSERT_TRUE(run->WaitForOutput("[y/n] ")) << run->Output();
        for (const char* text : {"Notice", "An error has occurred.", "Do you record error?"})
            EXPECT_NE(run->Output().find(text), std::string::npos) << run->Output();
        run->Write(yes ? "y\n" : "n\n");
        ASSERT_GE(run->Wait(), 0);
        ExpectAnswered(run->RawStatus(), yes, SIGSEGV, folder.path());
    }
    // Without display and terminal nothing is written.
    TempDir folder;
    ExpectAnswered(RunCrash(folder.path(), "null", ""), false, SIGSEGV, folder.path());
}

// The real Yes/No box on an X display (Xvfb), answered with the keyboard.
TEST(CrashPrompt, YesInTheBoxOnTheDisplayWritesTheDumpAndNoWritesNothing) {
    TestDesktop desktop{800, 600, false};
    ASSERT_FALSE(desktop.display().empty()) << desktop.error();
    TempDir scratch;
    auto Xdotool = [&](std::vector<std::string> args) {
        args.insert(args.begin(), "/usr/bin/xdotool");
        ChildProcess run(args, scratch.path(), {{"DISPLAY", desktop.display()}});
        run.Wait(10000);
        return run.Output();
    };
    for (const bool yes : {true, false}) {
        SCOPED_TRACE(yes);
        TempDir folder;
        // GTK and its libraries are not instrumented: their leaks and races in
        // the helper are not ours to report.
        auto run = StartCrash(folder.path(), {"null"},
                              {{"DISPLAY", desktop.display()}, {"ASAN_OPTIONS", "detect_leaks=0"}, {"TSAN_OPTIONS", "report_bugs=0"}},
                              {.newSession = true});
        std::string window;
        ASSERT_TRUE(WaitUntil([&] { return !(window = Xdotool({"search", "--onlyvisible", "--name", "^Notice$"})).empty(); }, 20000));
        window = window.substr(0, window.find('\n'));
        EXPECT_EQ(Xdotool({"getwindowname", window}), "Notice\n");
        // Without a window manager the keyboard follows the pointer.
        Xdotool({"mousemove", "--window", window, "20", "20"});
        Xdotool({"key", yes ? "alt+y" : "alt+n"});
        ASSERT_GE(run->Wait(), 0);
        ExpectAnswered(run->RawStatus(), yes, SIGSEGV, folder.path());
    }
}

// The upload mode writes the dump before it asks, and hands the dump's name
// to the report only after a Yes, or when the prompt cannot be shown.
TEST(CrashPrompt, TheUploadModeReportsTheDumpJustWrittenUnlessTheAnswerIsNo) {
    for (const std::string answer : {"yes", "no", ""}) {
        SCOPED_TRACE(answer);
        TempDir folder;
        const int status =
            RunCrash(folder.path(), "null", answer, {{"QUON_CRASH_REPORT_MODE", "upload"}}, "crash_victim_upload");
        EXPECT_EQ(answer == "no" ? WIFSIGNALED(status) : WIFEXITED(status), true) << status;
        const auto dumps = ListDumps(folder.path());
        ASSERT_EQ(dumps.size(), 1u);
        EXPECT_EQ(folder.Exists("upload-called.txt") ? folder.ReadFile("upload-called.txt") : "",
                  answer == "no" ? "" : dumps[0]);
    }
}

// A signal sent from outside is a crash too, also for a program whose file
// a self-update replaced.
TEST(CrashPrompt, ASignalFromOutsideIsACrashEvenAfterTheProgramFileWasReplaced) {
    for (const bool yes : {true, false}) {
        SCOPED_TRACE(yes);
        TempDir folder;
        const std::string copy = folder.Join("victim");
        std::filesystem::copy_file(CrashProgramPath("crash_victim"), copy);
        auto run = StartCrash(folder.path(), {"wait"}, {{"QUON_CRASH_PROMPT_ANSWER", yes ? "yes" : "no"}}, {}, copy);
        ASSERT_TRUE(WaitUntil([&] { return folder.Exists("threads.txt"); }));
        std::filesystem::remove(copy);
        run->Kill(yes ? SIGSEGV : SIGBUS);
        ASSERT_GE(run->Wait(), 0);
        ExpectAnswered(run->RawStatus(), yes, yes ? SIGSEGV : SIGBUS, folder.path());
        if (yes) EXPECT_EQ(ListDumps(folder.path())[0].rfind("victim(crashed)_", 0), 0u);
    }
}

TEST(CrashPrompt, ASecondCrashInTheSameSecondLeavesTheFirstDumpAlone) {
    // Two crashes land in one second nearly always; try again when they did not.
    for (int attempt = 0; attempt < 5; ++attempt) {
        TempDir run;
        const time_t start = std::time(nullptr);
        ASSERT_TRUE(WIFEXITED(RunCrash(run.path(), "null", "yes")));
        const auto dumps = ListDumps(run.path());
        ASSERT_EQ(dumps.size(), 1u);
        const std::string first = run.ReadFile(dumps[0]);
        const int second = RunCrash(run.path(), "divide", "yes");
        if (std::time(nullptr) != start) continue;
        EXPECT_EQ(ListDumps(run.path()), dumps);
        EXPECT_EQ(run.ReadFile(dumps[0]), first);
        // The second dump could not be created: its crash was not handled.
        ASSERT_TRUE(WIFSIGNALED(second)) << second;
        EXPECT_EQ(WTERMSIG(second), SIGFPE);
        EXPECT_NE(run.ReadFile("log.txt").find("dump_file == INVALID_HANDLE_VALUE"), std::string::npos);
        return;
    }
    FAIL() << "no two crashes within one second in five attempts";
}

// The launcher itself: a crash while its worker runs leaves a dump under the
// launcher's name that lldb opens with both threads.
TEST(CrashPrompt, ACrashOfTheLauncherWhilePatchingLeavesADumpOfEveryThread) {
    TempDir root;
    std::filesystem::create_directories(root.Join("install"));
    const std::string exe = root.Join("install/QuonLauncher.exe");
    std::filesystem::copy_file(LauncherBinary(), exe);
    // Nothing listens on the patch port: the worker keeps trying to fetch
    // the file list while the crash comes.
    auto run = StartCrash(root.Join("install"), {"QA", "FromUpdater"},
                          {{"QUON_PATCH_HOST", "127.0.0.1:9"}, {"QUON_RUNTIME_DIR", root.path()},
                           {"QUON_LAUNCHER_UI", "console"}, {"QUON_CRASH_PROMPT_ANSWER", "yes"}},
                          {.newSession = true}, exe);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    run->Kill(SIGSEGV);
    ASSERT_GE(run->Wait(), 0);
    ExpectAnswered(run->RawStatus(), true, SIGSEGV, root.Join("install"));
    const auto dumps = ListDumps(root.Join("install"));
    ASSERT_EQ(dumps.size(), 1u);
    EXPECT_EQ(dumps[0].rfind("QuonLauncher(crashed)_", 0), 0u) << dumps[0];
    const std::string lldb = ReadDumpWithLldb(root.Join("install/" + dumps[0]), exe);
    for (const char* text : {"stop reason = signal SIGSEGV", "LauncherThreadProc", "main"})
        EXPECT_NE(lldb.find(text), std::string::npos) << lldb;
}

}  // namespace
