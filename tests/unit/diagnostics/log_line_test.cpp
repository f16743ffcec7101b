#include "support/test_common.h"

#include <clocale>
#include <locale>
#include <regex>

#include "base/process_facts.h"
#include "util/log_writer.h"
#include "util/path_util.h"

TEST(LogLineTest, TimeLineAndFileNameFormats) {
    const std::tm t{
        .tm_sec = 7, .tm_min = 6, .tm_hour = 5, .tm_mday = 4, .tm_mon = 2, .tm_year = 2026 - 1900};
    EXPECT_EQ(FormatLogTime(t), L"2026-03-04 05h 06m 07s");
    wchar_t small[8];
    FormatLogTime(small, 8);
    EXPECT_EQ(std::wcslen(small), 7u);
    // The message's spaces are kept; a line is cut at 2047.
    EXPECT_EQ(BuildLogLine(L"2026-03-04 05h 06m 07s", L"MinidumpGenerator::WriteMinidump",
                           L" NULL == write_dump ", L"QuonLauncher.exe", 4242, L"minidump_generator.cpp", 77),
              L"[2026-03-04 05h 06m 07s]MinidumpGenerator::WriteMinidump()- NULL == write_dump  "
              L"[QuonLauncher.exe][ThreadID:4242][minidump_generator.cpp-77]\n");
    const std::wstring longLine =
        BuildLogLine(L"t", L"f", std::wstring(3000, L'x'), L"a.exe", 1, L"b.cpp", 2);
    EXPECT_EQ(longLine.size(), 2047u);
    EXPECT_EQ(longLine.substr(0, 6), L"[t]f()");
    for (auto [path, name] : {std::pair{L"/work/src/common/a.cpp", L"a.cpp"},
                              {L"C:\\Build\\Launcher\\GameLauncherDlg.cpp", L"GameLauncherDlg.cpp"},
                              {L"C:noext", L"noext"},
                              {L"folder/", L""}})
        EXPECT_EQ(FileNameWithExtension(path), name);
}

TEST(LogLineTest, WritesUtf8LinesAppendedInTheCurrentFolderAndLeavesTheLocaleAlone) {
    TempCurrentFolder folder;
    const std::string cBefore = std::setlocale(LC_ALL, nullptr);
    const std::string cppBefore = std::locale().name();
    WriteLogLine(L"/src/game_option.cpp", 12, L"COMMON_UTIL::GAME_OPTION::GameOption::Save", L"./log.txt",
                 L"Config폴더 생성 실패");
    WriteLogLine(L"/src/x.cpp", 3, L"F", L"./log.txt", L"100% %d %s");
    EXPECT_EQ(std::setlocale(LC_ALL, nullptr), cBefore);
    EXPECT_EQ(std::locale().name(), cppBefore);
    std::wstring exe;
    GetModuleFolder(exe, false);
    const std::string tail =
        "[" + text::ToUtf8(FileNameWithExtension(exe)) + "][ThreadID:" + std::to_string(fsys::CurrentThreadId());
    const std::regex time(R"(\[\d{4}-\d\d-\d\d \d\dh \d\dm \d\ds\])");
    EXPECT_EQ(std::regex_replace(ReadWholeFile((folder.Path() / "log.txt").string()), time, "[T]"),
              "[T]COMMON_UTIL::GAME_OPTION::GameOption::Save()-Config\xED\x8F\xB4\xEB\x8D\x94 "
              "\xEC\x83\x9D\xEC\x84\xB1 \xEC\x8B\xA4\xED\x8C\xA8 " +
                  tail +
                  "][game_option.cpp-12]\n"
                  "[T]F()-100% %d %s " +
                  tail + "][x.cpp-3]\n");
    // A log that cannot be opened loses the line quietly.
    WriteLogLine(L"a.cpp", 1, L"F", L"./missing/log.txt", L"lost");
    EXPECT_FALSE(std::filesystem::exists(folder.Path() / "missing"));
    std::filesystem::remove(folder.Path() / "log.txt");
    std::filesystem::create_directory(folder.Path() / "log.txt");
    WriteLogLine(L"a.cpp", 1, L"F", L"./log.txt", L"lost");
    EXPECT_TRUE(std::filesystem::is_directory(folder.Path() / "log.txt"));
}
