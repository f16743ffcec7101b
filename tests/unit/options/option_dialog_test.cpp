#include "launcher/options/option_dialog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "option_dialog_fakes.h"
#include "option_files.h"

using COMMON_UTIL::GAME_OPTION::GameOption;
using ::testing::ElementsAre;

namespace {

const std::vector<DisplayMode> kMixedModes = {{800, 600, 60},    {1920, 1080, 60}, {1600, 1024, 60},
                                              {1920, 1080, 75},  {3840, 2160, 60}, {2560, 1080, 60},
                                              {1920, 1080, 120}, {1024, 768, 60},  {1600, 1024, 75}};

const std::string kStoredFile =
    "{\"GameOptionVersion\": \"2\", \"ScreenMode\": \"WindowMode\", \"ScreenWidth\": \"1600\", "
    "\"ScreenHeight\": \"1024\", \"Language\": \"english\", \"Trail\": \"0\", \"MipmapLODBias\": \"0.5\", "
    "\"SoundMusicVolmue\": \"33\", \"RememberLoginID\": \"someone\"}";

std::string StoredFile(int w, int h, const char* mode) {
    return "{\"GameOptionVersion\": \"2\", \"ScreenMode\": \"" + std::string(mode) +
           "\", \"ScreenWidth\": \"" + std::to_string(w) + "\", \"ScreenHeight\": \"" + std::to_string(h) +
           "\"}";
}

class OptionDialogTest : public OptionFileTest {
protected:
    OptionDialogTest() { WriteText("DefaultOption.json", DefaultsJson(2, "")); }

    // Opens the dialog over `stored` (no option file when empty).
    bool Open(const std::string& stored, bool displayAnswers = true) {
        if (!stored.empty()) WriteText("Config/Option.json", stored);
        source = std::make_unique<FakeModeSource>(kMixedModes, displayAnswers);
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

TEST_F(OptionDialogTest, WindowedFullscreenShowsTheListDisabledWithTheSizeSelected) {
    ASSERT_TRUE(Open(StoredFile(1024, 768, "WindowFullScreen")));
    EXPECT_EQ(view.GetCheckedRadioIndex(), 1);
    EXPECT_FALSE(view.IsEnabled(IDC_LIST_RESOLUTION));
    EXPECT_EQ(view.selection, 3);

    Click(IDC_RADIO_FULLSCREEN);
    EXPECT_TRUE(view.IsEnabled(IDC_LIST_RESOLUTION));
    EXPECT_EQ(dialog->Options().ScreenMode, L"FullScreen");
    Click(IDC_RADIO_WINDOWED_FULLSCREEN);
    EXPECT_FALSE(view.IsEnabled(IDC_LIST_RESOLUTION));
    EXPECT_THAT(view.invalidated, ElementsAre(IDC_LIST_RESOLUTION, IDC_LIST_RESOLUTION));
    // Switching the mode keeps the stored size.
    EXPECT_EQ(dialog->Options().ScreenWidth, 1024);
}

TEST_F(OptionDialogTest, UnofferedSizeAndUnknownModeSelectNothingAndSurviveOk) {
    ASSERT_TRUE(Open(StoredFile(800, 600, "Borderless")));
    EXPECT_EQ(view.selection, -1);
    EXPECT_EQ(view.GetCheckedRadioIndex(), -1);
    EXPECT_EQ(dialog->ScreenMode(), 0);
    dialog->OnBnClickedButtonOk();
    EXPECT_EQ(view.closes, 1);
    EXPECT_EQ(Member("ScreenMode"), "Borderless");
    EXPECT_EQ(Member("ScreenWidth"), "800");
}

TEST_F(OptionDialogTest, NoDisplayLeavesTheListEmptyButModesWork) {
    ASSERT_TRUE(Open(kStoredFile, false));
    EXPECT_TRUE(view.items.empty());
    Click(IDC_RADIO_FULLSCREEN);
    Select(0);  // without entries this changes nothing
    dialog->OnBnClickedButtonOk();
    EXPECT_EQ(Member("ScreenMode"), "FullScreen");
    EXPECT_EQ(Member("ScreenWidth"), "1600");
    EXPECT_EQ(Member("ScreenHeight"), "1024");
}

TEST_F(OptionDialogTest, UnloadableOptionsDisableEveryChoiceAndOkKeepsThePlayersFile) {
    std::filesystem::remove("DefaultOption.json");
    EXPECT_FALSE(Open(kStoredFile));
    for (int id :
         {IDC_LIST_RESOLUTION, IDC_RADIO_FULLSCREEN, IDC_RADIO_WINDOWED_FULLSCREEN, IDC_RADIO_WINDOW})
        EXPECT_FALSE(view.IsEnabled(id)) << id;
    EXPECT_TRUE(view.items.empty());
    EXPECT_EQ(view.GetCheckedRadioIndex(), -1);
    // The store holds reset values, not the player's options: OK writes nothing.
    dialog->OnBnClickedButtonOk();
    EXPECT_EQ(view.closes, 1);
    EXPECT_EQ(OptionFile(), kStoredFile);
}

TEST_F(OptionDialogTest, OkWritesTheChosenModeAndSizeAndEverythingElseAsLoaded) {
    WriteText("Config/Option.json", kStoredFile);
    // What a plain load and save writes: the reference for every other member.
    GameOption plain;
    ASSERT_TRUE(plain.Load(L"DefaultOption.json", std::locale()));
    plain.Save(std::locale());
    auto expected = ParseOptionFile();

    ASSERT_TRUE(Open(""));
    Click(IDC_RADIO_FULLSCREEN);
    Select(2);
    dialog->OnBnClickedButtonOk();
    EXPECT_EQ(view.closes, 1);

    expected.put("ScreenMode", "FullScreen");
    expected.put("ScreenWidth", "2560");
    expected.put("ScreenHeight", "1080");
    EXPECT_EQ(ParseOptionFile(), expected);
    EXPECT_EQ(Member("Language"), "english");
    EXPECT_EQ(Member("Trail"), "false");
    EXPECT_EQ(Member("SoundMusicVolmue"), "33");
}
