// The launcher's window as a player meets it, in a few scenarios of one
// launcher each: the ready window, patching in progress, the worker's
// message boxes, the start's file check. The real launcher in a real install
// folder, fed by a loopback patch server; what the screen shows is compared
// with the skin's bitmaps. window_driver.h reaches the desktop of each system.
#include "integration/launcher/launcher_fixture.h"
#include "ui/skin_layout.h"
#include "window_driver.h"

using namespace skin_layout;

namespace {
// Text areas: origin and a generous line box.
constexpr Area kLine1Area{kLine1X, kLine1Y, 480, kLine1Y + 14},
    kLine2Area{kLine2X, kLine2Y, 480, kLine2Y + 14};
constexpr Area kLabelsArea{kTotalLabelX, kTotalLabelY, 100, kFileLabelY + 14};
constexpr Area kReadyArea{kReadyX, kReadyY, 400, kReadyY + 14};
constexpr Area kStatusArea{9, 437, 489, 544};  // left of the repair button

// "" when the screen shows the part w x h of `image` from (fromX, fromY) at
// client (x, y); otherwise the first point that differs.
std::string Difference(const Picture& s, const Picture& image, int x, int y, int w = -1, int h = -1,
                       int fromX = 0, int fromY = 0) {
    for (int j = 0; j < (h < 0 ? image.height : h); ++j)
        for (int i = 0; i < (w < 0 ? image.width : w); ++i)
            if (s.At(x + i, y + j) != image.At(fromX + i, fromY + j)) {
                char text[96];
                std::snprintf(text, sizeof(text), "(%d,%d): screen %06x, image %06x", x + i, y + j,
                              s.At(x + i, y + j), image.At(fromX + i, fromY + j));
                return text;
            }
    return "";
}

// The background bitmap shows unchanged in `r`.
std::string BackgroundDifference(const Picture& s, const Area& r) {
    return Difference(s, WindowDriver::Skin(215), r.left, r.top, r.right - r.left, r.bottom - r.top, r.left,
                      r.top);
}

bool Shows(const Picture& s, int id, int x, int y) {
    return Difference(s, WindowDriver::Skin(id), x, y).empty();
}
}  // namespace

class WindowTest : public LauncherProcess {
protected:
    void SetUp() override { ASSERT_EQ(driver.error, ""); }

    static std::map<std::wstring, PatchFile> GameWithClient() {
        return {
            {L"Data\\a.dat", PatchFile{std::string(5000, 'a')}},
            {L"Vevida2.0.exe", PatchFile{ReadWholeFile(ToolBinary("Vevida2.0.exe")), "", "", false, 0755}}};
    }
    void Publish(const std::map<std::wstring, PatchFile>& files) {
        WritePatchSet(root.Join("server/patch"), files);
    }

    // The launcher as the updater starts it, with the desktop deciding the front-end.
    void Start() {
        auto env = driver.env;
        env.merge(Env());
        env["QUON_WEB_HOST"] = env["QUON_PATCH_HOST"];
        env["QUON_LAUNCHER_UI"] = "";
        env["QUON_DOWNLOAD_STALL_SECONDS"] = "30";
        launcher = std::make_unique<ChildProcess>(
            std::vector<std::string>{root.Join("install/QuonLauncher.exe"), "Live", "FromUpdater"},
            root.path(), env);
        ASSERT_TRUE(driver.WaitForWindow(*launcher)) << launcher->Output();
    }
    bool WaitForReady(int timeoutMs = 30000) const {
        return WaitUntil([&] { return driver.Capture().Count(kReadyArea, kReadyColour) > 20; }, timeoutMs);
    }
    void Click(int x, int y) const { driver.Mouse(x, y, {WindowDriver::kDown, WindowDriver::kUp}); }
    std::string LogText() const {
        return text::ToUtf8(ReadUtf16File(root.Join("install/log/LauncherLog.txt")));
    }

    WindowDriver driver;
    std::unique_ptr<ChildProcess> launcher;
};

