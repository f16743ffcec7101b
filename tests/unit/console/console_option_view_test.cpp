#include "ui/console/console_option_view.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <deque>

#include "../options/option_dialog_fakes.h"
#include "../options/option_files.h"

using ::testing::Contains;
using ::testing::HasSubstr;

namespace {

const std::string kStored =
    "{\"GameOptionVersion\": \"1\", \"ScreenMode\": \"FullScreen\", \"ScreenWidth\": \"1280\", "
    "\"ScreenHeight\": \"720\"}";

class ConsoleOptionTest : public OptionFileTest {
protected:
    ConsoleOptionTest() {
        WriteText("DefaultOption.json", DefaultsJson(1, ""));
        WriteText("Config/Option.json", kStored);
    }

    void Run(std::deque<std::string> input) {
        FakeModeSource source({{1280, 720, 60}, {1920, 1080, 60}, {640, 480, 60}, {1280, 720, 75}});
        RunConsoleOptionDialog(
            [&input](std::string& line) {
                if (input.empty()) return false;
                line = input.front();
                input.pop_front();
                return true;
            },
            [this](const std::string& text) { output.push_back(text); }, source);
        leftOver = input.size();
    }

    std::vector<std::string> output;
    size_t leftOver = 0;
};

}  // namespace

TEST_F(ConsoleOptionTest, ShowsModesWithIndexesScreenModesAndTheCurrentChoice) {
    Run({"cancel"});
    for (const char* line :
         {"* [0] 1280 x 720 (16:9)", "  [1] 1920 x 1080 (16:9)", "* 0 Fullscreen", "  1 Windowed fullscreen",
          "  2 Window", "Current: Fullscreen, [0] 1280 x 720 (16:9)"})
        EXPECT_THAT(output, Contains(line));
    EXPECT_THAT(output, Contains(HasSubstr("640 x 480")).Times(0));
    EXPECT_EQ(OptionFile(), kStored);
}

TEST_F(ConsoleOptionTest, ChoicesThenOkSaveThem) {
    Run({"resolution 1", "mode 2", "ok", "mode 0"});
    EXPECT_EQ(Member("ScreenMode"), "WindowMode");
    EXPECT_EQ(Member("ScreenWidth"), "1920");
    EXPECT_EQ(Member("ScreenHeight"), "1080");
    EXPECT_EQ(leftOver, 1u);  // the dialog ended at ok

    Run({"mode 1", "resolution 0", "ok"});
    EXPECT_THAT(output, Contains("Resolution choice is disabled."));
    EXPECT_EQ(Member("ScreenMode"), "WindowFullScreen");
    EXPECT_EQ(Member("ScreenWidth"), "1920");
}

TEST_F(ConsoleOptionTest, CancelAndEndOfInputSaveNothing) {
    Run({"mode 2", "resolution 1", "cancel"});
    EXPECT_EQ(OptionFile(), kStored);
    Run({"mode 2", "resolution 1"});
    EXPECT_EQ(OptionFile(), kStored);
    EXPECT_THAT(output, Contains("Cancelled: nothing saved."));
}

TEST_F(ConsoleOptionTest, BadLinesGetHelpAndChangeNothing) {
    Run({"resolution 9", "resolution -1", "resolution x", "mode 3", "mode 1 2", "hello", "", "ok"});
    EXPECT_THAT(output, Contains("No resolution has the index 9."));
    const auto helps = std::count(output.begin(), output.end(),
                                  std::string("Type: mode 0|1|2, resolution <index>, ok or cancel."));
    EXPECT_EQ(helps, 1 + 5);  // once with the dialog, then once per bad line
    EXPECT_EQ(Member("ScreenMode"), "FullScreen");
    EXPECT_EQ(Member("ScreenWidth"), "1280");
}

TEST_F(ConsoleOptionTest, UnloadableOptionsLeaveOnlyOkAndCancel) {
    std::filesystem::remove("DefaultOption.json");
    Run({"mode 2", "resolution 0", "cancel"});
    for (const char* line :
         {"Screen mode choice is disabled.", "Resolution choice is disabled.", "  (no resolution offered)"})
        EXPECT_THAT(output, Contains(line));
    EXPECT_EQ(OptionFile(), kStored);
}
