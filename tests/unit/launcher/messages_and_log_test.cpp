// Wide formatting of the messages and the launcher log's bytes.
#include "support/test_common.h"

#include "launcher/game_launcher_dlg.h"
#include "launcher/launcher_messages.h"
#include "support/recording_view.h"
#include "support/test_platform.h"

TEST(WideFormat, PercentSIsWideAndHexIsLowerCase) {
    EXPECT_STREQ(GetLauncherMessage(-1), L"");  // out of the table: empty, not a stray read
    EXPECT_STREQ(GetLauncherMessage(1000), L"");
    const std::wstring box = text::FormatW(GetLauncherMessage(14), L"/inst/Temp/packserv.txt", 0x800C0005u);
    EXPECT_NE(box.find(L"File name:/inst/Temp/packserv.txt\nResult:800c0005\n"), std::wstring::npos)
        << text::ToUtf8(box);
    EXPECT_EQ(text::FormatW(L"%s|%-5s|%c|%%", L"\uC54C\uB9BC", L"ab", L'x'), L"\uC54C\uB9BC|ab   |x|%");
    EXPECT_EQ(text::FormatCut(4, L"%s", L"abcdefgh"), L"abcd");
    EXPECT_EQ(text::FormatW(L"%s", std::wstring(5000, L'y').c_str()).size(), 5000u);
}

class LauncherLogTest : public ::testing::Test {
protected:
    std::string LogBytes() { return dir.ReadFile("log/LauncherLog.txt"); }
    TempDir dir;
    TestPlatform platform{dir.wpath() + L"/QuonLauncher.exe"};
    RecordingView view;
    CGameLauncherDlg dlg{platform, view, {L"QuonLauncher.exe"}};
};

TEST_F(LauncherLogTest, RecordsAreUtf16WithOneMarkCrLfVerbatimAndCutTo1023Characters) {
    dlg.ResetLauncherLog();
    EXPECT_EQ(LogBytes(), "");
    dlg.WriteLauncherLog(L"a %s %d\nb", L"F::g", 12, L"x.cpp");
    const std::string first =
        "\xFF\xFE" +
        text::EncodeUtf16LE(L"cpp :[x.cpp] Line :[12] Function :[F::g] Message :[a %s %d\r\nb]\r\n");
    EXPECT_EQ(LogBytes(), first);
    dlg.WriteLauncherLog(L"second", L"F", 1, L"y.cpp");
    EXPECT_EQ(LogBytes(),
              first + text::EncodeUtf16LE(L"cpp :[y.cpp] Line :[1] Function :[F] Message :[second]\r\n"));
    dlg.ResetLauncherLog();
    dlg.WriteLauncherLog(std::wstring(2000, L'm'), L"F", 1, L"z.cpp");
    const std::wstring text = text::DecodeUtf16LE(LogBytes().substr(2));
    EXPECT_EQ(text.size(), 1023u);
    EXPECT_NE(text.back(), L'\n');
}

TEST_F(LauncherLogTest, TwoThreadsLoggingKeepEveryRecordWhole) {
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
