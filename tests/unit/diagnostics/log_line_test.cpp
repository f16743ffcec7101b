#include <gtest/gtest.h>

#include <clocale>
#include <ctime>
#include <locale>
#include <string>

#include "util/log_writer.h"
#include "util/path_util.h"
#include "util/text_util.h"
#include "support/temp_current_folder.h"

namespace {

std::wstring TimeText(std::time_t t) {
    std::tm local{};
    localtime_r(&t, &local);
    return FormatLogTime(local);
}

std::string ExeName() {
    std::wstring exe;
    GetModuleFolder(exe, false);
    return text::ToUtf8(FileNameWithExtension(exe));
}

}  // namespace

TEST(LogLineTest, TimeIsZeroPaddedWithUnitLetters) {
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 2;
    t.tm_mday = 4;
    t.tm_hour = 5;
    t.tm_min = 6;
    t.tm_sec = 7;
    EXPECT_EQ(FormatLogTime(t), L"2026-03-04 05h 06m 07s");

    wchar_t small[8];
    FormatLogTime(small, 8);
    EXPECT_EQ(std::wcslen(small), 7u);
}

TEST(LogLineTest, LineKeepsSpacesOfTheMessageAndCutsAt2047) {
    EXPECT_EQ(BuildLogLine(L"2026-03-04 05h 06m 07s", L"MinidumpGenerator::WriteMinidump",
                           L" NULL == write_dump ", L"QuonLauncher.exe", 4242, L"minidump_generator.cpp", 77),
              L"[2026-03-04 05h 06m 07s]MinidumpGenerator::WriteMinidump()- NULL == write_dump  "
              L"[QuonLauncher.exe][ThreadID:4242][minidump_generator.cpp-77]\n");

    const std::wstring longLine =
        BuildLogLine(L"t", L"f", std::wstring(3000, L'x'), L"a.exe", 1, L"b.cpp", 2);
    EXPECT_EQ(longLine.size(), 2047u);
    EXPECT_EQ(longLine.substr(0, 6), L"[t]f()");
}

TEST(LogLineTest, NameAndExtensionOfPaths) {
    EXPECT_EQ(FileNameWithExtension(L"/work/src/common/a.cpp"), L"a.cpp");
    EXPECT_EQ(FileNameWithExtension(L"C:\\Build\\Launcher\\GameLauncherDlg.cpp"), L"GameLauncherDlg.cpp");
    EXPECT_EQ(FileNameWithExtension(L"C:noext"), L"noext");
    EXPECT_EQ(FileNameWithExtension(L"folder/"), L"");
}

TEST(LogLineTest, WritesUtf8LinesAppendedInTheCurrentFolderAndLeavesTheLocaleAlone) {
    TempCurrentFolder folder;
    const std::string cBefore = std::setlocale(LC_ALL, nullptr);
    const std::string cppBefore = std::locale().name();
    const std::time_t before = std::time(nullptr);
    WriteLogLine(L"/src/game_option.cpp", 12, L"COMMON_UTIL::GAME_OPTION::GameOption::Save", L"./log.txt",
                 L"Config폴더 생성 실패");
    WriteLogLine(L"/src/x.cpp", 3, L"F", L"./log.txt", L"100% %d %s");
    const std::time_t after = std::time(nullptr);
    EXPECT_EQ(std::setlocale(LC_ALL, nullptr), cBefore);
    EXPECT_EQ(std::locale().name(), cppBefore);

    const std::string content = TempCurrentFolder::Read(folder.Path() / "log.txt");
    const std::string tid = std::to_string(gettid());
    bool matched = false;
    for (std::time_t t = before; t <= after && !matched; ++t) {
        const std::string time = text::ToUtf8(TimeText(t));
        for (std::time_t t2 = t; t2 <= after && !matched; ++t2) {
            const std::string expected =
                "[" + time +
                "]COMMON_UTIL::GAME_OPTION::GameOption::Save()-Config\xED\x8F\xB4\xEB\x8D\x94 "
                "\xEC\x83\x9D\xEC\x84\xB1 \xEC\x8B\xA4\xED\x8C\xA8 [" +
                ExeName() + "][ThreadID:" + tid + "][game_option.cpp-12]\n[" + text::ToUtf8(TimeText(t2)) +
                "]F()-100% %d %s [" + ExeName() + "][ThreadID:" + tid + "][x.cpp-3]\n";
            matched = content == expected;
        }
    }
    EXPECT_TRUE(matched) << content;
}

TEST(LogLineTest, UnopenableLogLosesTheLineQuietly) {
    TempCurrentFolder folder;
    std::filesystem::create_directory(folder.Path() / "log.txt");
    WriteLogLine(L"a.cpp", 1, L"F", L"./log.txt", L"lost");
    EXPECT_TRUE(std::filesystem::is_directory(folder.Path() / "log.txt"));
    WriteLogLine(L"a.cpp", 1, L"F", L"./missing/log.txt", L"lost");
    EXPECT_FALSE(std::filesystem::exists(folder.Path() / "missing"));
}
