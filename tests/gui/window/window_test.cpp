// The launcher's window as a player meets it, in a few scenarios of one
// launcher each: the ready window, patching in progress, the worker's
// message boxes, the start's file check.
#include "support/test_common.h"

#include <random>

#include "window_fixture.h"

namespace {
std::string LogText(const TempDir& root) { return text::ToUtf8(ReadUtf16File(root.Join("install/log/LauncherLog.txt"))); }
}  // namespace

TEST_F(WindowTest, ReadyWindowPlaceSkinShapeAndButtons) {
    Publish(GameWithClient());
    Start();
    WaitForWindow();
    EXPECT_EQ(window.width, 820);
    EXPECT_EQ(window.height, 545);
    EXPECT_NEAR(window.x, (1280 - 820) / 2, 1);  // centred
    EXPECT_NEAR(window.y, (1024 - 545) / 2, 1);
    EXPECT_EQ(desktop.Xdotool({"getwindowname", window.id}), "QUON Launcher\n");
    ASSERT_TRUE(WaitForReady());
    const ScreenImage screen = desktop.ReadScreen();
    // Nowhere does the key colour show; the margin shows the root's black below.
    EXPECT_EQ(CountColour(screen, RECT{0, 0, 820, 545}, 0xff00ff), 0);
    for (auto [x, y] : {std::pair{2, 2}, {400, 20}, {815, 300}, {4, 540}}) {
        EXPECT_EQ(Skin(215).Pixel(x, y), kKeyColour);
        EXPECT_EQ(Pixel(screen, x, y), 0x000000u) << x << "," << y;
    }
    // Artwork and title strip are the background; ready: the ready text
    // alone, no lines, labels or bars; buttons enabled.
    for (RECT r :
         {RECT{9, 37, 739, 72}, RECT{9, 73, 479, 428}, RECT{102, 473, 489, 482}, RECT{300, 473, 489, 503}})
        EXPECT_EQ(BackgroundDifference(screen, r), "");
    EXPECT_EQ(CountColour(screen, kStatusArea, kTextColour), 0);
    for (auto [id, x, y] : {std::tuple{226, 645, 455}, {257, 489, 455}, {237, 743, 38}, {230, 776, 38}})
        EXPECT_TRUE(Shows(screen, id, x, y)) << id;

    // Pointer input: a key point belongs to the root window below, any other to the launcher.
    auto windowAt = [&](int x, int y) {
        std::istringstream lines(desktop.Xdotool(
            {"mousemove", std::to_string(x), std::to_string(y), "getmouselocation", "--shell"}));
        for (std::string line; std::getline(lines, line);)
            if (line.rfind("WINDOW=", 0) == 0) return line.substr(7);
        return std::string();
    };
    const std::string rootWindow = windowAt(5, 5);
    ASSERT_FALSE(rootWindow.empty());
    EXPECT_EQ(windowAt(window.x + 400, window.y + 20), rootWindow);
    EXPECT_EQ(windowAt(window.x + 3, window.y + 300), rootWindow);
    EXPECT_NE(windowAt(window.x + 200, window.y + 300), rootWindow);
    EXPECT_NE(windowAt(window.x + 12, window.y + 40), rootWindow);

    // Options: a modal dialog over the window, the launcher waits for it.
    ClickClient(759, 47);
    WindowGeometry dialog;
    ASSERT_TRUE(desktop.FindWindow("QuonLauncher", dialog, 10000, 50, window.id));
    desktop.Xdotool({"mousemove", std::to_string(dialog.x + dialog.width / 2), std::to_string(dialog.y + 5)});
    desktop.Xdotool({"windowfocus", "--sync", dialog.id});
    desktop.Xdotool({"key", "Escape"});
    ASSERT_TRUE(WaitUntil([&] {
        return desktop.Xdotool({"search", "--onlyvisible", "--classname", "QuonLauncher"}).find(dialog.id) ==
               std::string::npos;
    }));
    // Repair: the lists are fetched and compared again, then ready again.
    ASSERT_EQ(server.RequestCount("/patch/packserv.txt"), 1);
    ClickClient(564, 495);
    EXPECT_TRUE(WaitUntil([&] { return server.RequestCount("/patch/packserv.txt") == 2; }));
    ASSERT_TRUE(WaitForReady());

    // A real click on close ends the launcher without starting the client.
    ClickClient(792, 47);
    EXPECT_EQ(launcher->Wait(10000), 0) << launcher->Output();
    EXPECT_FALSE(root.Exists("install/client-ran.txt"));
}

