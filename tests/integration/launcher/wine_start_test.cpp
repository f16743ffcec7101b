// Windows programs started on Linux: the updater (and the game client) are
// PE images, run through Wine; a native program is run as it is.

#include "launcher/game_launcher_dlg.h"
#include "launcher_fixture.h"
#include "os/process.h"

namespace {

// The smallest file that reads as a PE image: "MZ", the PE header's offset at
// 0x3C, "PE\0\0" there.
std::string PeImage() {
    std::string bytes(0x48, '\0');
    bytes[0] = 'M';
    bytes[1] = 'Z';
    bytes[0x3C] = 0x40;
    bytes.replace(0x40, 4, std::string("PE\0\0", 4));
    return bytes;
}

// Records its arguments and working folder, one a line.
void WriteRecordingWine(const std::string& path) {
    std::ofstream(path)
        << "#!/bin/sh\n{ for a in \"$@\"; do echo \"$a\"; done; pwd; } > \"$(pwd)/wine-ran.txt\"\n";
    chmod(path.c_str(), 0755);
}

}  // namespace

// Without Wine the start fails as a missing program and the log says why;
// with the Wine the setting names, the updater runs with its argument in the
// install folder.
TEST_F(LauncherProcess, AWindowsUpdaterRunsThroughTheWineNamedByTheSettingOrFailsWithTheReason) {
    WritePatchSet(root.Join("server/patch"), {{L"a.dat", {"a"}}});
    std::ofstream(root.Join("server/patch/QuonLauncherUpdater.exe"), std::ios::binary) << PeImage();
    auto env = Env();
    env["PATH"] = root.Join("runtime");  // no wine there
    ChildProcess failed({Install("QuonLauncher.exe")}, root.path(), env);
    EXPECT_NE(failed.Wait(), 0);
    const std::string missing = text::ToUtf8(text::FormatW(kExecuteFailedFormat, L"QuonLauncherUpdater.exe",
                                                           CGameLauncherDlg::GetExecuteErrorText(2).c_str()));
    EXPECT_NE(failed.Output().find(missing), std::string::npos) << failed.Output();
    const std::wstring log = ReadUtf16File(Install("log/LauncherLog.txt"));
    EXPECT_NE(log.find(L"Wine was not found"), std::wstring::npos) << text::ToUtf8(log);

    WriteRecordingWine(root.Join("my-wine"));
    env["QUON_WINE"] = root.Join("my-wine");
    ChildProcess run({Install("QuonLauncher.exe"), "Live"}, root.path(), env);
    EXPECT_EQ(run.Wait(), 0) << run.Output();
    WaitUntil([&] { return std::filesystem::exists(Install("wine-ran.txt")); }, 5000);
    EXPECT_EQ(ReadWholeFile(Install("wine-ran.txt")),
              Install("QuonLauncherUpdater.exe") + "\nLive\n" + root.Join("install") + "\n");

    // "MZ" alone is a native start, which the OS refuses.
    std::string notPe = PeImage();
    notPe[0x41] = 'X';
    root.WriteFile("half.exe", notPe);
    chmod(root.Join("half.exe").c_str(), 0755);
    EXPECT_EQ(StartProgram(L"half.exe", L"x", root.wpath(), root.Join("my-wine")), 31);
    EXPECT_FALSE(root.Exists("wine-ran.txt"));
}
