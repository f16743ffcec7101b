// The option store: loading against the defaults file, saving, and what
// either does with files it cannot use.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <regex>
#include <sstream>

#include "common/game_option/game_option.h"
#include "option_dialog_fakes.h"

using COMMON_UTIL::GAME_OPTION::GameOption;
using ::testing::HasSubstr;

namespace {

class GameOptionTest : public OptionFileTest {
protected:
    bool Load() { return option.Load(L"DefaultOption.json", std::locale()); }
    // Reset values, none of them a missing-key default: nothing was half loaded.
    void ExpectResetValues() const {
        EXPECT_EQ(option.ScreenMode, L"WindowMode");
        EXPECT_EQ(option.ScreenWidth, 0);
        EXPECT_EQ(option.UIScale, 100);
        EXPECT_EQ(option.Language, L"korean");
    }
    GameOption option;
};

GameOption Unusual() {
    GameOption o;
    o.ResetToDefaults();
    o.GameOptionVersion = 7;
    o.ScreenMode = L"WindowFullScreen";
    o.ScreenWidth = 2560;
    o.ScreenCheck = false;
    o.RememberLoginID = L"\uD50C\uB808\uC774\uC5B4 \"q\"\\/\t\U0001F600";
    o.MipmapLODBias = -1234.5f;
    o.Fxaa = true;
    o.SelectedLoginServerIndex = -1;
    o.UIScale = 125;
    o.UIScaleNotUse = true;
    return o;
}

}  // namespace

TEST_F(GameOptionTest, MissingOptionFileIsCreatedFromTheDefaults) {
    // A UTF-8 byte order mark is accepted.
    WriteText("DefaultOption.json",
              "\xEF\xBB\xBF" + DefaultsJson(3,
                                            "\"ScreenWidth\": \"1280\", \"GameOptionVersion\": "
                                            "\"9\", \"Language\": \"\xED\x95\x9C\""));
    ASSERT_TRUE(Load());
    EXPECT_EQ(option.ScreenWidth, 1280);
    EXPECT_EQ(option.Language, L"\uD55C");
    EXPECT_EQ(option.GameOptionVersion, 3);
    // Absent keys take the missing-key defaults, not the reset values.
    EXPECT_EQ(option.ScreenMode, L"FullScreen");
    EXPECT_EQ(option.ScreenHeight, 900);
    EXPECT_EQ(option.UIScale, 1);
    EXPECT_FLOAT_EQ(option.MipmapLODBias, -1.0f);
    EXPECT_TRUE(option.CheckRememberLoginID && option.SoundSystemVoice);
    // The Config folder did not exist: created by the save's retry path.
    EXPECT_THAT(OptionFile(), ::testing::StartsWith("{\n    \"GameOptionVersion\": \"3\",\n"));
    EXPECT_TRUE(boxes.empty());
    EXPECT_FALSE(std::filesystem::exists("log.txt"));
}

TEST_F(GameOptionTest, FileOfTheSameVersionIsReadAsWrittenWrongFormsTakeDefaultsNothingIsRewritten) {
    WriteText("DefaultOption.json", DefaultsJson(2, "\"ScreenWidth\": \"1024\""));
    const std::string hand =
        "{\"Unknown\": {\"a\": 1}, \"UIScaleNotUse\": \"1\", \"ScreenHeight\": 1080, \"ScreenMode\": "
        "\"WindowMode\",\n"
        "\"GameOptionVersion\": 2, \"ScreenWidth\": \"1920\", \"Fxaa\": \"true\", \"SoundMaster\": \"0\", "
        "\"MipmapLODBias\": \"0.25\", \"RememberLoginID\": \"\\uD55C\\uAE00 \\\"id\\\"\", \"ShadowQuality\": "
        "\"0\"}";
    WriteText("Config/Option.json", hand);
    ASSERT_TRUE(Load());
    EXPECT_EQ(option.ScreenWidth, 1920);
    EXPECT_EQ(option.ScreenHeight, 1080);
    EXPECT_TRUE(option.UIScaleNotUse && option.Fxaa);
    EXPECT_FALSE(option.SoundMaster);
    EXPECT_FLOAT_EQ(option.MipmapLODBias, 0.25f);
    EXPECT_EQ(option.RememberLoginID, L"\uD55C\uAE00 \"id\"");
    EXPECT_EQ(option.ShadowQuality, 0);
    EXPECT_EQ(option.UIScale, 1);
    EXPECT_EQ(OptionFile(), hand);
    // Wrong forms take their missing-key defaults.
    WriteText("Config/Option.json",
              "{\"GameOptionVersion\": \"2\", \"ScreenWidth\": \"wide\", \"ScreenHeight\": \"99999999999\", "
              "\"ScreenCheck\": \"yes\", \"MipmapLODBias\": \"1.5x\", \"UIScale\": \"\", \"TextureQuality\": "
              "\"1\"}");
    ASSERT_TRUE(Load());
    EXPECT_EQ(option.ScreenWidth, 1600);
    EXPECT_EQ(option.ScreenHeight, 900);
    EXPECT_TRUE(option.ScreenCheck);
    EXPECT_FLOAT_EQ(option.MipmapLODBias, -1.0f);
    EXPECT_EQ(option.UIScale, 1);
    EXPECT_EQ(option.TextureQuality, 1);
}

