// The window module built into the launcher: the launcher copied alone into a
// fresh folder still loads its window, writes no module file anywhere, and a
// window that cannot be loaded leaves the console with a line on screen and
// in the launcher log instead of an invisible launcher.
#include <fstream>
#include <set>

#include "launcher_fixture.h"

namespace {
std::string Decoded(const std::string& path) {
    std::string bytes = ReadWholeFile(path);
    if (bytes.rfind("\xFF\xFE", 0) == 0) bytes.erase(0, 2);
    return text::ToUtf8(text::DecodeUtf16LE(bytes));
}

std::set<std::string> FilesUnder(const std::string& folder) {
    std::set<std::string> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(folder))
        if (!e.is_directory()) files.insert(std::filesystem::relative(e.path(), folder).string());
    return files;
}
}  // namespace

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
        const std::string log = Decoded(Install("log/LauncherLog.txt"));
        if (&c == cases) {
            EXPECT_EQ(run.Output().find("window module"), std::string::npos) << run.Output();
            // The rebuilt client list and the folders hold the game and the launcher, nothing more.
            const std::set<std::string> expected{"QuonLauncher.exe", "a.dat", "packclit.lit", "log/LauncherLog.txt"};
            EXPECT_EQ(FilesUnder(root.Join("install")), expected);
            EXPECT_TRUE(FilesUnder(root.Join("tmp")).empty());
            EXPECT_EQ(Decoded(Install("packclit.lit")).find("QuonLauncherWindow"), std::string::npos);
        } else {
            EXPECT_NE(log.find("Function :[RunLauncher] Message :[" + c.line + "]"), std::string::npos) << log;
        }
    }
}
