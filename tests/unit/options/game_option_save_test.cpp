#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <locale>
#include <regex>

#include "common/game_option/game_option.h"
#include "support/temp_current_folder.h"
#include "option_files.h"

using COMMON_UTIL::GAME_OPTION::GameOption;
using ::testing::HasSubstr;

namespace {

const char* const kFileOrder[] = {"GameOptionVersion",
                                  "ScreenMode",
                                  "ScreenCheck",
                                  "ScreenWidth",
                                  "ScreenHeight",
                                  "Trail",
                                  "Bloom",
                                  "ShadowQuality",
                                  "EffectQuality",
                                  "TextureQuality",
                                  "CheckRememberLoginID",
                                  "RememberLoginID",
                                  "MipmapLODBias",
                                  "Fxaa",
                                  "VSync",
                                  "FilterMode",
                                  "SoundMaster",
                                  "SoundMusic",
                                  "SoundAmbient",
                                  "SoundEffect",
                                  "SoundSystemVoice",
                                  "SoundMasterVolmue",
                                  "SoundMusicVolmue",
                                  "SoundAmbientVolmue",
                                  "SoundEffectVolmue",
                                  "SoundSystemVoiceVolmue",
                                  "SelectedLoginServerIndex",
                                  "Language",
                                  "SkillSmart",
                                  "LButtonMove",
                                  "ShowOpeningMovie",
                                  "GameOptionAutoControl",
                                  "UIScale",
                                  "UIScaleNotUse"};

// Digit grouping with a comma, as some user locales have.
struct GroupingPunct : std::numpunct<wchar_t> {
    wchar_t do_thousands_sep() const override { return L','; }
    std::string do_grouping() const override { return "\3"; }
};
struct NarrowGroupingPunct : std::numpunct<char> {
    char do_thousands_sep() const override { return ','; }
    std::string do_grouping() const override { return "\3"; }
};

GameOption Unusual() {
    GameOption o;
    o.ResetToDefaults();
    o.GameOptionVersion = 7;
    o.ScreenMode = L"WindowFullScreen";
    o.ScreenWidth = 2560;
    o.ScreenHeight = 1440;
    o.ScreenCheck = false;
    o.RememberLoginID = L"\uD50C\uB808\uC774\uC5B4 \"q\"\\/\t\U0001F600";
    o.MipmapLODBias = -0.3f;
    o.Fxaa = true;
    o.SoundEffectVolmue = 87;
    o.SelectedLoginServerIndex = -1;
    o.Language = L"english";
    o.UIScale = 125;
    o.UIScaleNotUse = true;
    return o;
}

}  // namespace

TEST(GameOptionSaveTest, WritesTheThirtyFourMembersInOrderAllAsStrings) {
    TempCurrentFolder folder;
    GameOption o = Unusual();
    o.Save(std::locale());
    const std::string file = TempCurrentFolder::Read(folder.Path() / "Config/Option.json");

    std::regex member(R"re(^    "([A-Za-z]+)": "(.*)",?$)re");
    std::istringstream lines(file);
    std::string line;
    std::vector<std::string> keys;
    while (std::getline(lines, line)) {
        if (line == "{" || line == "}") continue;
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, member)) << line;
        keys.push_back(m[1]);
    }
    EXPECT_THAT(keys, ::testing::ElementsAreArray(kFileOrder));
    EXPECT_THAT(file, HasSubstr("\"ScreenCheck\": \"false\",\n"));
    EXPECT_THAT(file, HasSubstr("\"Fxaa\": \"true\",\n"));
    EXPECT_THAT(file, HasSubstr("\"UIScale\": \"125\",\n"));
    // Characters above U+FFFF go out as a surrogate pair, not clamped.
    EXPECT_THAT(file, HasSubstr("\\uD83D\\uDE00"));
}

