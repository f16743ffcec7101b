// The window module built into the launcher: the launcher copied alone into a
// fresh folder still loads its window, writes no module file anywhere, and a
// window that cannot be loaded leaves the console with a line on screen and
// in the launcher log instead of an invisible launcher.

#include "launcher_fixture.h"

TEST_F(LauncherProcess, TheWindowModuleLoadsFromMemoryOrLeavesTheConsoleWithALine) {
    struct Case {
        const char* what;
        std::vector<std::string> argv;
        std::string line;
    };
    const Case cases[] = {
        {"copied alone", {Install("QuonLauncher.exe"), "QA", "FromUpdater"},
         "cannot open the display \":97\" for the window; using the console"},
        // No room for the in-memory module (a file size limit below its size,
        // the signal it raises ignored, both inherited through exec).
        {"no room",
         {"/bin/sh", "-c", "trap '' XFSZ; ulimit -f 512; exec \"$0\" QA FromUpdater", Install("QuonLauncher.exe")},
         "the window module QuonLauncherWindow.so cannot be loaded: cannot fill the in-memory file: File too large; "
         "using the console"},
    };
    Publish({{L"a.dat", {"a"}}});
    std::filesystem::create_directories(root.Join("tmp"));
    // GTK keeps a string when it fails to open the display; under the leak
    // checker that is not the launcher's leak.
    std::ofstream(root.Join("lsan.supp")) << "leak:libglib-2.0.so\n";
    auto env = Env();
    // A window is asked for on a display that does not exist: a module that
    // loads is then asked to open it and says it cannot. The input is at its
    // end, so the console closes once the launcher is ready.
    env["QUON_LAUNCHER_UI"] = "gtk";
    env["DISPLAY"] = ":97";
    env["TMPDIR"] = root.Join("tmp");
    env["LSAN_OPTIONS"] = "suppressions=" + root.Join("lsan.supp");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(Install("log"));
        ChildProcess run(c.argv, root.path(), env, "", {.cleanEnv = true});
        EXPECT_EQ(run.Wait(), 0) << run.Output();
        EXPECT_EQ(ReadWholeFile(Install("a.dat")), "a") << "the console did not patch";
        EXPECT_NE(run.Output().find("QuonLauncher: " + c.line + "\n"), std::string::npos) << run.Output();
        const std::string log = text::ToUtf8(ReadUtf16File(Install("log/LauncherLog.txt")));
        if (&c == cases) {
            EXPECT_EQ(run.Output().find("window module"), std::string::npos) << run.Output();
            // The rebuilt client list and the folders hold the game and the launcher, nothing more.
            EXPECT_EQ(FolderNames(root.Join("install"), true), "QuonLauncher.exe a.dat log log/LauncherLog.txt packclit.lit");
            EXPECT_EQ(FolderNames(root.Join("tmp"), true), "");
            EXPECT_EQ(ReadUtf16File(Install("packclit.lit")).find(L"QuonLauncherWindow"), std::wstring::npos);
        } else {
            EXPECT_NE(log.find("Function :[RunLauncher] Message :[" + c.line + "]"), std::string::npos) << log;
        }
    }
}
