// The video option dialog's rules, in the model: the mode decides whether the
// list is open, an unoffered size or unknown mode selects nothing and
// survives OK, unloadable options disable every choice and OK keeps the file.
#include "launcher/options/option_dialog.h"

#include "support/test_common.h"

#include "services/game_option/game_option.h"
#include "option_dialog_fakes.h"

namespace {
class OptionDialogTest : public OptionFileTest {
protected:
    bool Open(bool displayAnswers = true) {
        source = std::make_unique<FakeModeSource>(kModes, displayAnswers);
        dialog = std::make_unique<COptionDialog>(view, *source);
        return dialog->OnInitDialog();
    }
    void Click(int id) {
        view.ClickRadio(id);
        dialog->OnBnClickedRadio(id);
    }
    void Select(int index) {
        view.selection = index;
        dialog->OnLbnSelchangeListResolution();
    }
    RecordingOptionView view;
    std::unique_ptr<FakeModeSource> source;
    std::unique_ptr<COptionDialog> dialog;
};
}  // namespace

TEST_F(OptionDialogTest, UnofferedSizeAndUnknownModeSelectNothingAndSurviveOk) {
    Store("Borderless", 800, 600);
    ASSERT_TRUE(Open());
    EXPECT_EQ(view.selection, -1);
    EXPECT_EQ(view.GetCheckedRadioIndex(), -1);
    EXPECT_EQ(dialog->ScreenMode(), 0);
    dialog->OnBnClickedButtonOk();
    EXPECT_EQ(view.closes, 1);
    EXPECT_EQ(Member("ScreenMode"), "Borderless");
    EXPECT_EQ(Member("ScreenWidth"), "800");
}

TEST_F(OptionDialogTest, UnloadableOptionsDisableEveryChoiceAndOkKeepsThePlayersFile) {
    Store("WindowMode", 1600, 1024);
    std::filesystem::remove("DefaultOption.json");
    const std::string stored = OptionFile();
    EXPECT_FALSE(Open());
    for (int id :
         {IDC_LIST_RESOLUTION, IDC_RADIO_FULLSCREEN, IDC_RADIO_WINDOWED_FULLSCREEN, IDC_RADIO_WINDOW})
        EXPECT_FALSE(view.IsEnabled(id)) << id;
    EXPECT_TRUE(view.items.empty());
    EXPECT_EQ(view.GetCheckedRadioIndex(), -1);
    // The store holds reset values, not the player's options: OK writes nothing.
    dialog->OnBnClickedButtonOk();
    EXPECT_EQ(view.closes, 1);
    EXPECT_EQ(OptionFile(), stored);
}

TEST_F(OptionDialogTest, WindowedFullscreenClosesTheListKeepingTheSizeAndOkWritesTheChoiceAndTheRestAsLoaded) {
    for (bool displayAnswers : {true, false}) {
        Store("WindowFullScreen", 1600, 1024);
        // What a plain load and save writes: the reference for every other member.
        COMMON_UTIL::GAME_OPTION::GameOption plain;
        ASSERT_TRUE(plain.Load(L"DefaultOption.json", std::locale()));
        plain.Save(std::locale());
        auto expected = ParseOptionFile();
        ASSERT_TRUE(Open(displayAnswers));
        EXPECT_EQ(view.items.size(), displayAnswers ? 4u : 0u);
        EXPECT_EQ(view.GetCheckedRadioIndex(), 1);
        EXPECT_FALSE(view.IsEnabled(IDC_LIST_RESOLUTION));
        EXPECT_EQ(view.selection, displayAnswers ? 1 : -1);
        Click(IDC_RADIO_FULLSCREEN);
        EXPECT_TRUE(view.IsEnabled(IDC_LIST_RESOLUTION));
        Click(IDC_RADIO_WINDOWED_FULLSCREEN);
        EXPECT_FALSE(view.IsEnabled(IDC_LIST_RESOLUTION));
        EXPECT_EQ(dialog->Options().ScreenWidth, 1600);
        Click(IDC_RADIO_FULLSCREEN);
        EXPECT_EQ(dialog->Options().ScreenMode, L"FullScreen");
        Select(2);  // without entries this changes nothing
        dialog->OnBnClickedButtonOk();
        expected.put("ScreenMode", "FullScreen");
        if (displayAnswers) expected.put("ScreenWidth", "2560"), expected.put("ScreenHeight", "1080");
        EXPECT_EQ(ParseOptionFile(), expected) << displayAnswers;
        EXPECT_EQ(Member("Language"), "english");
        view = RecordingOptionView();
    }
}
