// Which front-end serves: the one asked for by name, else the window when
// there is a display to show it on.
#include <gtest/gtest.h>

#include "ui/frontend.h"

TEST(FrontEndChoice, NamedFrontEndWinsOtherwiseTheDisplayDecides) {
    EXPECT_EQ(ChooseFrontEnd("console", ":0", "wayland-0"), FrontEndKind::kConsole);
    EXPECT_EQ(ChooseFrontEnd("gtk", nullptr, nullptr), FrontEndKind::kWindow);
    EXPECT_EQ(ChooseFrontEnd(nullptr, ":0", nullptr), FrontEndKind::kWindow);
    EXPECT_EQ(ChooseFrontEnd("", nullptr, "wayland-0"), FrontEndKind::kWindow);
    EXPECT_EQ(ChooseFrontEnd("curses", "", ""), FrontEndKind::kConsole);  // unknown name, no display
    EXPECT_EQ(ChooseFrontEnd(nullptr, nullptr, nullptr), FrontEndKind::kConsole);
}
