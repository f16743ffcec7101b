// The video option dialog on a real X server, read and clicked through
// AT-SPI and the pointer: its texts, list order and stored choice, the saving
// OK, the Cancel that saves nothing, and its modality over the main window.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "dialog_driver.h"
#include "ui/gtk/gtk_option_dialog.h"
#include "unit/options/option_dialog_fakes.h"
#include "unit/options/option_files.h"
#include "widget_session.h"

using ::testing::ElementsAre;

namespace {

const char kTitle[] = "Video option";
constexpr int kParentX = 100, kParentY = 50;

std::string Stored(const std::string& mode, int width, int height) {
    return "{\"GameOptionVersion\": \"1\", \"ScreenMode\": \"" + mode + "\", \"ScreenWidth\": \"" +
           std::to_string(width) + "\", \"ScreenHeight\": \"" + std::to_string(height) +
           "\", \"Fxaa\": \"1\", \"SoundMusicVolmue\": \"37\"}";
}

// Modes in the adapter's order: unsorted, a resolution at two rates, sizes
// outside the table.
FakeModeSource UnsortedModes() {
    return FakeModeSource({{1280, 720, 60},
                           {1920, 1080, 60},
                           {800, 600, 60},
                           {1024, 768, 60},
                           {1920, 1080, 75},
                           {3840, 2160, 60},
                           {1600, 1024, 60}});
}

class OptionDialogTest : public OptionFileTest {
protected:
    OptionDialogTest() {
        WidgetSession::Get();
        parent = std::make_unique<TestWindow>(820, 545, kParentX, kParentY);
        behind = gtk_button_new_with_label("Behind");
        gtk_widget_set_size_request(behind, 100, 40);
        gtk_fixed_put(parent->Fixed(), behind, 10, 10);
        g_signal_connect(behind, "clicked",
                         G_CALLBACK(+[](GtkButton*, gpointer n) { ++*static_cast<int*>(n); }), &behindClicks);
        EXPECT_TRUE(parent->ShowAndWait());
    }

    // Opens the dialog while the driver runs `steps`, until OK or Cancel ends it.
    std::unique_ptr<DialogDriver> Run(DisplayModeSource& modes, const std::vector<std::string>& steps) {
        auto driver = std::make_unique<DialogDriver>(kTitle, steps);
        const unsigned watchdog = CloseDialogAfter(kTitle, std::chrono::seconds(30));
        RunGtkOptionDialog(parent->Window(), modes);
        EXPECT_EQ(driver->Finish(), 0) << driver->Errors();
        // The watchdog still pending means the dialog ended by the driver's clicks.
        EXPECT_NE(g_main_context_find_source_by_id(nullptr, watchdog), nullptr) << "the dialog never ended";
        if (GSource* source = g_main_context_find_source_by_id(nullptr, watchdog)) g_source_destroy(source);
        return driver;
    }

    static std::vector<std::string> Texts(const std::vector<DialogControl>& controls) {
        std::vector<std::string> texts;
        for (const DialogControl& control : controls) texts.push_back(control.text);
        return texts;
    }
    static std::vector<std::string> TextsWith(const std::vector<DialogControl>& controls,
                                              const std::string& state) {
        std::vector<std::string> texts;
        for (const DialogControl& control : controls) {
            if (control.Has(state)) texts.push_back(control.text);
        }
        return texts;
    }

