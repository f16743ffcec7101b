// The display-mode source against a real X server: Xorg with the dummy video
// driver and several modes (Xvfb offers only one), compared with what
// `xrandr` reports for the same output.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "launcher/options/option_dialog.h"
#include "platform/display_modes.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

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

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string RunCommand(const std::string& command, int& status) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        status = -1;
        return out;
    }
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), pipe)) > 0) out.append(buf, n);
    status = pclose(pipe);
    return out;
}

// The modes of the primary (else the first connected) output as xrandr
// lists them: one line per mode name, in the output's order.
std::vector<std::pair<uint32_t, uint32_t>> XrandrSizes(const std::string& listing) {
    std::istringstream lines(listing);
    std::string line;
    std::vector<std::vector<std::pair<uint32_t, uint32_t>>> outputs;
    int primary = -1;
    bool inConnected = false;
    while (std::getline(lines, line)) {
        if (line.empty()) continue;
        if (line[0] != ' ') {
            inConnected = line.find(" connected") != std::string::npos;
            if (inConnected) {
                outputs.emplace_back();
                if (primary < 0 && line.find(" connected primary") != std::string::npos)
                    primary = static_cast<int>(outputs.size()) - 1;
            }
            continue;
        }
        unsigned w = 0, h = 0;
        if (inConnected && std::sscanf(line.c_str(), " %ux%u", &w, &h) == 2) outputs.back().push_back({w, h});
    }
    if (outputs.empty()) return {};
    return outputs[primary >= 0 ? primary : 0];
}

class NullView : public OptionDialogView {
public:
    void EnableControl(int, bool) override {}
    void SetRadioChecked(int, bool) override {}
    int GetCheckedRadioIndex() const override { return -1; }
    void InsertListItem(int, const std::wstring& text) override { items.push_back(text); }
    void SetListSelection(int) override {}
    int GetListSelection() const override { return -1; }
    void InvalidateControl(int, bool) override {}
    void Close() override {}
    std::vector<std::wstring> items;
};

class XorgDummyServer {
public:
    ~XorgDummyServer() { Stop(); }

    // Empty on success, otherwise why the server could not be started.
    std::string Start(const fs::path& folder) {
        if (!fs::exists("/usr/lib/xorg/modules/drivers/dummy_drv.so"))
            return "the dummy video driver is not installed";
        if (geteuid() != 0) return "Xorg with its own configuration file needs root";
        for (int n = 73; n < 200 && m_display < 0; ++n) {
            if (!fs::exists("/tmp/.X" + std::to_string(n) + "-lock") &&
                !fs::exists("/tmp/.X11-unix/X" + std::to_string(n)))
                m_display = n;
        }
        if (m_display < 0) return "no free display number";
        fs::create_directories(folder / "conf.d");
        std::ofstream(folder / "xorg.conf") << kXorgConf;
        m_log = folder / "Xorg.log";

        const std::string display = ":" + std::to_string(m_display);
        const std::string conf = (folder / "xorg.conf").string();
        const std::string confDir = (folder / "conf.d").string();
        const std::string log = m_log.string();
        const std::string output = (folder / "Xorg.out").string();
        std::vector<std::string> args = {"Xorg",    display,      "-noreset",   "-nolisten", "tcp",
                                         "-config", conf,         "-configdir", confDir,     "-logfile",
                                         log,       "+extension", "RANDR"};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        const int rc = posix_spawnp(&m_pid, "Xorg", &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0) {
            m_pid = -1;
            return "Xorg could not be started: " + std::string(strerror(rc));
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                return "Xorg ended at start-up; its output: " + ReadAll(output) + ReadAll(m_log);
            }
            int xrandrStatus = 0;
            RunCommand("xrandr -d " + display + " -q >/dev/null 2>&1", xrandrStatus);
            if (xrandrStatus == 0) return "";
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        Stop();
        return "Xorg did not answer within 20 s; its output: " + ReadAll(output);
    }