TEST_F(WindowTest, ReadyWindowPlaceSkinShapeAndButtons) {
    Publish(GameWithClient());
    Start();
    const Area place = driver.Place(), work = driver.workArea;
    EXPECT_EQ(place.right - place.left, 820);
    EXPECT_EQ(place.bottom - place.top, 545);
    EXPECT_NEAR(place.left, (work.left + work.right - 820) / 2, 1);  // centred
    EXPECT_NEAR(place.top, (work.top + work.bottom - 545) / 2, 1);
    EXPECT_EQ(driver.title, "QUON Launcher");
    ASSERT_TRUE(WaitForReady());
    Picture screen;
    // Artwork and title strip are the background; ready: the ready text
    // alone, no lines, labels or bars; buttons enabled.
    EXPECT_TRUE(WaitUntil(
        [&] {
            screen = driver.Capture();
            return Shows(screen, 226, 645, 455) && Shows(screen, 257, 489, 455) &&
                   Shows(screen, 237, 743, 38) && Shows(screen, 230, 776, 38);
        },
        5000));
    for (Area r : {Area{9, 37, 739, 72}, Area{9, 73, 479, 428}, Area{102, 473, 489, 482},
                   Area{300, 473, 489, 503}, Area{489, 430, 806, 452}})
        EXPECT_EQ(BackgroundDifference(screen, r), "");
    EXPECT_EQ(screen.Count(kStatusArea, kTextColour), 0);
    // Nowhere does the key colour show; its points show what lies below.
    EXPECT_EQ(screen.Count(Area{0, 0, 820, 545}, kKeyColour), 0);
    for (auto [x, y] : {std::pair{2, 2}, {400, 20}, {815, 300}, {4, 540}}) {
        EXPECT_EQ(WindowDriver::Skin(215).At(x, y), kKeyColour);
        EXPECT_EQ(screen.At(x, y), driver.belowColour) << x << "," << y;
    }

    // Pointer input: a key point belongs to the window below, any other to the launcher.
    EXPECT_EQ(driver.WindowAt(place.left + 400, place.top + 20), driver.below);
    EXPECT_EQ(driver.WindowAt(place.left + 3, place.top + 300), driver.below);
    EXPECT_NE(driver.WindowAt(place.left + 200, place.top + 300), driver.below);
    EXPECT_NE(driver.WindowAt(place.left + 12, place.top + 40), driver.below);
    if (driver.ClicksBelow()) {
        Click(400, 20);
        EXPECT_TRUE(WaitUntil([&] { return driver.ClicksBelow() == 1; }, 3000));
    }
    // A press on the surface, moved, drags the window.
    if (driver.canDrag) {
        driver.Mouse(200, 300, {WindowDriver::kDown});
        driver.Mouse(230, 320, {WindowDriver::kMove});
        driver.Mouse(230, 320, {WindowDriver::kUp});
        EXPECT_TRUE(WaitUntil([&] { return driver.Place().left == place.left + 30; }, 3000));
        EXPECT_EQ(driver.Place().top, place.top + 20);
    }
    if (auto notice = driver.NoticePlace()) {
        EXPECT_EQ((std::vector<int>{notice->left, notice->top, notice->right, notice->bottom}),
                  (std::vector<int>{488, 149, 806, 422}));
    }

    // Options, clicked by the pointer: a modal dialog over the window.
    Click(759, 47);
    ASSERT_TRUE(driver.OptionsShown());
    EXPECT_TRUE(driver.CloseOptions());
    // Repair by the pointer: its hover image, its pressed image, then the
    // release that clicks it: the lists are fetched and compared again.
    const Picture hover = WindowDriver::Skin(259), pressed = WindowDriver::Skin(258);
    ASSERT_EQ(server.RequestCount("/patch/packserv.txt"), 1);
    driver.Mouse(564, 480, {WindowDriver::kMove});
    EXPECT_TRUE(WaitUntil([&] { return driver.Capture().At(564, 480) == hover.At(75, 25); }, 3000));
    driver.Mouse(564, 480, {WindowDriver::kDown});
    EXPECT_TRUE(WaitUntil([&] { return driver.Capture().At(564, 480) == pressed.At(75, 25); }, 3000));
    driver.Mouse(564, 480, {WindowDriver::kUp});
    EXPECT_TRUE(WaitUntil([&] { return server.RequestCount("/patch/packserv.txt") == 2; }));
    ASSERT_TRUE(WaitForReady());

    // A real click on close ends the launcher without starting the client.
    Click(792, 47);
    EXPECT_EQ(launcher->Wait(15000), 0) << launcher->Output();
    EXPECT_FALSE(root.Exists("install/client-ran.txt"));
}