    std::unique_ptr<TestWindow> parent;
    GtkWidget* behind = nullptr;
    int behindClicks = 0;
};

TEST_F(OptionDialogTest, ShowsTheTemplatesControlsTheModesInAdapterOrderAndTheStoredChoice) {
    WriteText("DefaultOption.json", DefaultsJson(1, ""));
    const std::string stored = Stored("WindowMode", 1024, 768);
    WriteText("Config/Option.json", stored);
    FakeModeSource modes = UnsortedModes();
    auto driver = Run(modes, {"dump", "click:Cancel"});
    ASSERT_EQ(driver->Dumps().size(), 1u);
    const auto& dump = driver->Dumps()[0];

    ASSERT_FALSE(dump.empty());
    EXPECT_EQ(dump[0].role, "dialog");
    EXPECT_EQ(dump[0].text, kTitle);
    EXPECT_TRUE(dump[0].Has("modal"));
    const auto radios = DialogDriver::WithRole(dump, "radio button");
    EXPECT_THAT(Texts(radios), ElementsAre("Fullscreen", "Windowed fullscreen", "Window"));
    EXPECT_THAT(TextsWith(radios, "checked"), ElementsAre("Window"));
    EXPECT_THAT(TextsWith(radios, "sensitive"), ElementsAre("Fullscreen", "Windowed fullscreen", "Window"));
    const auto buttons = DialogDriver::WithRole(dump, "push button");
    EXPECT_THAT(Texts(buttons), ElementsAre("Ok", "Cancel"));
    EXPECT_THAT(Texts(DialogDriver::WithRole(dump, "label")), ::testing::Contains("Resolution"));
    const auto rows = DialogDriver::WithRole(dump, "list item");
    EXPECT_THAT(Texts(rows), ElementsAre("1280 x 720 (16:9)", "1920 x 1080 (16:9)", "1024 x 768 (4:3)",
                                         "1600 x 1024 (16:10)"));
    EXPECT_THAT(TextsWith(rows, "selected"), ElementsAre("1024 x 768 (4:3)"));

    // The template's places, in pixels of its 8 pt font (6 x 13 base units),
    // measured from the list's frame at (6,18) dialog units.
    const auto panes = DialogDriver::WithRole(dump, "scroll pane");
    ASSERT_EQ(panes.size(), 1u);
    ASSERT_EQ(buttons.size(), 2u);
    ASSERT_EQ(radios.size(), 3u);
    const DialogControl& list = panes[0];
    EXPECT_EQ(list.width, 210);
    EXPECT_EQ(list.height, 206);
    EXPECT_EQ(buttons[0].x - list.x, 69);  // Ok at (52,189)
    EXPECT_EQ(buttons[0].y - list.y, 278);
    EXPECT_EQ(buttons[1].x - list.x, 144);  // Cancel at (102,189)
    EXPECT_EQ(radios[0].y - list.y, 213);   // Fullscreen at (9,149)
    EXPECT_EQ(radios[2].y - list.y, 255);   // Window at (9,175)

    EXPECT_EQ(OptionFile(), stored) << "Cancel wrote the options";
}

TEST_F(OptionDialogTest, ChoosingAModeAndAResolutionThenOkSavesThemFromTheDisplaysOwnModes) {
    WriteText("DefaultOption.json", DefaultsJson(1, ""));
    // A size the display does not offer: nothing is selected until the player picks.
    WriteText("Config/Option.json", Stored("FullScreen", 1280, 720));
    auto modes = DisplayModeSource::Create();
    auto driver = Run(*modes, {"dump", "click:Window", "row:0", "click:Ok"});
    ASSERT_EQ(driver->Dumps().size(), 1u);
    const auto rows = DialogDriver::WithRole(driver->Dumps()[0], "list item");
    // The test server's one mode.
    EXPECT_THAT(Texts(rows), ElementsAre("1920 x 1080 (16:9)"));
    EXPECT_THAT(TextsWith(rows, "selected"), ElementsAre());

    EXPECT_EQ(Member("ScreenMode"), "WindowMode");
    EXPECT_EQ(Member("ScreenWidth"), "1920");
    EXPECT_EQ(Member("ScreenHeight"), "1080");
    EXPECT_EQ(Member("SoundMusicVolmue"), "37");
}

TEST_F(OptionDialogTest, WindowedFullscreenDisablesTheListAndCancelAfterChoicesSavesNothing) {
    WriteText("DefaultOption.json", DefaultsJson(1, ""));
    const std::string stored = Stored("WindowMode", 1920, 1080);
    WriteText("Config/Option.json", stored);
    FakeModeSource modes = UnsortedModes();
    auto driver = Run(modes, {"click:Fullscreen", "row:0", "click:Windowed fullscreen", "dump", "row:2",
                              "dump", "click:Cancel"});
    ASSERT_EQ(driver->Dumps().size(), 2u);
    for (const auto& dump : driver->Dumps()) {
        const auto panes = DialogDriver::WithRole(dump, "scroll pane");
        ASSERT_EQ(panes.size(), 1u);
        EXPECT_FALSE(panes[0].Has("sensitive"));
        EXPECT_THAT(TextsWith(DialogDriver::WithRole(dump, "radio button"), "checked"),
                    ElementsAre("Windowed fullscreen"));
        // The size picked before stays selected; a click on the disabled list changes nothing.
        EXPECT_THAT(TextsWith(DialogDriver::WithRole(dump, "list item"), "selected"),
                    ElementsAre("1280 x 720 (16:9)"));
    }
    EXPECT_EQ(OptionFile(), stored) << "Cancel wrote the options";
}

TEST_F(OptionDialogTest, OptionsThatCannotBeLoadedLeaveEveryChoiceDisabledAndOkWritesNothing) {
    // No defaults file: the options cannot be loaded.
    FakeModeSource modes = UnsortedModes();
    auto driver = Run(modes, {"dump", "click:Window", "click:Ok"});
    ASSERT_EQ(driver->Dumps().size(), 1u);
    const auto& dump = driver->Dumps()[0];
    EXPECT_THAT(TextsWith(DialogDriver::WithRole(dump, "radio button"), "sensitive"), ElementsAre());
    EXPECT_THAT(TextsWith(DialogDriver::WithRole(dump, "radio button"), "checked"), ElementsAre());
    EXPECT_THAT(DialogDriver::WithRole(dump, "list item"), ElementsAre());
    EXPECT_THAT(TextsWith(DialogDriver::WithRole(dump, "push button"), "sensitive"),
                ElementsAre("Ok", "Cancel"));
    EXPECT_FALSE(std::filesystem::exists(folder.Path() / "Config/Option.json"));
}

TEST_F(OptionDialogTest, TheMainWindowTakesNoClickWhileTheDialogIsOpen) {
    WriteText("DefaultOption.json", DefaultsJson(1, ""));
    WriteText("Config/Option.json", Stored("WindowMode", 1920, 1080));
    FakeModeSource modes = UnsortedModes();
    const std::string onBehind =
        "point:" + std::to_string(kParentX + 60) + "," + std::to_string(kParentY + 30);
    Run(modes, {onBehind, "click:Cancel"});
    EXPECT_EQ(behindClicks, 0) << "the main window took a click past the modal dialog";
    // The same point reaches the button once the dialog has closed.
    DialogDriver after("", {onBehind});
    EXPECT_EQ(after.Finish(), 0) << after.Errors();
    RunLoopUntil([this] { return behindClicks > 0; }, std::chrono::seconds(2));
    EXPECT_EQ(behindClicks, 1);
}

}  // namespace
