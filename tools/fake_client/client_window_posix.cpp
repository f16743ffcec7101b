#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <thread>

#include "client_window.h"

ClientWindow::ClientWindow(const std::string& windowClass) {
    if (windowClass.empty()) return;
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "Vevida2.0.exe: cannot open display %s\n", getenv("DISPLAY") ? getenv("DISPLAY") : "");
        return;
    }
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 64, 64, 0, 0, 0);
    std::string name = "Vevida2.0";
    std::string cls = windowClass;
    XClassHint hint{name.data(), cls.data()};
    XSetClassHint(display, window, &hint);
    XMapWindow(display, window);
    XSync(display, False);
    m_handle = display;
}

ClientWindow::~ClientWindow() {
    if (m_handle) XCloseDisplay(static_cast<Display*>(m_handle));
}

void ClientWindow::Linger(std::chrono::milliseconds time) const { std::this_thread::sleep_for(time); }

int main(int argc, char** argv) { return ClientMain({argv + 1, argv + argc}); }
