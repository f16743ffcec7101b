// Wide formatting of the messages and the launcher log's bytes.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "util/text_util.h"
#include "launcher/game_launcher_dlg.h"
#include "launcher/launcher_messages.h"
#include "support/recording_view.h"
#include "support/temp_dir.h"
#include "support/test_platform.h"

TEST(WideFormat, PercentSIsWideAndHexIsLowerCase) {
    EXPECT_STREQ(GetLauncherMessage(-1), L"");  // out of the table: empty, not a stray read
    EXPECT_STREQ(GetLauncherMessage(1000), L"");
    EXPECT_EQ(text::FormatW(GetLauncherMessage(14), L"/inst/Temp/packserv.txt", 0x800C0005u),
              L"Failed to download the data.\nPlease check the internet connection.\nFile name:/inst/Temp/"
              L"packserv.txt\nResult:800c0005\nErrorCode : L_16");
    EXPECT_EQ(text::FormatW(L"%s|%-5s|%c|%%", L"\uC54C\uB9BC", L"ab", L'x'), L"\uC54C\uB9BC|ab   |x|%");
    EXPECT_EQ(text::FormatCut(4, L"%s", L"abcdefgh"), L"abcd");
    std::wstring longText(5000, L'y');
    EXPECT_EQ(text::FormatW(L"%s", longText.c_str()).size(), 5000u);
}

class LauncherLogTest : public ::testing::Test {
protected:
    TempDir dir;
    TestPlatform platform{dir.wpath() + L"/QuonLauncher.exe"};
    RecordingView view;
    std::string LogBytes() { return dir.ReadFile("log/LauncherLog.txt"); }
};

TEST_F(LauncherLogTest, RecordIsUtf16WithBomAndCrLfAndVerbatim) {
    CGameLauncherDlg dlg(platform, view, {L"QuonLauncher.exe"});
    dlg.ResetLauncherLog();
    EXPECT_EQ(LogBytes(), "");
    dlg.WriteLauncherLog(L"a %s %d\nb", L"F::g", 12, L"x.cpp");
    const std::string expected =
        std::string("\xFF\xFE") +
        text::EncodeUtf16LE(L"cpp :[x.cpp] Line :[12] Function :[F::g] Message :[a %s %d\r\nb]\r\n");
    EXPECT_EQ(LogBytes(), expected);
    dlg.WriteLauncherLog(L"second", L"F", 1, L"y.cpp");
    EXPECT_EQ(LogBytes(), expected + text::EncodeUtf16LE(L"cpp :[y.cpp] Line :[1] Function :[F] Message :[second]\r\n"));
}

TEST_F(LauncherLogTest, LongRecordIsCutTo1023CharactersWithoutLineEnd) {
    CGameLauncherDlg dlg(platform, view, {L"QuonLauncher.exe"});
    dlg.ResetLauncherLog();
    dlg.WriteLauncherLog(std::wstring(2000, L'm'), L"F", 1, L"z.cpp");
    const std::wstring text = text::DecodeUtf16LE(LogBytes().substr(2));
    EXPECT_EQ(text.size(), 1023u);
    EXPECT_NE(text.back(), L'\n');
}

TEST_F(LauncherLogTest, ResetEmptiesTheInstallLogFolderNotTheCurrentFolders) {
    TempDir elsewhere;
    elsewhere.WriteFile("log/keep.txt", "not ours");
    dir.WriteFile("log/old.txt", "old");
    dir.WriteFile("log/sub/deep.txt", "old");
    const std::string cwd = std::filesystem::current_path();
    std::filesystem::current_path(elsewhere.path());
    {
        CGameLauncherDlg dlg(platform, view, {L"QuonLauncher.exe"});
        dlg.WriteLauncherLog(L"first run", L"F", 1, L"a.cpp");
        dlg.ResetLauncherLog();
    }
    std::filesystem::current_path(cwd);
    EXPECT_TRUE(elsewhere.Exists("log/keep.txt"));
    EXPECT_FALSE(dir.Exists("log/old.txt"));
    EXPECT_FALSE(dir.Exists("log/sub"));
    EXPECT_EQ(dir.ReadFile("log/LauncherLog.txt"), "");
}

TEST_F(LauncherLogTest, TwoThreadsLoggingKeepEveryRecordWhole) {
    CGameLauncherDlg dlg(platform, view, {L"QuonLauncher.exe"});
    dlg.ResetLauncherLog();
    auto writer = [&](const wchar_t* who) {
        for (int i = 0; i < 200; ++i) dlg.WriteLauncherLog(std::wstring(100, who[0]), who, i, L"t.cpp");
    };
    std::thread a(writer, L"A"), b(writer, L"B");
    a.join();
    b.join();
    const std::string bytes = LogBytes();
    ASSERT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    const std::wstring text = text::DecodeUtf16LE(bytes.substr(2));
    EXPECT_EQ(text.find(L'\uFEFF'), std::wstring::npos);  // one mark only
    size_t records = 0;
    for (size_t pos = 0; (pos = text.find(L"]\r\n", pos)) != std::wstring::npos; pos += 3) ++records;
    EXPECT_EQ(records, 400u);
    EXPECT_EQ(text.find(L"AB"), std::wstring::npos);
    EXPECT_EQ(text.find(L"BA"), std::wstring::npos);
}
