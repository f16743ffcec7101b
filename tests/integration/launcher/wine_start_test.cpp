// Windows programs started on Linux: the updater (and the game client) are
// PE images, run through Wine; a native program is run as it is.
#include "support/test_common.h"

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

class WineStart : public LauncherProcess {
protected:
    void PublishUpdater(const std::string& bytes) {
        WritePatchSet(root.Join("server/patch"), {{L"a.dat", {"a"}}});
        std::ofstream(root.Join("server/patch/QuonLauncherUpdater.exe"), std::ios::binary) << bytes;
    }
};

TEST_F(WineStart, WindowsUpdaterRunsThroughTheWineNamedByTheSettingWithItsArgumentInTheInstallFolder) {
    PublishUpdater(PeImage());
    WriteRecordingWine(root.Join("my-wine"));
    auto env = Env();
    env["QUON_WINE"] = root.Join("my-wine");
    auto run = std::make_unique<ChildProcess>(std::vector<std::string>{Install("QuonLauncher.exe"), "Live"},
                                              root.path(), env);
    EXPECT_EQ(run->Wait(), 0) << run->Output();
    WaitUntil([&] { return std::filesystem::exists(Install("wine-ran.txt")); }, 5000);
    EXPECT_EQ(ReadWholeFile(Install("wine-ran.txt")),
              Install("QuonLauncherUpdater.exe") + "\nLive\n" + root.Join("install") + "\n");
}

TEST_F(WineStart, WithoutWineTheStartFailsAsAMissingProgramAndTheLogSaysWhy) {
    PublishUpdater(PeImage());
    auto env = Env();
    env["PATH"] = root.Join("runtime");  // no wine there
    auto run = std::make_unique<ChildProcess>(std::vector<std::string>{Install("QuonLauncher.exe")},
                                              root.path(), env);
    EXPECT_NE(run->Wait(), 0);
    const std::string failed = text::ToUtf8(text::FormatW(kExecuteFailedFormat, L"QuonLauncherUpdater.exe",
                                                          CGameLauncherDlg::GetExecuteErrorText(2).c_str()));
    EXPECT_NE(run->Output().find(failed), std::string::npos) << run->Output();
    const std::wstring log = ReadUtf16File(Install("log/LauncherLog.txt"));
    EXPECT_NE(log.find(L"Wine was not found"), std::wstring::npos) << text::ToUtf8(log);
    EXPECT_FALSE(std::filesystem::exists(Install("wine-ran.txt")));
}

TEST(WindowsProgram, OnlyAFileWithBothSignaturesIsRunThroughWine) {
    TempDir dir;
    WriteRecordingWine(dir.Join("wine"));
    std::string notPe = PeImage();
    notPe[0x41] = 'X';  // "MZ" alone: a native start, which the OS refuses
    dir.WriteFile("half.exe", notPe);
    chmod(dir.Join("half.exe").c_str(), 0755);
    EXPECT_EQ(StartProgram(L"half.exe", L"x", dir.wpath(), dir.Join("wine")), 31);
    EXPECT_FALSE(dir.Exists("wine-ran.txt"));
}
