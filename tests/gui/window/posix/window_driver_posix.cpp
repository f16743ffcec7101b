// The window on an Xvfb desktop: pixels read back from its frame buffer,
// the pointer moved by xdotool, dialogs read through AT-SPI. No window
// manager runs: the window cannot be dragged, and the root window lies below.
#include <regex>
#include <sstream>

#include "gui/window/window_driver.h"
#include "support/child_process.h"
#include "support/temp_dir.h"
#include "support/test_desktop.h"
#include "support/wait_until.h"
#include "ui/gtk/skin.h"

namespace {
constexpr int kScreenWidth = 1280, kScreenHeight = 1024;

// One X server for every scenario: each ends its launchers, and so its windows.
TestDesktop& SharedDesktop() {
    static TestDesktop shared{kScreenWidth, kScreenHeight, true};
    return shared;
}
}  // namespace

struct WindowDriver::State {
    TestDesktop& desktop = SharedDesktop();
    WindowGeometry window, dialog;
    std::string pid;
};

WindowDriver::WindowDriver() : m(std::make_unique<State>()) {
    error = m->desktop.error();
    env = m->desktop.Env();
    // Containers may refuse WebKit's sandbox; users keep it on, the tests turn it off.
    env["WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS"] = "1";
    workArea = {0, 0, kScreenWidth, kScreenHeight};
}

WindowDriver::~WindowDriver() = default;

bool WindowDriver::WaitForWindow(const ChildProcess& launcher) {
    m->pid = "pid:" + std::to_string(launcher.pid());
    if (!m->desktop.FindWindow("QuonLauncher", m->window)) return false;
    below = WindowAt(5, 5);  // the root: no window there
    title = m->desktop.Xdotool({"getwindowname", m->window.id});
    title = title.substr(0, title.find('\n'));
    // Xvfb draws the pointer into the frame buffer: a corner keeps it out of the way.
    m->desktop.Xdotool({"mousemove", std::to_string(kScreenWidth - 1), std::to_string(kScreenHeight - 1)});
    return true;
}

Area WindowDriver::Place() {
    m->desktop.Geometry(m->window.id, m->window);
    return {m->window.x, m->window.y, m->window.x + m->window.width, m->window.y + m->window.height};
}

std::string WindowDriver::WindowAt(int x, int y) const {
    const std::string shell = m->desktop.Xdotool(
        {"mousemove", std::to_string(x), std::to_string(y), "getmouselocation", "--shell"});
    std::smatch found;
    return std::regex_search(shell, found, std::regex("WINDOW=(\\w+)")) ? found[1].str() : "";
}

std::optional<int> WindowDriver::ClicksBelow() const {
    return std::nullopt;
}

std::optional<Area> WindowDriver::NoticePlace() const {
    return std::nullopt;
}

Picture WindowDriver::Capture() const {
    const ScreenImage screen = m->desktop.ReadScreen();
    Picture picture{m->window.width, m->window.height, {}};
    for (int y = 0; screen.Valid() && y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x)
            picture.pixels.push_back(screen.At(m->window.x + x, m->window.y + y));
    return picture;
}

Picture WindowDriver::Skin(int id) {
    const std::string bytes = ReadWholeFile(std::string(QUON_SKIN_DIR) + "/" + std::to_string(id) + ".bmp");
    const SkinImage image = SkinImage::Decode(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    Picture picture{image.Width(), image.Height(), {}};
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) picture.pixels.push_back(image.Pixel(x, y));
    return picture;
}

void WindowDriver::Mouse(int x, int y, std::initializer_list<Pointer> events) const {
    std::vector<std::string> args{"mousemove", std::to_string(m->window.x + x),
                                  std::to_string(m->window.y + y)};
    for (Pointer event : events)
        if (event != kMove) args.insert(args.end(), {event == kDown ? "mousedown" : "mouseup", "1"});
    m->desktop.Xdotool(args);
}

// The dialog is a second window of the launcher; the launcher waits for it.
bool WindowDriver::OptionsShown() {
    WindowGeometry& dialog = m->dialog;
    if (!m->desktop.FindWindow("QuonLauncher", dialog, 10000, 50, m->window.id)) return false;
    m->desktop.Xdotool(
        {"mousemove", std::to_string(dialog.x + dialog.width / 2), std::to_string(dialog.y + 5)});
    m->desktop.Xdotool({"windowfocus", "--sync", dialog.id});
    return true;
}

bool WindowDriver::CloseOptions() {
    m->desktop.Xdotool({"key", "Escape"});
    return WaitUntil([&] {
        return m->desktop.Xdotool({"search", "--onlyvisible", "--classname", "QuonLauncher"})
                   .find(m->dialog.id) == std::string::npos;
    });
}

BoxView WindowDriver::Box(int timeoutMs) const {
    const std::string dump = m->desktop.Dialog(
        m->pid, "QuonLauncher.exe", {"wait:" + std::to_string(std::max(1, timeoutMs / 1000)), "dump"});
    // "control\t<role>\t<text>\t<states>\t<extents>" lines.
    BoxView box{"", dump};
    const std::regex control("control\t(label|push button)\t([^\t]*)\t");
    for (std::sregex_iterator it(dump.begin(), dump.end(), control), end; it != end; ++it)
        box.controls += ((*it)[1] == "label" ? "label\t" : "button\t") + (*it)[2].str() + "\n";
    return box;
}

void WindowDriver::AnswerBox() const {
    m->desktop.Dialog(m->pid, "QuonLauncher.exe", {"wait:10", "click:OK"});
}

void WindowDriver::AskToClose(ChildProcess& launcher) const {
    launcher.Kill(SIGTERM);
}