    void Stop() {
        if (m_pid <= 0) return;
        kill(m_pid, SIGTERM);
        for (int i = 0; i < 50; ++i) {
            if (waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
                m_pid = -1;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

    std::string Display() const { return ":" + std::to_string(m_display); }

private:
    pid_t m_pid = -1;
    int m_display = -1;
    fs::path m_log;
};

}  // namespace

TEST(DisplayModesXorgTest, OfferedListMatchesXrandrOnTheDummyDriver) {
    std::string pattern = (fs::temp_directory_path() / "quon-xorg-XXXXXX").string();
    const fs::path folder = mkdtemp(pattern.data());
    const fs::path previous = fs::current_path();
    {
        XorgDummyServer server;
        const std::string why = server.Start(folder);
        if (!why.empty()) {
            fs::remove_all(folder);
            GTEST_SKIP() << "no X server for the test: " << why;
        }

        int status = 0;
        const std::string listing = RunCommand("xrandr -d " + server.Display() + " -q", status);
        ASSERT_EQ(status, 0) << listing;
        const auto xrandr = XrandrSizes(listing);
        ASSERT_FALSE(xrandr.empty()) << listing;

        // The source's raw list is RandR's: the same sizes in the same order.
        auto source = DisplayModeSource::Create(server.Display());
        std::vector<DisplayMode> modes;
        ASSERT_TRUE(source->GetModes(modes));
        std::vector<std::pair<uint32_t, uint32_t>> ours;
        for (const DisplayMode& m : modes) ours.push_back({m.width, m.height});
        std::vector<std::pair<uint32_t, uint32_t>> xrandrFirsts, ourFirsts;
        for (const auto& s : xrandr)
            if (std::find(xrandrFirsts.begin(), xrandrFirsts.end(), s) == xrandrFirsts.end())
                xrandrFirsts.push_back(s);
        for (const auto& s : ours)
            if (std::find(ourFirsts.begin(), ourFirsts.end(), s) == ourFirsts.end()) ourFirsts.push_back(s);
        EXPECT_EQ(ourFirsts, xrandrFirsts) << listing;
        // Two rates of 1920 x 1080 are two RandR modes.
        EXPECT_GE(std::count(ours.begin(), ours.end(), std::make_pair(1920u, 1080u)), 2);

        // The dialog offers xrandr's sizes that the table lists, once each.
        std::vector<std::wstring> expected;
        for (const auto& [w, h] : xrandrFirsts) {
            if (auto entry = FindSupportedResolution(w, h))
                expected.push_back(FormatDisplayModeLabel(*entry));
        }
        fs::current_path(folder);
        std::ofstream("DefaultOption.json") << R"({"GameOptionVersion": "1", "GameOptionDefault": {}})";
        NullView view;
        COptionDialog dialog(view, *source);
        ASSERT_TRUE(dialog.OnInitDialog());
        fs::current_path(previous);
        EXPECT_EQ(view.items, expected) << listing;
        EXPECT_GE(view.items.size(), 3u);
        EXPECT_EQ(std::count(view.items.begin(), view.items.end(), L"1920 x 1080 (16:9)"), 1);
        EXPECT_EQ(std::count(view.items.begin(), view.items.end(), L"1600 x 1024 (16:10)"), 1);
        EXPECT_EQ(std::count(view.items.begin(), view.items.end(), L"2560 x 1080 (16:7)"), 1);
        for (const auto& item : view.items) EXPECT_EQ(item.find(L"800 x 600"), std::wstring::npos);
    }
    fs::remove_all(folder);
}

TEST(DisplayModesXorgTest, NoDisplayGivesAnEmptyList) {
    auto source = DisplayModeSource::Create(":199");
    std::vector<DisplayMode> modes{{1, 1, 1}};
    if (fs::exists("/tmp/.X11-unix/X199")) GTEST_SKIP() << "display :199 exists here";
    EXPECT_FALSE(source->GetModes(modes));
    EXPECT_TRUE(modes.empty());
}