TEST_F(WindowTest, PatchingShowsItsLinesLabelsAndBarsOfExactWidths) {
    Publish({{L"Data\\a.dat", PatchFile{Noise(100000, 1)}}, {L"Data\\b.dat", PatchFile{Noise(800000, 2)}}});
    const uint64_t zipA = std::filesystem::file_size(Utf8Path(root.Join("server/patch/Data/a.dat.zip")));
    const uint64_t zipB = std::filesystem::file_size(Utf8Path(root.Join("server/patch/Data/b.dat.zip")));
    const uint64_t held = 300000;
    server.StallAfter("/patch/Data/b.dat.zip", held, std::chrono::seconds(40));
    Start();
    Picture screen;

    // Held mid-transfer: a bar's width is the quotient in single precision
    // times 489 pixels, truncated; the fill shows the left of its bitmap, the frame the rest.
    auto width = [](uint64_t received, uint64_t size) {
        return static_cast<int>(static_cast<double>(static_cast<float>(double(received) / double(size))) *
                                489.0);
    };
    const int upper = width(zipA + held, zipA + zipB), lower = width(held, zipB);
    ASSERT_TRUE(upper > 0 && upper < 489 - 104 && lower < 489 - 104);  // left of the repair button
    // Up to x 489: the frame at (102, top) with the fill's left `w` columns over it from (104, top + 2).
    auto barShows = [&](int fill, int frame, int top, int w) {
        Picture bar = WindowDriver::Skin(frame);
        const Picture fillImage = WindowDriver::Skin(fill);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < w; ++x) bar.pixels[(y + 2) * bar.width + x + 2] = fillImage.At(x, y);
        return Difference(screen, bar, 102, top, 489 - 102, 14).empty();
    };
    // "  0 MB / Total   0 MB" and the current file, with both labels; the
    // texts may follow the bars by a frame.
    EXPECT_TRUE(WaitUntil(
        [&] {
            screen = driver.Capture();
            return barShows(244, 240, 473, upper) && barShows(245, 241, 489, lower) &&
                   screen.Count(kLine1Area, kTextColour) > 10 && screen.Count(kLine2Area, kTextColour) > 10 &&
                   screen.Count(kLabelsArea, kTextColour) > 10;
        },
        40000))
        << "expected widths " << upper << " and " << lower;
    EXPECT_EQ(screen.Count(kStatusArea, kReadyColour), 0);
    // Disabled while patching: start grey, option as always (its disabled
    // image is the normal one), repair (no disabled image) looking neither
    // normal nor hovered.
    EXPECT_TRUE(Shows(screen, 228, 645, 455));
    EXPECT_TRUE(Shows(screen, 237, 743, 38));
    EXPECT_TRUE(Shows(screen, 230, 776, 38));
    EXPECT_FALSE(Shows(screen, 257, 489, 455));
    EXPECT_FALSE(Shows(screen, 259, 489, 455));
    // Close still works meanwhile.
    Click(792, 47);
    EXPECT_EQ(launcher->Wait(15000), 0) << launcher->Output();
}

TEST_F(WindowTest, WorkerBoxesBlockTheWorkerUntilOkAndClosingAnswersThem) {
    // No patch list: the download fails, then the worker reports that it
    // cannot connect; two boxes, one after the other.
    Start();
    const BoxView first = driver.Box(30000);
    EXPECT_NE(
        first.controls.find("label\tFailed to download the data.\\nPlease check the internet connection."),
        std::string::npos)
        << first.controls;
    EXPECT_NE(first.controls.find("button\tOK\n"), std::string::npos) << first.controls;
    EXPECT_EQ(first.controls.find("button\tCancel\n"), std::string::npos) << first.controls;
    // The worker waits: nothing logged, the same box, still running.
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    EXPECT_EQ(launcher->Wait(0), -1);
    EXPECT_EQ(LogText().find("L_16"), std::string::npos);
    EXPECT_EQ(driver.Box(1000).identity, first.identity);
    driver.AnswerBox();
    EXPECT_TRUE(WaitUntil([&] { return driver.Box(1000).controls.find("L_6") != std::string::npos; }));
    EXPECT_NE(LogText().find("L_16"), std::string::npos);
    EXPECT_EQ(LogText().find("L_6"), std::string::npos);
    driver.AnswerBox();
    EXPECT_EQ(launcher->Wait(15000), 2) << launcher->Output();
    EXPECT_NE(LogText().find("Function :[CGameLauncherDlg::Ls_UpdateFileList]"), std::string::npos);

    // Asked to close while a box waits: the window closes, the worker is
    // released and joined, and the launcher ends by itself, not killed.
    Start();
    ASSERT_NE(driver.Box(30000).controls.find("L_16"), std::string::npos);
    driver.AskToClose(*launcher);
    EXPECT_EQ(launcher->Wait(15000), 2) << launcher->Output();
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
    ASSERT_TRUE(WaitForReady(60000));
    Click(720, 495);
    Click(792, 47);  // close, while the check holds the window's thread
    // The check's own frames: "File check : ..." alone, without bars.
    bool seen = false;
    WaitUntil(
        [&] {
            const Picture s = driver.Capture();
            seen = s.Count(kLine2Area, kTextColour) > 10 && s.Count(kLine1Area, kTextColour) == 0 &&
                   s.Count(kReadyArea, kReadyColour) == 0 &&
                   BackgroundDifference(s, Area{300, 473, 400, 503}).empty();
            return seen || launcher->Wait(0) >= 0;
        },
        20000);
    EXPECT_TRUE(seen);
    // The close waited for the check: the client started with the launcher's argument.
    EXPECT_EQ(launcher->Wait(15000), 0) << launcher->Output();
    ASSERT_TRUE(WaitUntil([&] { return root.Exists("install/client-ran.txt"); }));
    EXPECT_EQ(root.ReadFile("install/client-ran.txt").substr(0, 5), "Live\n");
}
