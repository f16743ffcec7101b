#pragma once
// The desktop the widget tests run on, one per test process, with GTK
// initialised on it.
#include <gtk/gtk.h>

#include "support/test_common.h"

#include "support/test_desktop.h"

// The process's desktop, started on first use; the test fails when it cannot.
TestDesktop& WidgetDesktop();

// Runs the GTK main loop until `done` holds or `timeout` passes; whether `done` held.
bool RunLoopUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

// An undecorated toplevel with a fixed layout, placed at a known screen position.
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
