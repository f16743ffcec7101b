#pragma once
// A private desktop for one window test: an Xvfb server whose frame buffer is
// a file (what the screen really shows, shaped windows included), a D-Bus
// session for the accessibility bus, and xdotool for the pointer and keys.
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/temp_dir.h"

struct Screen {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;  // 0xRRGGBB, row by row
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    bool Valid() const { return width > 0; }
};

struct WindowGeometry {
    std::string id;
    int x = 0, y = 0, width = 0, height = 0;
};

class GuiSession {
public:
    GuiSession();  // Xvfb 1280x1024x24 and a session bus; display() empty on failure
    ~GuiSession();
    GuiSession(const GuiSession&) = delete;
    GuiSession& operator=(const GuiSession&) = delete;

    const std::string& display() const { return m_display; }
    const std::string& busAddress() const { return m_bus; }
    // Environment for a program on this desktop.
    std::map<std::string, std::string> Env() const;

    Screen ReadScreen() const;
    // Runs xdotool with `args`; its standard output.
    std::string Xdotool(const std::vector<std::string>& args) const;
    // The visible window of WM_CLASS `className`, waiting up to `timeoutMs`.
    bool FindWindow(const std::string& className, WindowGeometry& out, int timeoutMs = 30000) const;
    bool Geometry(const std::string& id, WindowGeometry& out) const;
    // Runs tests/gui/window/atspi_dialog.py with `args` on this session's bus.
    std::string AtspiDialog(const std::vector<std::string>& args) const;
    void Click(int x, int y) const;
    void MovePointer(int x, int y) const;

    // Runs a program on this desktop; its standard output.
    std::string Command(const std::vector<std::string>& argv) const { return Run(argv); }

private:
    std::string Run(const std::vector<std::string>& argv) const;

    TempDir m_dir;
    pid_t m_xvfb = -1;
    pid_t m_dbus = -1;
    std::string m_display;
    std::string m_bus;
};

// Keeps waiting until `done` holds or `timeoutMs` passed.
bool WaitFor(const std::function<bool()>& done, int timeoutMs = 10000);
