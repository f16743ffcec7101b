// The window module built into the launcher: the launcher copied alone into a
// fresh folder still loads its window, writes no module file anywhere, and a
// window that cannot be loaded leaves the console with a line on screen and
// in the launcher log instead of an invisible launcher.
#include <fstream>
#include <set>

#include "launcher_fixture.h"

namespace {

class WindowModule : public LauncherProcess {
protected:
    WindowModule() {
        WritePatchSet(root.Join("server/patch_qa"), {{L"a.dat", {"a"}}});
        std::filesystem::create_directories(root.Join("tmp"));
    }

    // A window is asked for on a display that does not exist: a module that
    // loads is then asked to open it and says it cannot. The input is at its
    // end, so the console closes once the launcher is ready.
    std::string RunAskingForTheWindow(std::vector<std::string> argv) {
        auto env = Env();
        env["QUON_LAUNCHER_UI"] = "gtk";
        env["DISPLAY"] = ":97";
        env["TMPDIR"] = root.Join("tmp");
        // GTK keeps a string when it fails to open the display; under the
        // leak checker that is not the launcher's leak.
        std::ofstream(root.Join("lsan.supp")) << "leak:libglib-2.0.so\n";
        env["LSAN_OPTIONS"] = "suppressions=" + root.Join("lsan.supp");
        ChildProcess run(argv, root.path(), env);
        EXPECT_EQ(run.Wait(), 0) << run.Output();
        EXPECT_TRUE(std::filesystem::exists(Install("a.dat"))) << "the console did not patch";
        return run.Output();
    }

    std::string Decoded(const std::string& path) const {
        std::string bytes = ReadWholeFile(path);
        if (bytes.rfind("\xFF\xFE", 0) == 0) bytes.erase(0, 2);
        return text::ToUtf8(text::DecodeUtf16LE(bytes));
    }

    std::set<std::string> FilesUnder(const std::string& folder) const {
        std::set<std::string> files;
        for (const auto& e : std::filesystem::recursive_directory_iterator(folder))
            if (!e.is_directory()) files.insert(std::filesystem::relative(e.path(), folder).string());
        return files;
    }
};

TEST_F(WindowModule, TheLauncherCopiedAloneLoadsItsWindowAndLeavesNoModuleFileBehind) {
    const std::string output = RunAskingForTheWindow({Install("QuonLauncher.exe"), "QA", "FromUpdater"});
    EXPECT_NE(
        output.find("QuonLauncher: cannot open the display \":97\" for the window; using the console\n"),
        std::string::npos)
        << output;
    EXPECT_EQ(output.find("window module"), std::string::npos) << output;
    // The rebuilt client list and the folders hold the game and the launcher, nothing more.
    const std::set<std::string> expected{"QuonLauncher.exe", "a.dat", "packclit.lit", "log/LauncherLog.txt"};
    EXPECT_EQ(FilesUnder(root.Join("install")), expected);
    EXPECT_TRUE(FilesUnder(root.Join("tmp")).empty());
    EXPECT_EQ(Decoded(Install("packclit.lit")).find("QuonLauncherWindow"), std::string::npos);
}

// No room for the in-memory module (a file size limit below its size, the
// signal it raises ignored, both inherited through exec).
TEST_F(WindowModule, AWindowThatCannotBeLoadedLeavesTheConsoleWithALineOnScreenAndInTheLog) {
    const std::string output =
        RunAskingForTheWindow({"/bin/sh", "-c", "trap '' XFSZ; ulimit -f 512; exec \"$0\" QA FromUpdater",
                               Install("QuonLauncher.exe")});
    const std::string line =
        "the window module QuonLauncherWindow.so cannot be loaded: cannot fill the in-memory file: File too "
        "large; "
        "using the console";
    EXPECT_NE(output.find("QuonLauncher: " + line + "\n"), std::string::npos) << output;
    const std::string log = Decoded(Install("log/LauncherLog.txt"));
    EXPECT_NE(log.find("Function :[RunLauncher] Message :[" + line + "]"), std::string::npos) << log;
}

}  // namespace
