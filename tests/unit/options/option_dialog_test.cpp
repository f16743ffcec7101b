#include "launcher/options/option_dialog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <boost/property_tree/json_parser.hpp>

#include "common/diagnostics/custom_assert.h"
#include "option_dialog_fakes.h"
#include "support/temp_current_folder.h"
#include "option_files.h"

using ::testing::ElementsAre;

namespace {

const std::vector<DisplayMode> kMixedModes = {{800, 600, 60},    {1920, 1080, 60}, {1600, 1024, 60},
                                              {1920, 1080, 75},  {3840, 2160, 60}, {2560, 1080, 60},
                                              {1920, 1080, 120}, {1024, 768, 60},  {1600, 1024, 75}};

const std::string kStoredFile =
    "{\"GameOptionVersion\": \"2\", \"ScreenMode\": \"WindowMode\", \"ScreenWidth\": \"1600\", "
    "\"ScreenHeight\": "
    "\"1024\", \"Language\": \"english\", \"Trail\": \"0\", \"MipmapLODBias\": \"0.5\", "
    "\"SoundMusicVolmue\": "
    "\"33\", \"RememberLoginID\": \"someone\"}";

class OptionDialogTest : public ::testing::Test {
protected:
    OptionDialogTest() {
        CustomAssert::SetMessageBoxHandler(
            [](const std::wstring&, const std::wstring&) { return CustomAssert::kIgnore; });
        WriteText("DefaultOption.json", DefaultsJson(2, ""));
    }
    ~OptionDialogTest() override { CustomAssert::SetMessageBoxHandler(nullptr); }
    std::string OptionFile() const { return TempCurrentFolder::Read(folder.Path() / "Config/Option.json"); }

    TempCurrentFolder folder;
    RecordingOptionView view;
};

boost::property_tree::ptree ParseFile(const std::filesystem::path& path) {
    boost::property_tree::ptree tree;
    boost::property_tree::read_json(path.string(), tree);
    return tree;
}

}  // namespace

TEST_F(OptionDialogTest, OffersTableModesOncePerResolutionInSourceOrderWithTableLabels) {
    WriteText("Config/Option.json", kStoredFile);
    FakeModeSource source(kMixedModes);
    COptionDialog dialog(view, source);
    ASSERT_TRUE(dialog.OnInitDialog());
    EXPECT_THAT(view.items, ElementsAre(L"1920 x 1080 (16:9)", L"1600 x 1024 (16:10)", L"2560 x 1080 (16:7)",
                                        L"1024 x 768 (4:3)"));
    ASSERT_EQ(dialog.DisplayModes().size(), 4u);
    EXPECT_EQ(dialog.DisplayModes()[2].nRatioX, 16u);
    EXPECT_EQ(dialog.DisplayModes()[2].nRatioY, 7u);
    // The stored 1600 x 1024 is selected, Window checked, the list enabled.
    EXPECT_EQ(view.selection, 1);
    EXPECT_EQ(view.GetCheckedRadioIndex(), 2);
    EXPECT_EQ(dialog.ScreenMode(), 2);
    EXPECT_TRUE(view.IsEnabled(IDC_LIST_RESOLUTION));
}

TEST_F(OptionDialogTest, WindowedFullscreenShowsTheListDisabledWithTheSizeSelected) {
    WriteText(
        "Config/Option.json",
        "{\"GameOptionVersion\": \"2\", \"ScreenMode\": \"WindowFullScreen\", \"ScreenWidth\": \"1024\", "
        "\"ScreenHeight\": \"768\"}");
    FakeModeSource source(kMixedModes);
    COptionDialog dialog(view, source);
    ASSERT_TRUE(dialog.OnInitDialog());
    EXPECT_EQ(view.GetCheckedRadioIndex(), 1);
    EXPECT_FALSE(view.IsEnabled(IDC_LIST_RESOLUTION));
    EXPECT_EQ(view.selection, 3);

    view.ClickRadio(IDC_RADIO_FULLSCREEN);
    dialog.OnBnClickedRadio(IDC_RADIO_FULLSCREEN);
    EXPECT_TRUE(view.IsEnabled(IDC_LIST_RESOLUTION));
    EXPECT_EQ(dialog.Options().ScreenMode, L"FullScreen");
    view.ClickRadio(IDC_RADIO_WINDOWED_FULLSCREEN);
    dialog.OnBnClickedRadio(IDC_RADIO_WINDOWED_FULLSCREEN);
    EXPECT_FALSE(view.IsEnabled(IDC_LIST_RESOLUTION));
    EXPECT_THAT(view.invalidated, ElementsAre(IDC_LIST_RESOLUTION, IDC_LIST_RESOLUTION));
    // Switching the mode keeps the stored size.
    EXPECT_EQ(dialog.Options().ScreenWidth, 1024);
}

