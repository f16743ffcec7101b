// What the status area shows while patching: lines, labels, and bars of
// exact widths while a transfer is held mid-way.
#include <filesystem>
#include <random>

#include "window_fixture.h"

namespace {
std::string RandomBytes(size_t size, unsigned seed) {
    std::mt19937 rng(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(rng());
    return bytes;
}

// A bar's width for `received` of `size`: the quotient passes through single
// precision, then 489 pixels for a full bar, truncated.
int ExpectedWidth(uint64_t received, uint64_t size) {
    return static_cast<int>(static_cast<double>(static_cast<float>(double(received) / double(size))) * 489.0);
}
}  // namespace

TEST_F(WindowTest, FileListPhaseShowsItsLineLabelsAndEmptyBars) {
    Publish({{L"Data\\a.dat", PatchFile{std::string(5000, 'a')}}});
    server.StallAfter("/patch/packserv.txt", 4, std::chrono::seconds(20));
    Start();
    WaitForWindow();
    const SkinImage upperFrame = Skin(240), lowerFrame = Skin(241);
    Screen screen;
    ASSERT_TRUE(WaitUntil([&] {
        screen = session.ReadScreen();
        return CountColour(screen, kLine1Area, kTextColour) > 10;
    }));
    EXPECT_EQ(CountColour(screen, kLine2Area, kTextColour), 0);
    EXPECT_GT(CountColour(screen, kLabelsArea, kTextColour), 10);
    EXPECT_EQ(CountColour(screen, kStatusArea, kReadyColour), 0);
    // Frames without fills, up to where the repair button covers them.
    EXPECT_TRUE(Shows(screen, upperFrame, 102, 473, 489 - 102, 14));
    EXPECT_TRUE(Shows(screen, lowerFrame, 102, 489, 489 - 102, 14));
}

TEST_F(WindowTest, HeldTransferShowsBothLinesAndFillsOfExactWidths) {
    Publish({{L"Data\\a.dat", PatchFile{RandomBytes(100000, 1)}},
             {L"Data\\b.dat", PatchFile{RandomBytes(800000, 2)}}});
    const uint64_t zipA = std::filesystem::file_size(root.Join("server/patch/Data/a.dat.zip"));
    const uint64_t zipB = std::filesystem::file_size(root.Join("server/patch/Data/b.dat.zip"));
    const uint64_t held = 300000;
    server.StallAfter("/patch/Data/b.dat.zip", held, std::chrono::seconds(25));
    Start();
    WaitForWindow();

    const int upper = ExpectedWidth(zipA + held, zipA + zipB);
    const int lower = ExpectedWidth(held, zipB);
    ASSERT_GT(upper, 0);
    ASSERT_LT(upper, 489 - 104);  // left of the repair button, which covers the rest
    ASSERT_LT(lower, 489 - 104);
    const SkinImage upperFill = Skin(244), upperFrame = Skin(240), lowerFill = Skin(245),
                    lowerFrame = Skin(241);
    // The fill shows the left part of its bitmap, the frame the rest.
    auto barShows = [&](const Screen& s, const SkinImage& fill, const SkinImage& frame, int top, int width) {
        for (int y = top; y < top + 14; ++y) {
            for (int x = 102; x < 489; ++x) {
                const bool inFill = y >= top + 2 && y < top + 12 && x >= 104 && x < 104 + width;
                const uint32_t want =
                    inFill ? fill.Pixel(x - 104, y - top - 2) : frame.Pixel(x - 102, y - top);
                if (Pixel(s, x, y) != want) return false;
            }
        }
        return true;
    };
    Screen screen;
    const bool barsMatch = WaitUntil(
        [&] {
            screen = session.ReadScreen();
            return barShows(screen, upperFill, upperFrame, 473, upper) &&
                   barShows(screen, lowerFill, lowerFrame, 489, lower);
        },
        15000);
    EXPECT_TRUE(barsMatch) << "expected widths " << upper << " and " << lower;
    // "  0 MB / Total   0 MB" and the current file, with both labels.
    EXPECT_GT(CountColour(screen, kLine1Area, kTextColour), 10);
    EXPECT_GT(CountColour(screen, kLine2Area, kTextColour), 10);
    EXPECT_GT(CountColour(screen, kLabelsArea, kTextColour), 10);
    EXPECT_EQ(CountColour(screen, kStatusArea, kReadyColour), 0);
    // Disabled buttons while patching: start shows its grey image, option
    // looks as always (its disabled image is the normal one), repair has no
    // disabled image and must not look enabled.
    EXPECT_TRUE(Shows(screen, Skin(228), 645, 455));
    EXPECT_TRUE(Shows(screen, Skin(237), 743, 38));
    EXPECT_TRUE(Shows(screen, Skin(230), 776, 38));
    EXPECT_FALSE(Shows(screen, Skin(257), 489, 455));
    EXPECT_FALSE(Shows(screen, Skin(259), 489, 455));
}
