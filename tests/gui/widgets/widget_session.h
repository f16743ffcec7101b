#pragma once
// The desktop that the widget tests run on, one per test process, with GTK
// initialised on it.
#include <gtk/gtk.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "support/test_desktop.h"

class WidgetSession {
public:
    static constexpr int kScreenWidth = 1920;
    static constexpr int kScreenHeight = 1080;

    // The process's session, started on first use; the test fails when it cannot.
    static WidgetSession& Get();

    const std::string& Display() const { return m_desktop.display(); }
    ScreenImage ReadScreen() const { return m_desktop.ReadScreen(); }

private:
    WidgetSession() = default;
    std::string Start();

    TestDesktop m_desktop{kScreenWidth, kScreenHeight, true};
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
