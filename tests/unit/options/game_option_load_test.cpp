#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <iostream>

#include "services/game_option/game_option.h"
#include "option_files.h"

using COMMON_UTIL::GAME_OPTION::GameOption;
using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

class GameOptionLoadTest : public OptionFileTest {
protected:
    bool Load() { return option.Load(L"DefaultOption.json", std::locale()); }
    GameOption option;
};

// Reset values, none of them a missing-key default: nothing was half loaded.
void ExpectResetValues(const GameOption& o) {
    EXPECT_EQ(o.ScreenMode, L"WindowMode");
    EXPECT_EQ(o.ScreenWidth, 0);
    EXPECT_EQ(o.UIScale, 100);
    EXPECT_EQ(o.Language, L"korean");
}

}  // namespace

TEST_F(GameOptionLoadTest, MissingOptionFileIsCreatedFromTheDefaults) {
    // A UTF-8 byte order mark is accepted.
    WriteText("DefaultOption.json",
              "\xEF\xBB\xBF" + DefaultsJson(3,
                                            "\"ScreenWidth\": \"1280\", \"GameOptionVersion\": \"9\", "
                                            "\"Language\": \"\xED\x95\x9C\""));
    ASSERT_TRUE(Load());
    EXPECT_EQ(option.ScreenWidth, 1280);
    EXPECT_EQ(option.Language, L"\uD55C");
    EXPECT_EQ(option.GameOptionVersion, 3);
    // Absent keys take the missing-key defaults, not the reset values.
    EXPECT_EQ(option.ScreenMode, L"FullScreen");
    EXPECT_EQ(option.ScreenHeight, 900);
    EXPECT_EQ(option.UIScale, 1);
    EXPECT_FLOAT_EQ(option.MipmapLODBias, -1.0f);
    EXPECT_TRUE(option.CheckRememberLoginID);
    EXPECT_TRUE(option.SoundSystemVoice);
    // The Config folder did not exist: created by the save's retry path.
    EXPECT_THAT(OptionFile(), StartsWith("{\n    \"GameOptionVersion\": \"3\",\n"));
    EXPECT_TRUE(boxes.empty());
    EXPECT_FALSE(std::filesystem::exists("log.txt"));
}

TEST_F(GameOptionLoadTest, HandWrittenFileOfTheSameVersionIsReadAndNotRewritten) {
    WriteText("DefaultOption.json", DefaultsJson(2, "\"ScreenWidth\": \"1024\""));
    const std::string hand =
        "{\"Unknown\": {\"a\": 1}, \"UIScaleNotUse\": \"1\", \"ScreenHeight\": 1080, \"ScreenMode\": "
        "\"WindowMode\",\n\"GameOptionVersion\": 2, \"ScreenWidth\": \"1920\", \"Fxaa\": \"true\", "
        "\"SoundMaster\": \"0\", \"MipmapLODBias\": \"0.25\", \"RememberLoginID\": \"\\uD55C\\uAE00 "
        "\\\"id\\\"\","
        " \"Language\": \"english\", \"ShadowQuality\": \"0\"}";
    WriteText("Config/Option.json", hand);
    ASSERT_TRUE(Load());
    EXPECT_EQ(option.ScreenWidth, 1920);
    EXPECT_EQ(option.ScreenHeight, 1080);
    EXPECT_TRUE(option.UIScaleNotUse);
    EXPECT_TRUE(option.Fxaa);
    EXPECT_FALSE(option.SoundMaster);
    EXPECT_FLOAT_EQ(option.MipmapLODBias, 0.25f);
    EXPECT_EQ(option.RememberLoginID, L"\uD55C\uAE00 \"id\"");
    EXPECT_EQ(option.ShadowQuality, 0);
    EXPECT_EQ(option.UIScale, 1);
    EXPECT_EQ(OptionFile(), hand);
}

TEST_F(GameOptionLoadTest, AnotherVersionIsReplacedWholeByTheDefaults) {
    WriteText("DefaultOption.json", DefaultsJson(5, "\"ScreenMode\": \"WindowFullScreen\""));
    // Without a readable version the file counts as version 0.
    for (const char* version : {"4", "new"}) {
        WriteText("Config/Option.json",
                  "{\"GameOptionVersion\": \"" + std::string(version) + "\", \"ScreenWidth\": \"1280\"}");
        ASSERT_TRUE(Load());
        EXPECT_EQ(option.ScreenMode, L"WindowFullScreen");
        EXPECT_EQ(option.ScreenWidth, 1600) << version;  // not carried over
        EXPECT_THAT(OptionFile(), HasSubstr("\"GameOptionVersion\": \"5\""));
        EXPECT_THAT(OptionFile(), HasSubstr("\"ScreenWidth\": \"1600\""));
    }

    // Version 0 on both sides keeps the file.
    WriteText("DefaultOption.json", "{\"GameOptionDefault\": {}}");
    WriteText("Config/Option.json", "{\"ScreenWidth\": \"1280\"}");
    ASSERT_TRUE(Load());
    EXPECT_EQ(option.ScreenWidth, 1280);
    EXPECT_EQ(option.GameOptionVersion, 0);
    EXPECT_EQ(OptionFile(), "{\"ScreenWidth\": \"1280\"}");
}

