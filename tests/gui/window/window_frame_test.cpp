// The window as the desktop sees it: class, title, size, place, shape, the
// drag on its background, and keys that must do nothing.
#include <sstream>
#include <thread>

#include "window_fixture.h"

namespace {
std::map<std::wstring, PatchFile> OneFile() {
    return {{L"Data\\a.dat", PatchFile{std::string(5000, 'a')}}};
}

std::string WindowUnderPointer(const GuiSession& session, int x, int y) {
    std::istringstream lines(
        session.Xdotool({"mousemove", std::to_string(x), std::to_string(y), "getmouselocation", "--shell"}));
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("WINDOW=", 0) == 0) return line.substr(7);
    return "";
}
}  // namespace

TEST_F(WindowTest, PlaceAndSkinOnTheDesktopWithTheKeyColourNeitherShownNorClickable) {
    Publish(OneFile());
    Start();
    WaitForWindow();
    EXPECT_EQ(window.width, 820);
    EXPECT_EQ(window.height, 545);
    // Centred on the 1280 x 1024 screen.
    EXPECT_NEAR(window.x, (1280 - 820) / 2, 1);
    EXPECT_NEAR(window.y, (1024 - 545) / 2, 1);
    EXPECT_EQ(session.Xdotool({"getwindowname", window.id}), "QUON Launcher\n");
    const std::string xprop = session.Command({"/usr/bin/xprop", "-id", window.id, "WM_CLASS"});
    EXPECT_EQ(xprop, "WM_CLASS(STRING) = \"QuonLauncher\", \"QuonLauncher\"\n");
    ASSERT_TRUE(WaitForReady());
    const Screen screen = session.ReadScreen();
    const SkinImage background = Skin(215);
    // Nowhere on the window does the key colour show; the margin shows what
    // lies below (the root's black here).
    EXPECT_EQ(CountColour(screen, RECT{0, 0, 820, 545}, 0xff00ff), 0);
    for (auto [x, y] : {std::pair{2, 2}, {400, 20}, {815, 300}, {4, 540}}) {
        EXPECT_EQ(background.Pixel(x, y), kKeyColour);
        EXPECT_EQ(Pixel(screen, x, y), 0x000000u) << x << "," << y;
    }
    // The artwork panel and the title strip are the background, point for point.
    EXPECT_EQ(BackgroundDifference(screen, RECT{9, 37, 739, 72}), "");
    EXPECT_EQ(BackgroundDifference(screen, RECT{9, 73, 479, 428}), "");
    // Ready: the ready text alone, no lines, labels or bars; where the bars
    // were, the background shows (around the ready text); buttons enabled.
    EXPECT_EQ(CountColour(screen, kStatusArea, kTextColour), 0);
    EXPECT_EQ(BackgroundDifference(screen, RECT{102, 473, 489, 482}), "");
    EXPECT_EQ(BackgroundDifference(screen, RECT{300, 473, 489, 503}), "");
    EXPECT_TRUE(Shows(screen, Skin(226), 645, 455));
    EXPECT_TRUE(Shows(screen, Skin(257), 489, 455));
    EXPECT_TRUE(Shows(screen, Skin(237), 743, 38));
    EXPECT_TRUE(Shows(screen, Skin(230), 776, 38));

    // Pointer input: a key point belongs to the root window below (as the
    // screen's corner does), any other point to the launcher.
    const std::string root = WindowUnderPointer(session, 5, 5);
    ASSERT_FALSE(root.empty());
    EXPECT_EQ(WindowUnderPointer(session, window.x + 400, window.y + 20), root);
    EXPECT_EQ(WindowUnderPointer(session, window.x + 3, window.y + 300), root);
    EXPECT_NE(WindowUnderPointer(session, window.x + 200, window.y + 300), root);
    EXPECT_NE(WindowUnderPointer(session, window.x + 12, window.y + 40), root);
}

TEST_F(WindowTest, EnterAndEscapeDoNothingAndDraggingTheBackgroundMovesTheWindow) {
    Publish({{L"Data\\a.dat", PatchFile{std::string(5000, 'a')}},
             {L"Vevida2.0.exe", PatchFile{ReadWholeFile(ToolBinary("Vevida2.0.exe")), "", "", false, 0755}}});
    Start();
    WaitForWindow();
    ASSERT_TRUE(WaitForReady());
    session.Xdotool({"mousemove", std::to_string(window.x + 720), std::to_string(window.y + 495)});
    session.Xdotool({"windowfocus", "--sync", window.id});
    for (const char* key : {"Return", "KP_Enter", "Escape", "Return", "Escape"})
        session.Xdotool({"key", key});
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    // Neither closed the window nor pressed the start button under the pointer.
    EXPECT_EQ(launcher->Wait(0), -1);
    EXPECT_FALSE(root.Exists("install/client-ran.txt"));
    EXPECT_GT(CountColour(session.ReadScreen(), kReadyArea, kReadyColour), 20);

    const int x0 = window.x, y0 = window.y;
    auto drag = [&](int fromX, int fromY) {
        // Pauses between the steps: the move follows the pointer from the
        // press on, so the press must have arrived before the pointer moves.
        session.Xdotool(
            {"mousemove", std::to_string(fromX), std::to_string(fromY), "mousedown", "1", "sleep", "0.3"});
        for (int step = 1; step <= 4; ++step)
            session.Xdotool({"mousemove", std::to_string(fromX + 15 * step),
                             std::to_string(fromY + 10 * step), "sleep", "0.1"});
        session.Xdotool({"sleep", "0.2", "mouseup", "1"});
    };
    drag(x0 + 200, y0 + 300);  // the artwork: no control covers it
    WindowGeometry moved;
    EXPECT_TRUE(WaitUntil(
        [&] { return session.Geometry(window.id, moved) && moved.x == x0 + 60 && moved.y == y0 + 40; }, 5000))
        << moved.x << "," << moved.y;

    drag(moved.x + 400, moved.y + 10);  // above the opaque area: the key colour
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    WindowGeometry still;
    ASSERT_TRUE(session.Geometry(window.id, still));
    EXPECT_EQ(still.x, moved.x);
    EXPECT_EQ(still.y, moved.y);
}

TEST_F(WindowTest, ConsoleWhenAskedForEvenWithADisplay) {
    Publish(OneFile());
    Start({"Live", "FromUpdater"}, "console");
    // The console front-end ends once its input ends; no window showed.
    EXPECT_EQ(launcher->Wait(20000), 0) << launcher->Output();
    EXPECT_NE(launcher->Output().find("Getting the file list"), std::string::npos) << launcher->Output();
    EXPECT_EQ(session.Xdotool({"search", "--classname", "QuonLauncher"}), "");
}
