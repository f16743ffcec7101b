// The buttons: their images by pointer state, and what a click on each one
// makes the launcher do.
#include <sstream>
#include <thread>

#include "window_fixture.h"

namespace {
std::map<std::wstring, PatchFile> GameWithClient() {
    return {{L"Data\\a.dat", PatchFile{std::string(5000, 'a')}},
            {L"Vevida2.0.exe", PatchFile{ReadWholeFile(ToolBinary("Vevida2.0.exe")), "", "", false, 0755}}};
}
}  // namespace

TEST_F(WindowTest, ButtonImagesFollowHoverPressAndLeaveAndOnlyAClickOnCloseCloses) {
    Publish(GameWithClient());
    Start();
    WaitForWindow();
    ASSERT_TRUE(WaitForReady());
    auto shows = [&](int id, int x, int y) {
        return WaitUntil([&] { return Shows(session.ReadScreen(), Skin(id), x, y); }, 3000);
    };
    MoveTo(700, 480);
    MoveTo(702, 482);
    EXPECT_TRUE(shows(229, 645, 455))
        << "start hover" << Difference(session.ReadScreen(), Skin(229), 645, 455);
    session.Xdotool({"mousedown", "1"});
    EXPECT_TRUE(shows(227, 645, 455)) << "start pressed, pointer over it";
    // Released away from the button: no click, and the images go back.
    MoveTo(300, 300);
    EXPECT_TRUE(shows(226, 645, 455)) << "start left while held";
    session.Xdotool({"mouseup", "1"});
    MoveTo(560, 490);
    EXPECT_TRUE(shows(259, 489, 455)) << "repair hover";
    EXPECT_TRUE(shows(226, 645, 455));
    MoveTo(760, 48);
    EXPECT_TRUE(shows(238, 743, 38)) << "option hover";
    EXPECT_TRUE(shows(257, 489, 455)) << "repair after leaving";
    MoveTo(790, 48);
    EXPECT_TRUE(shows(232, 776, 38)) << "close hover";
    session.Xdotool({"mousedown", "1"});
    MoveTo(300, 300);
    session.Xdotool({"mouseup", "1"});
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(launcher->Wait(0), -1) << "a release off the close button closed the launcher";
    // A real click on close ends the launcher without starting the client.
    ClickClient(792, 47);
    EXPECT_EQ(launcher->Wait(10000), 0) << launcher->Output();
    EXPECT_FALSE(root.Exists("install/client-ran.txt"));
}

TEST_F(WindowTest, OptionsRepairAndStartDriveTheLauncher) {
    Publish(GameWithClient());
    Start();
    WaitForWindow();
    ASSERT_TRUE(WaitForReady());

    // Options: a modal dialog over the window; the launcher waits for it.
    ClickClient(759, 47);
    WindowGeometry dialog;
    ASSERT_TRUE(WaitUntil([&] {
        std::istringstream ids(session.Xdotool({"search", "--onlyvisible", "--classname", "QuonLauncher"}));
        for (std::string id; ids >> id;)
            if (id != window.id && session.Geometry(id, dialog) && dialog.width > 50) return true;
        return false;
    }));
    session.Xdotool({"mousemove", std::to_string(dialog.x + dialog.width / 2), std::to_string(dialog.y + 5)});
    session.Xdotool({"windowfocus", "--sync", dialog.id});
    session.Xdotool({"key", "Escape"});
    ASSERT_TRUE(WaitUntil([&] {
        return session.Xdotool({"search", "--onlyvisible", "--classname", "QuonLauncher"}).find(dialog.id) ==
               std::string::npos;
    }));

    // Repair: the lists are fetched and compared again, then ready again.
    ASSERT_EQ(server.RequestCount("/patch/packserv.txt"), 1);
    ClickClient(564, 495);
    EXPECT_TRUE(WaitUntil([&] { return server.RequestCount("/patch/packserv.txt") == 2; }));
    ASSERT_TRUE(WaitForReady());

    // Start: the client starts with the launcher's argument, the launcher ends.
    ClickClient(720, 495);
    EXPECT_EQ(launcher->Wait(15000), 0) << launcher->Output();
    ASSERT_TRUE(root.Exists("install/client-ran.txt"));
    EXPECT_EQ(root.ReadFile("install/client-ran.txt").substr(0, 5), "Live\n");
}

TEST_F(WindowTest, StartFileCheckPaintsItsProgressAndTakesNoOtherClick) {
    // Enough libraries that checking them takes a visible moment.
    auto files = GameWithClient();
    std::string block(4 << 20, '\0');
    for (int i = 0; i < 40; ++i) {
        for (size_t j = 0; j < block.size(); j += 4096) block[j] = static_cast<char>(i * 31 + j / 4096);
        files[L"Bin\\lib" + std::to_wstring(i) + L".dll"] = PatchFile{block};
    }
    Publish(files);
    Start();
    WaitForWindow();
    ASSERT_TRUE(WaitForReady(60000));
    ClickClient(720, 495);
    ClickClient(792, 47);  // close, while the check holds the window's thread
    // The check's own frames: "File check : ..." alone, without bars.
    bool seen = false;
    WaitUntil(
        [&] {
            const Screen s = session.ReadScreen();
            seen = CountColour(s, kLine2Area, kTextColour) > 10 &&
                   CountColour(s, kLine1Area, kTextColour) == 0 &&
                   CountColour(s, kReadyArea, kReadyColour) == 0 &&
                   BackgroundDifference(s, RECT{300, 473, 400, 503}).empty();
            return seen || launcher->Wait(0) >= 0;
        },
        20000);
    EXPECT_TRUE(seen);
    // The close waited for the check: the client was started, the launcher ended.
    EXPECT_EQ(launcher->Wait(15000), 0) << launcher->Output();
    EXPECT_TRUE(root.Exists("install/client-ran.txt"));
}