TEST_F(GameOptionTest, AnotherVersionIsReplacedWholeByTheDefaults) {
    WriteText("DefaultOption.json", DefaultsJson(5, "\"ScreenMode\": \"WindowFullScreen\""));
    // Without a readable version the file counts as version 0.
    for (const char* version : {"4", "new"}) {
        WriteText("Config/Option.json",
                  "{\"GameOptionVersion\": \"" + std::string(version) + "\", \"ScreenWidth\": \"1280\"}");
        ASSERT_TRUE(Load());
        EXPECT_EQ(option.ScreenMode, L"WindowFullScreen");
        EXPECT_EQ(option.ScreenWidth, 1600) << version;  // not carried over
        EXPECT_EQ(Member("GameOptionVersion") + Member("ScreenWidth"), "51600");
    }
    // Version 0 on both sides keeps the file.
    WriteText("DefaultOption.json", "{\"GameOptionDefault\": {}}");
    WriteText("Config/Option.json", "{\"ScreenWidth\": \"1280\"}");
    ASSERT_TRUE(Load());
    EXPECT_EQ(option.ScreenWidth, 1280);
    EXPECT_EQ(option.GameOptionVersion, 0);
    EXPECT_EQ(OptionFile(), "{\"ScreenWidth\": \"1280\"}");
}

TEST_F(GameOptionTest, BrokenOrMissingDefaultsFailWithResetValuesAndWriteNothing) {
    for (const char* defaults : {"", "{\"GameOptionVersion\": \"1\", ", "{\"GameOptionVersion\": \"1\"}"}) {
        if (*defaults) WriteText("DefaultOption.json", defaults);
        EXPECT_FALSE(Load()) << defaults;
        ExpectResetValues();
        EXPECT_FALSE(std::filesystem::exists("Config"));
    }
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_THAT(boxes[0], HasSubstr(L"Function: COMMON_UTIL::GAME_OPTION::GameOption::Load\r\n"));
    EXPECT_THAT(boxes[0], HasSubstr(L"Expr: load json fail, DefaultOption.json"));
    EXPECT_THAT(
        TempCurrentFolder::Read("log.txt"),
        HasSubstr("]COMMON_UTIL::GAME_OPTION::GameOption::Load()-load json fail, DefaultOption.json"));
}

TEST_F(GameOptionTest, OptionFileThatCannotBeReadFailsTheLoadAndIsLeftAsItIs) {
    WriteText("DefaultOption.json", DefaultsJson(1, "\"ScreenWidth\": \"1280\""));
    const std::string broken = "{\"GameOptionVersion\": \"1\", \"ScreenWidth\": ";
    // Each case makes the file and tells what it holds afterwards (nothing: not a file).
    const std::vector<std::pair<const char*, std::function<std::string()>>> cases = {
        {"broken", [&] { return WriteText("Config/Option.json", broken), broken; }},
        {"a folder", [] { return std::filesystem::create_directories("Config/Option.json"), ""; }},
        {"a link to itself",
         [] { return std::filesystem::create_symlink("Option.json", "Config/Option.json"), ""; }}};
    for (const auto& [what, make] : cases) {
        std::filesystem::create_directories("Config");
        const std::string content = make();
        const auto type = std::filesystem::symlink_status("Config/Option.json").type();
        boxes.clear();
        EXPECT_FALSE(Load()) << what;
        ExpectResetValues();
        ASSERT_EQ(boxes.size(), 1u) << what;
        EXPECT_THAT(boxes[0], HasSubstr(L"Expr: load json fail, ")) << what;
        EXPECT_EQ(std::filesystem::symlink_status("Config/Option.json").type(), type) << what;
        EXPECT_TRUE(content.empty() || OptionFile() == content) << what;
        std::filesystem::remove_all("Config");
    }
}

