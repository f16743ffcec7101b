// The option store: loading against the defaults file, saving, and what
// either does with files it cannot use.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <regex>
#include <sstream>

#include "services/game_option/game_option.h"
#include "option_dialog_fakes.h"
#include "support/links.h"

using COMMON_UTIL::GAME_OPTION::GameOption;
using ::testing::HasSubstr;

namespace {

class GameOptionTest : public OptionFileTest {
protected:
    bool Load() { return option.Load(L"DefaultOption.json", std::locale()); }
    // Each blank-separated "Key=value" of `pairs` against the option file.
    void ExpectMembers(const std::string& pairs, const std::string& what) const {
        const auto tree = ParseOptionFile();
        std::istringstream in(pairs);
        for (std::string pair; in >> pair;) {
            const size_t eq = pair.find('=');
            EXPECT_EQ(tree.get<std::string>(pair.substr(0, eq), "?"), pair.substr(eq + 1)) << what;
        }
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

TEST_F(GameOptionTest, LoadTakesTheFileOfTheDefaultsVersionOrTheDefaultsAndFailsWithResetValues) {
    enum After { kKept, kSaved, kNone };  // the option file: untouched, what a save writes, absent
    const std::string reset = "ScreenMode=WindowMode ScreenWidth=0 UIScale=100 Language=korean";
    const std::string v1 = DefaultsJson(1, "\"ScreenWidth\": \"1280\""), v5 = DefaultsJson(5, "");
    const struct {
        const char* what;
        std::string defaults;             // "": none
        std::optional<std::string> file;  // "<folder>", "<self-link>" or the text; none when empty
        bool loads;
        After after;
        std::string members;  // as a save of what was loaded writes them
    } rows[] = {
        // clang-format off
        // A mark is accepted; absent keys take the missing-key defaults, not the reset values.
        {"no file", "\xEF\xBB\xBF" + DefaultsJson(3, R"("ScreenWidth": "1280", "GameOptionVersion": "9", "Language": ")" "\xED\x95\x9C\""), {}, true, kSaved,
         "GameOptionVersion=3 ScreenWidth=1280 Language=\xED\x95\x9C ScreenMode=FullScreen CheckRememberLoginID=true"},
        {"same version", DefaultsJson(2, "\"ScreenWidth\": \"1024\""), R"({"Unknown": {"a": 1}, "UIScaleNotUse": "1", "ScreenHeight": 1080, "GameOptionVersion": 2, "ScreenWidth": "1920", "Fxaa": "true", "SoundMaster": "0", "MipmapLODBias": "0.25", "RememberLoginID": "\uD55C\uAE00\"id\"", "ShadowQuality": "0"})", true, kKept,
         "ScreenWidth=1920 ScreenHeight=1080 UIScaleNotUse=true Fxaa=true SoundMaster=false MipmapLODBias=0.25 RememberLoginID=\xED\x95\x9C\xEA\xB8\x80\"id\" ShadowQuality=0 UIScale=1"},
        {"wrong forms", DefaultsJson(2, ""), R"({"GameOptionVersion": "2", "ScreenWidth": "wide", "ScreenHeight": "99999999999", "ScreenCheck": "yes", "MipmapLODBias": "1.5x", "UIScale": "", "TextureQuality": "1"})", true, kKept,
         "ScreenWidth=1600 ScreenHeight=900 ScreenCheck=true MipmapLODBias=-1 UIScale=1 TextureQuality=1"},
        {"older version", DefaultsJson(5, "\"ScreenMode\": \"WindowFullScreen\""), R"({"GameOptionVersion": "4", "ScreenWidth": "1280"})", true, kSaved, "GameOptionVersion=5 ScreenMode=WindowFullScreen ScreenWidth=1600"},
        {"unreadable version", v5, R"({"GameOptionVersion": "new", "ScreenWidth": "1280"})", true, kSaved, "GameOptionVersion=5 ScreenWidth=1600"},
        {"version 0 on both sides", R"({"GameOptionDefault": {}})", R"({"ScreenWidth": "1280"})", true, kKept, "GameOptionVersion=0 ScreenWidth=1280"},
        {"no defaults", "", {}, false, kNone, reset},
        {"broken defaults", R"({"GameOptionVersion": "1", )", {}, false, kNone, reset},
        {"defaults without members", R"({"GameOptionVersion": "1"})", {}, false, kNone, reset},
        {"broken file", v1, R"({"GameOptionVersion": "1", "ScreenWidth": )", false, kKept, reset},
        {"a folder", v1, "<folder>", false, kKept, reset},
        {"a link to itself", v1, "<self-link>", false, kKept, reset},
        // clang-format on
    };
    for (const auto& row : rows) {
        for (const char* old : {"Config", "DefaultOption.json", "log.txt"}) std::filesystem::remove_all(old);
        boxes.clear();
        if (!row.defaults.empty()) WriteText("DefaultOption.json", row.defaults);
        std::filesystem::create_directories("Config");
        if (row.file == "<folder>") {
            std::filesystem::create_directories("Config/Option.json");
        } else if (row.file == "<self-link>") {
            if (!MakeFileLink("Option.json", "Config/Option.json")) continue;  // no links here
        } else if (row.file) {
            WriteText("Config/Option.json", *row.file);
        } else {
            std::filesystem::remove("Config");  // created by the save's retry path
        }
        const auto type = std::filesystem::symlink_status("Config/Option.json").type();
        const std::string before = row.file ? OptionFile() : "";
        EXPECT_EQ(Load(), row.loads) << row.what;
        EXPECT_EQ(boxes.size(), row.loads ? 0u : 1u) << row.what;
        EXPECT_EQ(std::filesystem::exists("log.txt"), !row.loads) << row.what;
        if (!row.loads) {
            EXPECT_THAT(boxes.at(0), HasSubstr(L"Expr: load json fail, ")) << row.what;
            EXPECT_THAT(TempCurrentFolder::Read("log.txt"),
                        HasSubstr("]COMMON_UTIL::GAME_OPTION::GameOption::Load()-load json fail, "));
        }
        const std::string after = OptionFile();
        EXPECT_EQ(std::filesystem::exists("Config"), row.after != kNone) << row.what;
        if (row.after == kKept) {
            EXPECT_EQ(std::filesystem::symlink_status("Config/Option.json").type(), type) << row.what;
            EXPECT_EQ(after, before) << row.what;
        }
        std::filesystem::remove_all("Config");
        option.Save(std::locale());
        if (row.after == kSaved) EXPECT_EQ(after, OptionFile()) << row.what;
        ExpectMembers(row.members, row.what);
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
