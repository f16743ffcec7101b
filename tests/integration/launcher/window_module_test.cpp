// The window module beside the launcher: one that is missing, damaged or from
// another build is refused with a line saying so, on screen and in the
// launcher log, and the player is served from the console instead of a crash.
// A rebuilt client list leaves the module alone.
#include <fstream>

#include "launcher_fixture.h"
#include "platform/loadable_module.h"
#include "ui/window_module_abi.h"

namespace {

class WindowModule : public LauncherProcess {
protected:
    WindowModule() { WritePatchSet(root.Join("server/patch_qa"), {{L"a.dat", {"a"}}}); }

    std::string ModulePath() const { return Install("QuonLauncherWindow.so"); }

    // A window is asked for; the display named does not exist, which does not
    // matter to a module refused before the display is opened. The input is
    // at its end, so the console closes once the launcher is ready.
    std::string RunAskingForTheWindow() {
        auto env = Env();
        env["QUON_LAUNCHER_UI"] = "gtk";
        env["DISPLAY"] = ":97";
        ChildProcess run({Install("QuonLauncher.exe"), "QA", "FromUpdater"}, root.path(), env);
        EXPECT_EQ(run.Wait(), 0) << run.Output();
        EXPECT_TRUE(std::filesystem::exists(Install("a.dat"))) << "the console did not patch";
        return run.Output();
    }

    std::string LauncherLog() const {
        std::string bytes = ReadWholeFile(Install("log/LauncherLog.txt"));
        if (bytes.rfind("\xFF\xFE", 0) == 0) bytes.erase(0, 2);
        return text::ToUtf8(text::DecodeUtf16LE(bytes));
    }

    void ExpectRefusal(const std::string& output, const std::string& why) {
        const std::string line = "the window module " + ModulePath() + " " + why + "; using the console";
        EXPECT_NE(output.find("QuonLauncher: " + line + "\n"), std::string::npos) << output;
        EXPECT_NE(LauncherLog().find("Function :[RunLauncher] Message :[" + line + "]"), std::string::npos)
            << LauncherLog();
    }

    static void WriteFile(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    }
};

TEST_F(WindowModule, AMissingModuleLeavesTheConsoleWithALineOnScreenAndInTheLog) {
    ExpectRefusal(RunAskingForTheWindow(), "is missing");
}

TEST_F(WindowModule, AModuleOfAnotherBuildIsRefusedBeforeItLoads) {
    std::string bytes = ReadWholeFile(WindowModuleBinary());
    std::string id, error;
    ASSERT_TRUE(ReadModuleSection(WindowModuleBinary(), kWindowModuleIdSection, id, error)) << error;
    id.resize(id.find('\0'));
    ASSERT_EQ(id.size(), 32u);
    // Another build: the same module with another id wherever it is kept.
    const std::string other(32, id[0] == 'a' ? 'b' : 'a');
    for (size_t at = bytes.find(id); at != std::string::npos; at = bytes.find(id, at))
        bytes.replace(at, 32, other);
    WriteFile(ModulePath(), bytes);
    ExpectRefusal(RunAskingForTheWindow(),
                  "is from another build (build id " + other + ", this launcher " + id + ")");
}

TEST_F(WindowModule, ADamagedModuleIsRefusedWithoutACrash) {
    const std::string real = ReadWholeFile(WindowModuleBinary());
    const struct {
        std::string bytes, why;
    } cases[] = {
        {"not a module at all", "is refused: not a module (no ELF header)"},
        {real.substr(0, 4096), "is refused: a damaged module (section table)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        std::filesystem::remove_all(Install("log"));
        std::filesystem::remove(Install("a.dat"));
        std::filesystem::remove(Install("packclit.lit"));
        WriteFile(ModulePath(), c.bytes);
        ExpectRefusal(RunAskingForTheWindow(), c.why);
    }
}

// The module is part of the launcher, not of the game: a client list made
// from the disk does not name it, so the comparison never deletes it.
TEST_F(WindowModule, ARebuiltClientListLeavesTheModuleAlone) {
    std::filesystem::copy_file(WindowModuleBinary(), ModulePath());
    auto run = Start({"QA", "FromUpdater"});
    ASSERT_EQ(run->Wait(), 0) << run->Output();
    EXPECT_TRUE(std::filesystem::exists(ModulePath()));
    std::string list = ReadWholeFile(Install("packclit.lit"));
    list.erase(0, 2);
    const std::string text = text::ToUtf8(text::DecodeUtf16LE(list));
    EXPECT_NE(text.find("|a.dat"), std::string::npos) << text;
    EXPECT_EQ(text.find("QuonLauncherWindow"), std::string::npos) << text;
}

}  // namespace
