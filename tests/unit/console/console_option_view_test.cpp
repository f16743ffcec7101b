// The console front-end of the video option dialog: the dialog's rules are
// the model's (options tests); here only that the lines show and feed them.
#include "ui/console/console_option_view.h"

#include <gtest/gtest.h>

#include <deque>

#include "../options/option_dialog_fakes.h"

using ::testing::Contains;

namespace {
class ConsoleOptionTest : public OptionFileTest {
protected:
    // Runs the dialog over `input`; how many lines it left unread.
    size_t Run(std::deque<std::string> input) {
        FakeModeSource source(kModes);
        RunConsoleOptionDialog(
            [&input](std::string& line) {
                if (input.empty()) return false;
                line = input.front();
                input.pop_front();
                return true;
            },
            [this](const std::string& text) { output.push_back(text); }, source);
        return input.size();
    }
    std::vector<std::string> output;
};
}  // namespace

TEST_F(ConsoleOptionTest, ChoicesShowAndOkSavesThemWhileCancelAndEndOfInputSaveNothing) {
    Store("FullScreen", 1600, 1024);
    const std::string stored = OptionFile();
    for (auto input : {std::deque<std::string>{"mode 2", "resolution 2", "cancel"}, {"mode 2"}}) {
        Run(input);
        EXPECT_EQ(OptionFile(), stored);
    }
    output.clear();
    EXPECT_EQ(
        Run({"mode 1", "resolution 0", "mode 3", "mode 0", "resolution 4", "resolution 2", "ok", "mode 2"}),
        1u);
    const std::string help = "Type: mode 0|1|2, resolution <index>, ok or cancel.";
    EXPECT_EQ(std::count(output.begin(), output.end(), help), 2);  // with the dialog, then for "mode 3"
    for (const char* line : {"  [0] 1920 x 1080 (16:9)", "* [1] 1600 x 1024 (16:10)", "* 0 Fullscreen",
                             "  2 Window", "Current: Fullscreen, [1] 1600 x 1024 (16:10)",
                             "Resolution choice is disabled.", "No resolution has the index 4."})
        EXPECT_THAT(output, Contains(line));
    EXPECT_EQ(Member("ScreenMode"), "FullScreen");
    EXPECT_EQ(Member("ScreenWidth"), "2560");
    // Unloadable options leave only Ok and Cancel.
    std::filesystem::remove("DefaultOption.json");
    Run({"mode 2", "cancel"});
    EXPECT_THAT(output, Contains("Screen mode choice is disabled."));
}
