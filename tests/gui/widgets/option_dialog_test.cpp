// The GTK front-end of the video option dialog, read and clicked through
// AT-SPI and the pointer: the dialog's rules are the model's (unit tests);
// here only that the window shows and feeds them.
#include "support/test_common.h"

#include <future>

#include "ui/gtk/gtk_option_dialog.h"
#include "unit/options/option_dialog_fakes.h"
#include "widget_session.h"

namespace {
// The states the driver listed for the first control `role` named `text`
// (any name when empty) of a dump, with commas around; "" when there is none.
std::string States(const std::string& dump, const std::string& role, const std::string& text) {
    std::istringstream lines(dump);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string kind, r, t, states;
        std::getline(fields, kind, '\t') && std::getline(fields, r, '\t') && std::getline(fields, t, '\t') &&
            std::getline(fields, states, '\t');
        if (r == role && (text.empty() || t == text)) return "," + states + ",";
    }
    return "";
}
}  // namespace

TEST_F(OptionFileTest, TheWindowShowsTheModelsChoicesAndItsClicksReachIt) {
    WidgetDesktop();
    Store("WindowMode", 1024, 768);
    TestWindow parent(820, 545, 100, 50);
    ASSERT_TRUE(parent.ShowAndWait());
    FakeModeSource modes(kModes);
    // The driver clicks while the dialog's modal loop runs here.
    auto driver = std::async(std::launch::async, [] {
        return WidgetDesktop().Dialog(
            g_get_prgname(), "Video option",
            {"dump", "click:Windowed fullscreen", "dump", "click:Fullscreen", "row:2", "click:Ok"});
    });
    // A driver that fails must not leave the test in the modal loop.
    const guint watchdog = g_timeout_add_seconds(
        60,
        [](gpointer) -> gboolean {
            GList* windows = gtk_window_list_toplevels();
            for (GList* it = windows; it; it = it->next)
                if (GTK_IS_DIALOG(it->data))
                    gtk_dialog_response(GTK_DIALOG(it->data), GTK_RESPONSE_DELETE_EVENT);
            g_list_free(windows);
            return G_SOURCE_REMOVE;
        },
        nullptr);
    RunGtkOptionDialog(parent.Window(), modes);
    const std::string out = driver.get();
    ASSERT_NE(g_main_context_find_source_by_id(nullptr, watchdog), nullptr)
        << "the dialog never ended: " << out;
    g_source_remove(watchdog);

    const std::string first = out.substr(0, out.find("end\n")), second = out.substr(first.size() + 4);
    EXPECT_NE(States(first, "dialog", "Video option").find(",modal,"), std::string::npos) << out;
    EXPECT_NE(States(first, "radio button", "Window").find(",checked,"), std::string::npos) << out;
    EXPECT_NE(States(first, "list item", "1024 x 768 (4:3)").find(",selected,"), std::string::npos) << out;
    EXPECT_NE(States(first, "scroll pane", "").find(",sensitive,"), std::string::npos) << out;
    EXPECT_NE(States(second, "radio button", "Windowed fullscreen").find(",checked,"), std::string::npos)
        << out;
    EXPECT_EQ(States(second, "scroll pane", "").find(",sensitive,"), std::string::npos) << out;
    // Rows in the model's order; the third one chosen, then Ok.
    EXPECT_EQ(Member("ScreenMode"), "FullScreen");
    EXPECT_EQ(Member("ScreenWidth") + "x" + Member("ScreenHeight"), "2560x1080");
    EXPECT_EQ(Member("SoundMusicVolmue"), "33");
}
