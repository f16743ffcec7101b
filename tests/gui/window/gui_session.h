#pragma once
// A private desktop for one window test (Xvfb and a session bus), with
// xdotool for the pointer and keys.
#include <sys/types.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/test_desktop.h"
#include "support/wait_until.h"

using Screen = ScreenImage;

struct WindowGeometry {
    std::string id;
    int x = 0, y = 0, width = 0, height = 0;
};

class GuiSession {
public:
    const std::string& display() const { return m_desktop.display(); }
    const std::string& busAddress() const { return m_desktop.busAddress(); }
    // Environment for a program on this desktop.
    std::map<std::string, std::string> Env() const;

    Screen ReadScreen() const { return m_desktop.ReadScreen(); }
    // Runs xdotool with `args`; its standard output.
    std::string Xdotool(const std::vector<std::string>& args) const;
    // The visible window of WM_CLASS `className`, waiting up to `timeoutMs`.
    bool FindWindow(const std::string& className, WindowGeometry& out, int timeoutMs = 30000) const;
    bool Geometry(const std::string& id, WindowGeometry& out) const;
    // Runs tests/gui/widgets/atspi_driver.py's `steps` on the box of process
    // `pid` (captioned with the launcher's file name); its standard output.
    std::string Dialog(pid_t pid, const std::vector<std::string>& steps) const;
    void Click(int x, int y) const;
    void MovePointer(int x, int y) const;

    // Runs a program on this desktop; its standard output.
    std::string Command(const std::vector<std::string>& argv) const { return Run(argv); }

private:
    std::string Run(const std::vector<std::string>& argv) const;

    TestDesktop m_desktop{1280, 1024, true};
};
