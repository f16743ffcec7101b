#include "widget_session.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

uint32_t BigEndian32(const unsigned char* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

// The lowest bit set in `mask`, so a channel can be shifted down to 8 bits.
int Shift(uint32_t mask) {
    int shift = 0;
    while (mask && !(mask & 1)) mask >>= 1, ++shift;
    return shift;
}

// Whether bubblewrap can make the namespaces WebKit's sandbox asks for.
bool SandboxRuns(const std::string& folder) {
    ChildProcess probe(
        {"/usr/bin/bwrap", "--unshare-user-try", "--unshare-pid", "--unshare-ipc", "--unshare-uts",
         "--unshare-net", "--ro-bind", "/", "/", "--proc", "/proc", "--dev", "/dev", "/bin/true"},
        folder);
    return probe.Wait(10000) == 0;
}

}  // namespace

namespace {
WidgetSession* g_session = nullptr;
}

WidgetSession& WidgetSession::Get() {
    if (g_session) return *g_session;
    g_session = new WidgetSession();
    const std::string why = g_session->Start();
    if (!why.empty()) ADD_FAILURE() << "no test desktop: " << why;
    // The servers end with the process, after the last test.
    std::atexit([] { delete g_session; });
    return *g_session;
}

std::string WidgetSession::Start() {
    int fds[2];
    if (pipe(fds) != 0) return "no pipe";
    // -fbdir: the screen as shown, readable as a file, which reading the root
    // window back would not give where a window's shape lets the root show.
    m_xvfb = std::make_unique<ChildProcess>(
        std::vector<std::string>{"/usr/bin/Xvfb", "-displayfd", std::to_string(fds[1]), "-fbdir",
                                 m_dir.path(), "-screen", "0",
                                 std::to_string(kScreenWidth) + "x" + std::to_string(kScreenHeight) + "x24",
                                 "-nolisten", "tcp", "-noreset"},
        m_dir.path());
    close(fds[1]);
    pollfd ready{fds[0], POLLIN, 0};
    char number[16] = {};
    const bool answered = poll(&ready, 1, 15000) == 1 && read(fds[0], number, sizeof(number) - 1) > 0;
    close(fds[0]);
    if (!answered) return "Xvfb did not start: " + m_xvfb->Output();
    m_display = ":" + std::to_string(std::atoi(number));
    setenv("DISPLAY", m_display.c_str(), 1);
    unsetenv("WAYLAND_DISPLAY");

    // A bus of our own, so that none is autolaunched and left running; the
    // accessibility bus is started from it on demand and ends with it.
    const std::string socket = m_dir.Join("bus");
    m_bus = std::make_unique<ChildProcess>(
        std::vector<std::string>{"/usr/bin/dbus-daemon", "--session", "--nofork", "--nopidfile",
                                 "--address=unix:path=" + socket},
        m_dir.path());
    for (int i = 0; i < 500 && !std::filesystem::exists(socket); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!std::filesystem::exists(socket)) return "dbus-daemon did not start: " + m_bus->Output();
    setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + socket).c_str(), 1);
    unsetenv("AT_SPI_BUS_ADDRESS");
    setenv("GTK_THEME", "Adwaita", 1);
    // WebKit confines its renderer with bubblewrap. A test container without
    // namespaces cannot run it; there, and in the tests only, the sandbox is
    // turned off (the launcher itself always keeps it).
    if (!SandboxRuns(m_dir.path())) {
        std::fprintf(stderr, "note: bubblewrap cannot run here; WebKit's sandbox is off for this test\n");
        setenv("WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS", "1", 1);
    }
    // The name the accessibility tree shows for this program.
    g_set_prgname("quon-gui-widgets");
    if (!gtk_init_check(nullptr, nullptr)) return "gtk_init failed on " + m_display;
    return "";
}

WidgetSession::~WidgetSession() {
    if (m_bus) m_bus->Kill(SIGTERM), m_bus->Wait(5000);
    if (m_xvfb) m_xvfb->Kill(SIGTERM), m_xvfb->Wait(5000);
}

bool WidgetSession::ReadScreen(ScreenImage& image, std::string& why) const {
    std::ifstream in(m_dir.Join("Xvfb_screen0"), std::ios::binary);
    std::vector<unsigned char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (file.size() < 100) return why = "no frame buffer file", false;
    // XWD header: 25 big-endian 32-bit fields, then the window name and the colour map.
    auto field = [&](int i) { return BigEndian32(&file[i * 4]); };
    const uint32_t headerSize = field(0), byteOrder = field(7), bitsPerPixel = field(11),
                   bytesPerLine = field(12);
    const uint32_t redMask = field(14), greenMask = field(15), blueMask = field(16), colours = field(19);
    image.width = static_cast<int>(field(4));
    image.height = static_cast<int>(field(5));
    const size_t offset = headerSize + size_t(colours) * 12;
    if (bitsPerPixel != 32 || file.size() < offset + size_t(bytesPerLine) * image.height) {
        return why = "unexpected frame buffer layout", false;
    }
    image.pixels.resize(static_cast<size_t>(image.width) * image.height);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const unsigned char* p = &file[offset + size_t(y) * bytesPerLine + size_t(x) * 4];
            const uint32_t v = byteOrder == 0 ? (p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24))
                                              : BigEndian32(p);
            image.pixels[size_t(y) * image.width + x] = (((v & redMask) >> Shift(redMask)) << 16) |
                                                        (((v & greenMask) >> Shift(greenMask)) << 8) |
                                                        ((v & blueMask) >> Shift(blueMask));
        }
    }
    return true;
}

bool RunLoopUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        // Wakes at least every 10 ms to look at `done` again.
        const guint tick = g_timeout_add(
            10, [](gpointer) { return G_SOURCE_REMOVE; }, nullptr);
        g_main_context_iteration(nullptr, TRUE);
        if (GSource* source = g_main_context_find_source_by_id(nullptr, tick)) g_source_destroy(source);
    }
    return true;
}

void RunLoopFor(std::chrono::milliseconds duration) {
    RunLoopUntil([] { return false; }, duration);
}

TestWindow::TestWindow(int width, int height, int x, int y) : m_x(x), m_y(y) {
    m_window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    g_object_ref_sink(m_window);
    gtk_window_set_decorated(GTK_WINDOW(m_window), FALSE);
    gtk_window_set_default_size(GTK_WINDOW(m_window), width, height);
    gtk_window_move(GTK_WINDOW(m_window), x, y);
    m_fixed = gtk_fixed_new();
    gtk_container_add(GTK_CONTAINER(m_window), m_fixed);
}

TestWindow::~TestWindow() {
    gtk_widget_destroy(m_window);
    g_object_unref(m_window);
    RunLoopFor(std::chrono::milliseconds(20));
}

bool TestWindow::ShowAndWait() {
    gtk_widget_show_all(m_window);
    return RunLoopUntil(
        [this] {
            GdkWindow* window = gtk_widget_get_window(m_window);
            int x = -1, y = -1;
            if (window && gdk_window_is_viewable(window)) gdk_window_get_origin(window, &x, &y);
            return x == m_x && y == m_y;
        },
        std::chrono::seconds(10));
}