TEST_F(GameOptionTest, SaveWritesEveryMemberInOrderAsStringsWhateverTheLocaleAndLoadReadsThemBack) {
    WriteText("DefaultOption.json", DefaultsJson(7, ""));
    // Digit grouping with a comma, as some user locales have, changes no number.
    struct Wide : std::numpunct<wchar_t> {
        wchar_t do_thousands_sep() const override { return L','; }
        std::string do_grouping() const override { return "\3"; }
    };
    struct Narrow : std::numpunct<char> {
        char do_thousands_sep() const override { return ','; }
        std::string do_grouping() const override { return "\3"; }
    };
    const std::locale previous =
        std::locale::global(std::locale(std::locale(std::locale::classic(), new Wide), new Narrow));
    Unusual().Save(std::locale());
    std::locale::global(previous);
    const std::string first = OptionFile();
    std::regex member(R"re(^    "([A-Za-z]+)": "(.*)",?$)re");
    std::istringstream lines(first);
    std::string keys;
    for (std::string line; std::getline(lines, line);) {
        if (line == "{" || line == "}") continue;
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, member)) << line;
        keys += (keys.empty() ? "" : " ") + m[1].str();
    }
    // The order the game expects.
    EXPECT_EQ(
        keys,
        "GameOptionVersion ScreenMode ScreenCheck ScreenWidth ScreenHeight Trail Bloom ShadowQuality "
        "EffectQuality "
        "TextureQuality CheckRememberLoginID RememberLoginID MipmapLODBias Fxaa VSync FilterMode SoundMaster "
        "SoundMusic SoundAmbient SoundEffect SoundSystemVoice SoundMasterVolmue SoundMusicVolmue "
        "SoundAmbientVolmue "
        "SoundEffectVolmue SoundSystemVoiceVolmue SelectedLoginServerIndex Language SkillSmart LButtonMove "
        "ShowOpeningMovie GameOptionAutoControl UIScale UIScaleNotUse");
    for (const char* text :
         {"\"ScreenCheck\": \"false\",\n", "\"Fxaa\": \"true\",\n", "\"UIScale\": \"125\",\n",
          "\"ScreenWidth\": \"2560\"", "\"MipmapLODBias\": \"-1234.5\"",
          "\\uD83D\\uDE00"})  // above U+FFFF: a surrogate pair, not clamped
        EXPECT_THAT(first, HasSubstr(text));

    ASSERT_TRUE(Load());
    EXPECT_EQ(option.RememberLoginID, Unusual().RememberLoginID);
    EXPECT_EQ(option.MipmapLODBias, Unusual().MipmapLODBias);
    // Every member is written, so the same bytes from a second round mean every member came back.
    option.Save(std::locale());
    EXPECT_EQ(OptionFile(), first);
    // Unknown members do not survive a load and save.
    WriteText("Config/Option.json", "{\"GameOptionVersion\": \"7\", \"Extra\": \"x\"}");
    ASSERT_TRUE(Load());
    option.Save(std::locale());
    EXPECT_THAT(OptionFile(), ::testing::Not(HasSubstr("Extra")));
}

TEST_F(GameOptionTest, UnwritableTargetsAreReportedAndKept) {
    // A folder where the file should be: not writable even for root.
    std::filesystem::create_directories("Config/Option.json");
    Unusual().Save(std::locale());
    EXPECT_TRUE(std::filesystem::is_directory("Config/Option.json"));
    EXPECT_THAT(TempCurrentFolder::Read("log.txt"),
                HasSubstr("]COMMON_UTIL::GAME_OPTION::GameOption::Save()-Config"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("Config"), {}), 1);  // no temporary left
    // Config itself a file.
    std::filesystem::remove_all("Config");
    std::filesystem::remove("log.txt");
    WriteText("Config", "not a folder");
    Unusual().Save(std::locale());
    EXPECT_EQ(TempCurrentFolder::Read("Config"), "not a folder");
    EXPECT_THAT(TempCurrentFolder::Read("log.txt"), HasSubstr("GameOption::Save()-Config"));
}
