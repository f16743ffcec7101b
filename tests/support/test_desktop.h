#pragma once
// A private X server for tests: Xvfb on a display number of its own whose
// frame buffer is a file (what the screen really shows, shaped windows
// included), and, when asked, a D-Bus session of its own so that none is
// autolaunched and left behind (the accessibility bus starts from it).
// Programs run on it through Run: xdotool for the pointer and keys, the
// AT-SPI driver for dialogs.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/temp_dir.h"

// One screen's pixels as 0xRRGGBB values, row by row.
struct ScreenImage {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    bool Valid() const { return width > 0; }
};

struct WindowGeometry {
    std::string id;
    int x = 0, y = 0, width = 0, height = 0;
};

// Starts the X server `argv` (told to pick a free display) in `folder`;
// `display` is its name once it answers within 20 s, else empty.
std::unique_ptr<ChildProcess> StartXServer(std::vector<std::string> argv, const std::string& folder,
                                           std::string& display);

class TestDesktop {
public:
    TestDesktop(int width, int height, bool withBus);
    ~TestDesktop();
    TestDesktop(const TestDesktop&) = delete;
    TestDesktop& operator=(const TestDesktop&) = delete;

    // Empty when the server (or the bus) did not start; error() tells why.
    const std::string& display() const { return m_display; }
    const std::string& error() const { return m_error; }
    // The frame buffer; not Valid() when it cannot be read.
    ScreenImage ReadScreen() const;
    std::string ServerLog() const { return m_xvfb ? m_xvfb->Output() : ""; }

    // Environment for a program on this desktop.
    std::map<std::string, std::string> Env() const;
    // Runs `argv` on this desktop; its standard output.
    std::string Run(const std::vector<std::string>& argv) const;
    std::string Xdotool(const std::vector<std::string>& args) const;
    // tests/gui/atspi_driver.py's `steps` on the dialog `title` of `program`
    // (a name, or pid:N); its standard output, empty on failure.
    std::string Dialog(const std::string& program, const std::string& title,
                       const std::vector<std::string>& steps) const;
    bool Geometry(const std::string& id, WindowGeometry& out) const;
    // A visible window of WM_CLASS `className` wider than `minWidth`, other
    // than `except`, waiting up to `timeoutMs`.
    bool FindWindow(const std::string& className, WindowGeometry& out, int timeoutMs = 30000,
                    int minWidth = 100, const std::string& except = "") const;

private:
    TempDir m_dir;
    std::unique_ptr<ChildProcess> m_xvfb;
    std::unique_ptr<ChildProcess> m_dbus;
    std::string m_display, m_bus, m_error;
};