TEST(GameOptionSaveTest, WhatSaveWritesLoadReadsBackIdentically) {
    TempCurrentFolder folder;
    WriteText("DefaultOption.json", DefaultsJson(7, ""));
    const GameOption saved = Unusual();
    GameOption copy = saved;
    copy.Save(std::locale());
    const std::string first = TempCurrentFolder::Read(folder.Path() / "Config/Option.json");

    GameOption loaded;
    ASSERT_TRUE(loaded.Load(L"DefaultOption.json", std::locale()));
    EXPECT_EQ(loaded.ScreenMode, saved.ScreenMode);
    EXPECT_EQ(loaded.ScreenWidth, saved.ScreenWidth);
    EXPECT_EQ(loaded.ScreenHeight, saved.ScreenHeight);
    EXPECT_EQ(loaded.ScreenCheck, saved.ScreenCheck);
    EXPECT_EQ(loaded.RememberLoginID, saved.RememberLoginID);
    EXPECT_EQ(loaded.MipmapLODBias, saved.MipmapLODBias);
    EXPECT_EQ(loaded.Fxaa, saved.Fxaa);
    EXPECT_EQ(loaded.SoundEffectVolmue, saved.SoundEffectVolmue);
    EXPECT_EQ(loaded.SelectedLoginServerIndex, saved.SelectedLoginServerIndex);
    EXPECT_EQ(loaded.Language, saved.Language);
    EXPECT_EQ(loaded.UIScale, saved.UIScale);
    EXPECT_EQ(loaded.UIScaleNotUse, saved.UIScaleNotUse);
    EXPECT_EQ(loaded.CheckRememberLoginID, saved.CheckRememberLoginID);
    EXPECT_EQ(loaded.GameOptionAutoControl, saved.GameOptionAutoControl);

    // A second round writes the same bytes.
    loaded.Save(std::locale());
    EXPECT_EQ(TempCurrentFolder::Read(folder.Path() / "Config/Option.json"), first);
}

TEST(GameOptionSaveTest, UnknownMembersDoNotSurviveLoadAndSave) {
    TempCurrentFolder folder;
    WriteText("DefaultOption.json", DefaultsJson(1, ""));
    WriteText("Config/Option.json",
              "{\"GameOptionVersion\": \"1\", \"Extra\": \"x\", \"ScreenWidth\": \"1280\"}");
    GameOption o;
    ASSERT_TRUE(o.Load(L"DefaultOption.json", std::locale()));
    o.Save(std::locale());
    const std::string file = TempCurrentFolder::Read(folder.Path() / "Config/Option.json");
    EXPECT_THAT(file, ::testing::Not(HasSubstr("Extra")));
    EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 36);
}

TEST(GameOptionSaveTest, NumbersIgnoreTheProcessLocale) {
    TempCurrentFolder folder;
    const std::locale previous = std::locale::global(
        std::locale(std::locale(std::locale::classic(), new GroupingPunct), new NarrowGroupingPunct));
    GameOption o = Unusual();
    o.MipmapLODBias = 1234.5f;
    o.Save(std::locale());
    std::locale::global(previous);
    const std::string file = TempCurrentFolder::Read(folder.Path() / "Config/Option.json");
    EXPECT_THAT(file, HasSubstr("\"ScreenWidth\": \"2560\""));
    EXPECT_THAT(file, HasSubstr("\"MipmapLODBias\": \"1234.5\""));
}

TEST(GameOptionSaveTest, UnwritableFileIsReportedWithTheFolderText) {
    TempCurrentFolder folder;
    // A folder where the file should be: not writable even for root.
    std::filesystem::create_directories(folder.Path() / "Config/Option.json");
    GameOption o = Unusual();
    o.Save(std::locale());
    EXPECT_TRUE(std::filesystem::is_directory(folder.Path() / "Config/Option.json"));
    EXPECT_THAT(TempCurrentFolder::Read(folder.Path() / "log.txt"),
                HasSubstr("]COMMON_UTIL::GAME_OPTION::GameOption::Save()-Config\xED\x8F\xB4\xEB\x8D\x94 "
                          "\xEC\x83\x9D\xEC\x84\xB1 \xEC\x8B\xA4\xED\x8C\xA8 ["));
    // No temporary files are left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path() / "Config"),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(GameOptionSaveTest, ConfigThatIsAFileIsReportedAndKept) {
    TempCurrentFolder folder;
    WriteText("Config", "not a folder");
    GameOption o = Unusual();
    o.Save(std::locale());
    EXPECT_EQ(TempCurrentFolder::Read(folder.Path() / "Config"), "not a folder");
    EXPECT_THAT(TempCurrentFolder::Read(folder.Path() / "log.txt"), HasSubstr("GameOption::Save()-Config"));
}