TEST_F(GameOptionLoadTest, WrongFormValuesTakeTheirMissingKeyDefaults) {
    WriteText("DefaultOption.json", DefaultsJson(1, ""));
    WriteText("Config/Option.json",
              "{\"GameOptionVersion\": \"1\", \"ScreenWidth\": \"wide\", \"ScreenHeight\": \"99999999999\", "
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

TEST_F(GameOptionLoadTest, BrokenOrMissingDefaultsFailWithResetValuesAndWriteNothing) {
    EXPECT_FALSE(Load());
    ExpectResetValues(option);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_THAT(boxes[0], HasSubstr(L"Function: COMMON_UTIL::GAME_OPTION::GameOption::Load\r\n"));
    EXPECT_THAT(boxes[0], HasSubstr(L"Expr: load json fail, DefaultOption.json"));
    EXPECT_FALSE(std::filesystem::exists("Config"));
    EXPECT_THAT(
        TempCurrentFolder::Read("log.txt"),
        HasSubstr("]COMMON_UTIL::GAME_OPTION::GameOption::Load()-load json fail, DefaultOption.json"));

    WriteText("DefaultOption.json", "{\"GameOptionVersion\": \"1\", ");
    EXPECT_FALSE(Load());
    ExpectResetValues(option);
    EXPECT_FALSE(std::filesystem::exists("Config"));

    // GameOptionDefault is needed when the option file is missing.
    WriteText("DefaultOption.json", "{\"GameOptionVersion\": \"1\"}");
    EXPECT_FALSE(Load());
    EXPECT_FALSE(std::filesystem::exists("Config"));
    EXPECT_EQ(boxes.size(), 3u);
}

TEST_F(GameOptionLoadTest, BrokenOptionFileIsLeftAsItIs) {
    WriteText("DefaultOption.json", DefaultsJson(1, ""));
    const std::string broken = "{\"GameOptionVersion\": \"1\", \"ScreenWidth\": ";
    WriteText("Config/Option.json", broken);
    EXPECT_FALSE(Load());
    ExpectResetValues(option);
    EXPECT_EQ(OptionFile(), broken);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_THAT(boxes[0], HasSubstr(L"Config/Option.json"));
}

TEST_F(GameOptionLoadTest, OptionFileThatCannotBeReadFailsTheLoadAndIsNotReplaced) {
    WriteText("DefaultOption.json", DefaultsJson(1, "\"ScreenWidth\": \"1280\""));
    auto expectLoadFailureFirst = [this](const char* what) {
        boxes.clear();
        EXPECT_FALSE(Load()) << what;
        ExpectResetValues(option);
        ASSERT_FALSE(boxes.empty()) << what;
        EXPECT_THAT(boxes[0], HasSubstr(L"Expr: load json fail, ")) << what;
        EXPECT_EQ(boxes.size(), 1u) << what;
    };

    std::filesystem::create_directories("Config/Option.json");
    expectLoadFailureFirst("a folder");
    EXPECT_TRUE(std::filesystem::is_directory("Config/Option.json"));
    std::filesystem::remove("Config/Option.json");

    std::filesystem::create_symlink("Option.json", "Config/Option.json");
    expectLoadFailureFirst("a link to itself");
    EXPECT_TRUE(std::filesystem::is_symlink("Config/Option.json"));
    std::filesystem::remove("Config/Option.json");

    // Without read permission; root reads it anyway, which is no fault, so
    // only that case is left out for root.
    if (geteuid() == 0) {
        std::cerr << "[ note ] no-read-permission case skipped: root reads any file\n";
    } else {
        WriteText("Config/Option.json", "{\"GameOptionVersion\": \"1\"}");
        std::filesystem::permissions("Config/Option.json", std::filesystem::perms::none);
        expectLoadFailureFirst("no read permission");
        std::filesystem::permissions("Config/Option.json", std::filesystem::perms::owner_all);
        EXPECT_EQ(OptionFile(), "{\"GameOptionVersion\": \"1\"}");
    }
}
