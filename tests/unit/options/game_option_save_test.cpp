#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <locale>
#include <regex>
#include <sstream>

#include "services/game_option/game_option.h"
#include "option_files.h"

using COMMON_UTIL::GAME_OPTION::GameOption;
using ::testing::HasSubstr;

namespace {

// The members in the order the game expects them in the file.
const char kFileOrder[] =
    "GameOptionVersion ScreenMode ScreenCheck ScreenWidth ScreenHeight Trail Bloom ShadowQuality "
    "EffectQuality "
    "TextureQuality CheckRememberLoginID RememberLoginID MipmapLODBias Fxaa VSync FilterMode SoundMaster "
    "SoundMusic SoundAmbient SoundEffect SoundSystemVoice SoundMasterVolmue SoundMusicVolmue "
    "SoundAmbientVolmue "
    "SoundEffectVolmue SoundSystemVoiceVolmue SelectedLoginServerIndex Language SkillSmart LButtonMove "
    "ShowOpeningMovie GameOptionAutoControl UIScale UIScaleNotUse";

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

class GameOptionSaveTest : public OptionFileTest {};

}  // namespace

TEST_F(GameOptionSaveTest, WritesTheThirtyFourMembersInOrderAllAsStrings) {
    Unusual().Save(std::locale());
    const std::string file = OptionFile();
    std::regex member(R"re(^    "([A-Za-z]+)": "(.*)",?$)re");
    std::istringstream lines(file);
    std::string line, keys;
    while (std::getline(lines, line)) {
        if (line == "{" || line == "}") continue;
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, member)) << line;
        keys += (keys.empty() ? "" : " ") + m[1].str();
    }
    EXPECT_EQ(keys, kFileOrder);
    EXPECT_THAT(file, HasSubstr("\"ScreenCheck\": \"false\",\n"));
    EXPECT_THAT(file, HasSubstr("\"Fxaa\": \"true\",\n"));
    EXPECT_THAT(file, HasSubstr("\"UIScale\": \"125\",\n"));
    // Characters above U+FFFF go out as a surrogate pair, not clamped.
    EXPECT_THAT(file, HasSubstr("\\uD83D\\uDE00"));
}

TEST_F(GameOptionSaveTest, WhatSaveWritesLoadReadsBackIdentically) {
    WriteText("DefaultOption.json", DefaultsJson(7, ""));
    const GameOption saved = Unusual();
    GameOption(saved).Save(std::locale());
    const std::string first = OptionFile();

    GameOption loaded;
    ASSERT_TRUE(loaded.Load(L"DefaultOption.json", std::locale()));
    EXPECT_EQ(loaded.RememberLoginID, saved.RememberLoginID);
    EXPECT_EQ(loaded.MipmapLODBias, saved.MipmapLODBias);
    // Every member is written, so the same bytes from a second round mean every member came back.
    loaded.Save(std::locale());
    EXPECT_EQ(OptionFile(), first);
}

TEST_F(GameOptionSaveTest, UnknownMembersDoNotSurviveLoadAndSave) {
    WriteText("DefaultOption.json", DefaultsJson(1, ""));
    WriteText("Config/Option.json",
              "{\"GameOptionVersion\": \"1\", \"Extra\": \"x\", \"ScreenWidth\": \"1280\"}");
    GameOption o;
    ASSERT_TRUE(o.Load(L"DefaultOption.json", std::locale()));
    o.Save(std::locale());
    const std::string file = OptionFile();
    EXPECT_THAT(file, ::testing::Not(HasSubstr("Extra")));
    EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 36);
}

TEST_F(GameOptionSaveTest, NumbersIgnoreTheProcessLocale) {
    const std::locale previous = std::locale::global(
        std::locale(std::locale(std::locale::classic(), new GroupingPunct), new NarrowGroupingPunct));
    GameOption o = Unusual();
    o.MipmapLODBias = 1234.5f;
    o.Save(std::locale());
    std::locale::global(previous);
    EXPECT_THAT(OptionFile(), HasSubstr("\"ScreenWidth\": \"2560\""));
    EXPECT_THAT(OptionFile(), HasSubstr("\"MipmapLODBias\": \"1234.5\""));
}

TEST_F(GameOptionSaveTest, UnwritableTargetsAreReportedAndKept) {
    // A folder where the file should be: not writable even for root.
    std::filesystem::create_directories("Config/Option.json");
    Unusual().Save(std::locale());
    EXPECT_TRUE(std::filesystem::is_directory("Config/Option.json"));
    EXPECT_THAT(TempCurrentFolder::Read("log.txt"),
                HasSubstr("]COMMON_UTIL::GAME_OPTION::GameOption::Save()-Config\xED\x8F\xB4\xEB\x8D\x94 "
                          "\xEC\x83\x9D\xEC\x84\xB1 \xEC\x8B\xA4\xED\x8C\xA8 ["));
    // No temporary files are left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("Config"), {}), 1);

    // Config itself a file.
    std::filesystem::remove_all("Config");
    std::filesystem::remove("log.txt");
    WriteText("Config", "not a folder");
    Unusual().Save(std::locale());
    EXPECT_EQ(TempCurrentFolder::Read("Config"), "not a folder");
    EXPECT_THAT(TempCurrentFolder::Read("log.txt"), HasSubstr("GameOption::Save()-Config"));
}
