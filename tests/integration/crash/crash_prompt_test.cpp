// How the crash prompt reaches the player: a box on the display, the
// controlling terminal, or nothing; crashes sent from outside.
#include "support/test_common.h"

#include "integration/crash/crash_fixture.h"
#include "support/test_desktop.h"

namespace {

// A Yes ends the process quietly with the status a shell shows for the
// signal and one dump; a No ends it by the signal with none.
void ExpectAnswered(const std::string& ending, bool yes, int signal, const std::string& folder) {
    EXPECT_EQ(ending, (yes ? "exit " : "signal ") + std::to_string(yes ? 128 + signal : signal));
    EXPECT_EQ(ListDumps(folder).size(), yes ? 1u : 0u);
}

TEST(CrashPrompt, TheTerminalIsAskedWhenThereIsNoDisplayAndOnlyYesWritesTheDump) {
    for (const bool yes : {true, false}) {
        SCOPED_TRACE(yes);
        TempDir folder;
        auto run = StartCrash(folder.path(), {"null"}, {}, {.terminal = true});
        ASSERT_TRUE(run->WaitForOutput("[y/n] ")) << run->Output();
        for (const char* text : {"Notice", "An error has occurred.", "Do you record error?"})
            EXPECT_NE(run->Output().find(text), std::string::npos) << run->Output();
        run->Write(yes ? "y\n" : "n\n");
        ExpectAnswered(Ending(*run), yes, SIGSEGV, folder.path());
    }
    // Without display and terminal nothing is written.
    TempDir folder;
    ExpectAnswered(RunCrash(folder.path(), "null", ""), false, SIGSEGV, folder.path());
}

// The real Yes/No box on an X display (Xvfb), answered with the keyboard.
TEST(CrashPrompt, YesInTheBoxOnTheDisplayWritesTheDumpAndNoWritesNothing) {
    TestDesktop desktop{800, 600, false};
    ASSERT_FALSE(desktop.display().empty()) << desktop.error();
    for (const bool yes : {true, false}) {
        SCOPED_TRACE(yes);
        TempDir folder;
        // GTK and its libraries are not instrumented: their leaks and races in
        // the helper are not ours to report.
        auto run = StartCrash(folder.path(), {"null"},
                              {{"DISPLAY", desktop.display()}, {"ASAN_OPTIONS", "detect_leaks=0"}, {"TSAN_OPTIONS", "report_bugs=0"}},
                              {.newSession = true});
        // The caption is matched whole.
        std::string window;
        ASSERT_TRUE(WaitUntil([&] { return !(window = desktop.Xdotool({"search", "--onlyvisible", "--name", "^Notice$"})).empty(); }, 20000));
        window = window.substr(0, window.find('\n'));
        // Without a window manager the keyboard follows the pointer.
        desktop.Xdotool({"mousemove", "--window", window, "20", "20"});
        desktop.Xdotool({"key", yes ? "alt+y" : "alt+n"});
        ExpectAnswered(Ending(*run), yes, SIGSEGV, folder.path());
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
        ExpectAnswered(Ending(*run), yes, yes ? SIGSEGV : SIGBUS, folder.path());
        if (yes) EXPECT_EQ(ListDumps(folder.path())[0].rfind("victim(crashed)_", 0), 0u);
    }
}

}  // namespace
