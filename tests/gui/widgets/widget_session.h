#pragma once
// The desktop that the widget tests run on, one per test process: an Xvfb
// server whose frame buffer is readable as a file (what the screen shows), a
// D-Bus session of its own with the accessibility bus behind it, and GTK
// initialised on that display.
#include <gtk/gtk.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/temp_dir.h"

// One screen's pixels as 0xRRGGBB values.
struct ScreenImage {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

class WidgetSession {
public:
    static constexpr int kScreenWidth = 1920;
    static constexpr int kScreenHeight = 1080;

    // The process's session, started on first use; the test fails when it cannot.
    static WidgetSession& Get();
    ~WidgetSession();

    const std::string& Display() const { return m_display; }
    // Reads the frame buffer; false (with `why`) when it cannot be parsed.
    bool ReadScreen(ScreenImage& image, std::string& why) const;

private:
    WidgetSession() = default;
    std::string Start();

    TempDir m_dir;
    std::unique_ptr<ChildProcess> m_xvfb;
    std::unique_ptr<ChildProcess> m_bus;
    std::string m_display;
};

// Runs the GTK main loop until `done` holds or `timeout` passes; true when
// `done` held.
bool RunLoopUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
// Runs the main loop for `duration`.
void RunLoopFor(std::chrono::milliseconds duration);

// A toplevel window with a fixed layout, placed at a known screen position.
class TestWindow {
public:
    TestWindow(int width, int height, int x, int y);
    ~TestWindow();
    GtkWindow* Window() const { return GTK_WINDOW(m_window); }
    GtkFixed* Fixed() const { return GTK_FIXED(m_fixed); }
    // Shows everything and waits until the window is on the screen.
    bool ShowAndWait();

private:
    GtkWidget* m_window = nullptr;
    GtkWidget* m_fixed = nullptr;
    int m_x = 0, m_y = 0;
};
