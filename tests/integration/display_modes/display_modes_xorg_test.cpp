// The display-mode source against a real X server: Xorg with the dummy video
// driver and several modes (Xvfb offers only one), compared with what
// `xrandr` reports for the same output.
#include "support/test_common.h"

#include "launcher/options/option_dialog.h"
#include "os/display_modes.h"
#include "support/test_desktop.h"
#include "unit/options/option_dialog_fakes.h"

namespace fs = std::filesystem;

namespace {

using Size = std::pair<uint32_t, uint32_t>;

const char kXorgConf[] = R"(Section "Device"
  Identifier "dummy"
  Driver "dummy"
  VideoRam 256000
EndSection
Section "Monitor"
  Identifier "monitor"
  HorizSync 5.0-1000.0
  VertRefresh 5.0-200.0
  Modeline "1920x1080" 148.50 1920 2008 2052 2200 1080 1084 1089 1125 +hsync +vsync
  Modeline "1920x1080_75" 220.64 1920 2056 2264 2608 1080 1081 1084 1128 -hsync +vsync
  Modeline "1600x1024" 106.91 1600 1704 1872 2144 1024 1025 1028 1060 -hsync +vsync
  Modeline "2560x1080" 185.58 2560 2624 2688 2784 1080 1083 1093 1111 +hsync -vsync
  Modeline "800x600" 40.00 800 840 968 1056 600 601 605 628 +hsync +vsync
EndSection
Section "Screen"
  Identifier "screen"
  Device "dummy"
  Monitor "monitor"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Modes "1920x1080" "1920x1080_75" "1600x1024" "2560x1080" "800x600"
    Virtual 2560 1440
  EndSubSection
EndSection
)";

// The sizes of the first connected output (the dummy driver's only one) as
// xrandr lists them, in the output's order, each size once.
std::vector<Size> XrandrSizes(const std::string& listing) {
    std::istringstream lines(listing);
    std::vector<Size> sizes;
    bool in = false;
    for (std::string line; std::getline(lines, line);) {
        unsigned w = 0, h = 0;
        if (!line.empty() && line[0] != ' ')
            in = sizes.empty() && line.find(" connected") != std::string::npos;
        else if (in && std::sscanf(line.c_str(), " %ux%u", &w, &h) == 2 &&
                 std::find(sizes.begin(), sizes.end(), Size{w, h}) == sizes.end())
            sizes.push_back({w, h});
    }
    return sizes;
}

}  // namespace

TEST(DisplayModesXorgTest, OfferedListMatchesXrandrOnTheDummyDriver) {
    if (!fs::exists("/usr/lib/xorg/modules/drivers/dummy_drv.so") || geteuid() != 0)
        GTEST_SKIP() << "needs the dummy video driver, and root for Xorg with its own configuration file";
    TempCurrentFolder folder;
    fs::create_directories(folder.Path() / "conf.d");
    std::ofstream(folder.Path() / "xorg.conf") << kXorgConf;
    std::string display;
    const std::string at = folder.Path().string() + "/";
    auto xorg = StartXServer({"/usr/bin/Xorg", "-noreset", "-nolisten", "tcp", "-config", at + "xorg.conf", "-configdir",
                              at + "conf.d", "-logfile", at + "Xorg.log", "+extension", "RANDR"},
                             at, display);
    ASSERT_FALSE(display.empty()) << "Xorg did not start within 20 s: " << xorg->Output();
    ChildProcess xrandr({"/usr/bin/xrandr", "-d", display, "-q"}, folder.Path().string());
    ASSERT_EQ(xrandr.Wait(), 0) << xrandr.Output();
    const std::string listing = xrandr.Output();
    const auto sizes = XrandrSizes(listing);
    ASSERT_FALSE(sizes.empty()) << listing;

    // The source's raw list is RandR's: the same sizes in the same order.
    auto source = DisplayModeSource::Create(display);
    std::vector<DisplayMode> modes;
    ASSERT_TRUE(source->GetModes(modes));
    std::vector<Size> ours;
    for (const DisplayMode& m : modes)
        if (std::find(ours.begin(), ours.end(), Size{m.width, m.height}) == ours.end())
            ours.push_back({m.width, m.height});
    EXPECT_EQ(ours, sizes) << listing;
    // Two rates of 1920 x 1080 are two RandR modes.
    EXPECT_GE(std::count_if(modes.begin(), modes.end(),
                            [](const DisplayMode& m) { return m.width == 1920 && m.height == 1080; }),
              2);

    // The dialog offers xrandr's sizes that the table lists, once each.
    std::vector<std::wstring> expected;
    for (const auto& [w, h] : sizes) {
        if (auto entry = FindSupportedResolution(w, h)) expected.push_back(FormatDisplayModeLabel(*entry));
    }
    std::ofstream("DefaultOption.json") << R"({"GameOptionVersion": "1", "GameOptionDefault": {}})";
    RecordingOptionView view;
    COptionDialog dialog(view, *source);
    ASSERT_TRUE(dialog.OnInitDialog());
    EXPECT_EQ(view.items, expected) << listing;
    EXPECT_GE(expected.size(), 3u) << listing;
    xorg->Kill(SIGTERM);
    xorg->Wait(5000);  // the destructor kills it outright after that
}

TEST(DisplayModesXorgTest, NoDisplayGivesAnEmptyList) {
    auto source = DisplayModeSource::Create(":199");
    std::vector<DisplayMode> modes{{1, 1, 1}};
    if (fs::exists("/tmp/.X11-unix/X199")) GTEST_SKIP() << "display :199 exists here";
    EXPECT_FALSE(source->GetModes(modes));
    EXPECT_TRUE(modes.empty());
}