TEST_F(OptionDialogTest, UnofferedSizeAndUnknownModeSelectNothingAndSurviveOk) {
    WriteText("Config/Option.json",
              "{\"GameOptionVersion\": \"2\", \"ScreenMode\": \"Borderless\", \"ScreenWidth\": \"800\", "
              "\"ScreenHeight\": \"600\"}");
    FakeModeSource source(kMixedModes);
    COptionDialog dialog(view, source);
    ASSERT_TRUE(dialog.OnInitDialog());
    EXPECT_EQ(view.selection, -1);
    EXPECT_EQ(view.GetCheckedRadioIndex(), -1);
    EXPECT_EQ(dialog.ScreenMode(), 0);
    dialog.OnBnClickedButtonOk();
    EXPECT_EQ(view.closes, 1);
    const auto tree = ParseFile(folder.Path() / "Config/Option.json");
    EXPECT_EQ(tree.get<std::string>("ScreenMode"), "Borderless");
    EXPECT_EQ(tree.get<std::string>("ScreenWidth"), "800");
}

TEST_F(OptionDialogTest, NoDisplayLeavesTheListEmptyButModesWork) {
    WriteText("Config/Option.json", kStoredFile);
    FakeModeSource source(kMixedModes, false);
    COptionDialog dialog(view, source);
    ASSERT_TRUE(dialog.OnInitDialog());
    EXPECT_TRUE(view.items.empty());
    view.ClickRadio(IDC_RADIO_FULLSCREEN);
    dialog.OnBnClickedRadio(IDC_RADIO_FULLSCREEN);
    // A selection change without entries changes nothing.
    view.selection = 0;
    dialog.OnLbnSelchangeListResolution();
    dialog.OnBnClickedButtonOk();
    const auto tree = ParseFile(folder.Path() / "Config/Option.json");
    EXPECT_EQ(tree.get<std::string>("ScreenMode"), "FullScreen");
    EXPECT_EQ(tree.get<std::string>("ScreenWidth"), "1600");
    EXPECT_EQ(tree.get<std::string>("ScreenHeight"), "1024");
}

TEST_F(OptionDialogTest, UnloadableOptionsDisableEveryChoice) {
    std::filesystem::remove("DefaultOption.json");
    FakeModeSource source(kMixedModes);
    COptionDialog dialog(view, source);
    EXPECT_FALSE(dialog.OnInitDialog());
    for (int id :
         {IDC_LIST_RESOLUTION, IDC_RADIO_FULLSCREEN, IDC_RADIO_WINDOWED_FULLSCREEN, IDC_RADIO_WINDOW}) {
        EXPECT_FALSE(view.IsEnabled(id)) << id;
    }
    EXPECT_TRUE(view.items.empty());
    EXPECT_EQ(view.GetCheckedRadioIndex(), -1);
    dialog.OnBnClickedButtonCancel();
    EXPECT_EQ(view.closes, 1);
    EXPECT_FALSE(std::filesystem::exists(folder.Path() / "Config"));
}

TEST_F(OptionDialogTest, CancelLeavesTheFileAsItWasWhenTheDialogOpened) {
    WriteText("Config/Option.json", kStoredFile);
    FakeModeSource source(kMixedModes);
    COptionDialog dialog(view, source);
    ASSERT_TRUE(dialog.OnInitDialog());
    view.ClickRadio(IDC_RADIO_WINDOW);
    dialog.OnBnClickedRadio(IDC_RADIO_WINDOW);
    view.selection = 0;
    dialog.OnLbnSelchangeListResolution();
    dialog.OnBnClickedButtonCancel();
    EXPECT_EQ(view.closes, 1);
    EXPECT_EQ(OptionFile(), kStoredFile);
}

TEST_F(OptionDialogTest, OkWritesTheChosenModeAndSizeAndEverythingElseAsLoaded) {
    WriteText("Config/Option.json", kStoredFile);
    {
        // What an unchanged store writes: the reference for every other member.
        RecordingOptionView quiet;
        FakeModeSource source(kMixedModes);
        COptionDialog dialog(quiet, source);
        ASSERT_TRUE(dialog.OnInitDialog());
        dialog.OnBnClickedButtonOk();
    }
    auto expected = ParseFile(folder.Path() / "Config/Option.json");

    FakeModeSource source(kMixedModes);
    COptionDialog dialog(view, source);
    ASSERT_TRUE(dialog.OnInitDialog());
    view.ClickRadio(IDC_RADIO_FULLSCREEN);
    dialog.OnBnClickedRadio(IDC_RADIO_FULLSCREEN);
    view.selection = 2;
    dialog.OnLbnSelchangeListResolution();
    dialog.OnBnClickedButtonOk();
    EXPECT_EQ(view.closes, 1);

    expected.put("ScreenMode", "FullScreen");
    expected.put("ScreenWidth", "2560");
    expected.put("ScreenHeight", "1080");
    const auto written = ParseFile(folder.Path() / "Config/Option.json");
    EXPECT_EQ(written, expected);
    EXPECT_EQ(written.get<std::string>("Language"), "english");
    EXPECT_EQ(written.get<std::string>("Trail"), "false");
    EXPECT_EQ(written.get<std::string>("SoundMusicVolmue"), "33");
    EXPECT_EQ(written.get<std::string>("RememberLoginID"), "someone");
}