TEST_F(WindowTest, PatchingShowsItsLinesLabelsAndBarsOfExactWidths) {
    Publish({{L"Data\\a.dat", PatchFile{Noise(100000, 1)}},
             {L"Data\\b.dat", PatchFile{Noise(800000, 2)}}});
    const uint64_t zipA = std::filesystem::file_size(root.Join("server/patch/Data/a.dat.zip"));
    const uint64_t zipB = std::filesystem::file_size(root.Join("server/patch/Data/b.dat.zip"));
    const uint64_t held = 300000;
    server.StallAfter("/patch/Data/b.dat.zip", held, std::chrono::seconds(40));
    Start();
    WaitForWindow();
    ScreenImage screen;

    // Held mid-transfer: a bar's width is the quotient in single precision
    // times 489 pixels, truncated; the fill shows the left of its bitmap, the frame the rest.
    auto width = [](uint64_t received, uint64_t size) {
        return static_cast<int>(static_cast<double>(static_cast<float>(double(received) / double(size))) *
                                489.0);
    };
    const int upper = width(zipA + held, zipA + zipB), lower = width(held, zipB);
    ASSERT_TRUE(upper > 0 && upper < 489 - 104 && lower < 489 - 104);  // left of the repair button
    auto barShows = [&](int fill, int frame, int top, int w) {
        const SkinImage fillImage = Skin(fill), frameImage = Skin(frame);
        for (int y = top; y < top + 14; ++y)
            for (int x = 102; x < 489; ++x) {
                const bool inFill = y >= top + 2 && y < top + 12 && x >= 104 && x < 104 + w;
                if (Pixel(screen, x, y) !=
                    (inFill ? fillImage.Pixel(x - 104, y - top - 2) : frameImage.Pixel(x - 102, y - top)))
                    return false;
            }
        return true;
    };
    // "  0 MB / Total   0 MB" and the current file, with both labels; the
    // texts may follow the bars by a frame.
    EXPECT_TRUE(WaitUntil(
        [&] {
            screen = desktop.ReadScreen();
            return barShows(244, 240, 473, upper) && barShows(245, 241, 489, lower) &&
                   CountColour(screen, kLine1Area, kTextColour) > 10 &&
                   CountColour(screen, kLine2Area, kTextColour) > 10 &&
                   CountColour(screen, kLabelsArea, kTextColour) > 10;
        },
        40000))
        << "expected widths " << upper << " and " << lower;
    EXPECT_EQ(CountColour(screen, kStatusArea, kReadyColour), 0);
    // Disabled while patching: start grey, option as always (its disabled
    // image is the normal one), repair (no disabled image) not looking enabled.
    EXPECT_TRUE(Shows(screen, 228, 645, 455));
    EXPECT_TRUE(Shows(screen, 237, 743, 38));
    EXPECT_TRUE(Shows(screen, 230, 776, 38));
    EXPECT_FALSE(Shows(screen, 257, 489, 455));
    EXPECT_FALSE(Shows(screen, 259, 489, 455));
}

TEST_F(WindowTest, WorkerBoxesBlockTheWorkerUntilOkAndClosingAnswersThem) {
    // No patch list: the download fails, then the worker reports that it
    // cannot connect; two boxes, one after the other.
    Start();
    WaitForWindow();
    const std::string pid = "pid:" + std::to_string(launcher->pid());
    const std::string first = desktop.Dialog(pid, "QuonLauncher.exe", {"wait:30", "dump"});
    EXPECT_NE(first.find("\tlabel\tFailed to download the data.\\nPlease check the internet connection."),
              std::string::npos)
        << first;
    EXPECT_NE(first.find("\tpush button\tOK\t"), std::string::npos) << first;
    EXPECT_EQ(first.find("\tpush button\tCancel\t"), std::string::npos) << first;
    // The worker waits: nothing logged, no second box, still running.
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    EXPECT_EQ(launcher->Wait(0), -1);
    EXPECT_EQ(LogText(root).find("L_16"), std::string::npos);
    EXPECT_EQ(desktop.Dialog(pid, "QuonLauncher.exe", {"wait:1", "dump"}), first);
    desktop.Dialog(pid, "QuonLauncher.exe", {"wait:10", "click:OK"});
    EXPECT_TRUE(WaitUntil([&] {
        return desktop.Dialog(pid, "QuonLauncher.exe", {"wait:1", "dump"}).find("L_6") != std::string::npos;
    }));
    EXPECT_NE(LogText(root).find("L_16"), std::string::npos);
    EXPECT_EQ(LogText(root).find("L_6"), std::string::npos);
    desktop.Dialog(pid, "QuonLauncher.exe", {"wait:10", "click:OK"});
    EXPECT_EQ(launcher->Wait(15000), 2) << launcher->Output();
    EXPECT_NE(LogText(root).find("Function :[CGameLauncherDlg::Ls_UpdateFileList]"), std::string::npos);

    // The session ends while a box waits: the window closes, the worker is
    // released and joined, and the launcher ends by itself, not killed.
    Start();
    WaitForWindow();
    ASSERT_NE(
        desktop.Dialog("pid:" + std::to_string(launcher->pid()), "QuonLauncher.exe", {"wait:30", "dump"})
            .find("L_16"),
        std::string::npos);
    launcher->Kill(SIGTERM);
    EXPECT_EQ(launcher->Wait(10000), 2) << launcher->Output();
}

TEST_F(WindowTest, StartFileCheckPaintsItsProgressTakesNoOtherClickAndStartsTheClient) {
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
            const ScreenImage s = desktop.ReadScreen();
            seen = CountColour(s, kLine2Area, kTextColour) > 10 &&
                   CountColour(s, kLine1Area, kTextColour) == 0 &&
                   CountColour(s, kReadyArea, kReadyColour) == 0 &&
                   BackgroundDifference(s, RECT{300, 473, 400, 503}).empty();
            return seen || launcher->Wait(0) >= 0;
        },
        20000);
    EXPECT_TRUE(seen);
    // The close waited for the check: the client started with the launcher's argument.
    EXPECT_EQ(launcher->Wait(15000), 0) << launcher->Output();
    ASSERT_TRUE(root.Exists("install/client-ran.txt"));
    EXPECT_EQ(root.ReadFile("install/client-ran.txt").substr(0, 5), "Live\n");
}
