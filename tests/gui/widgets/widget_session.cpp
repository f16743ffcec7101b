#include "widget_session.h"

#include "support/test_common.h"

namespace {
TestDesktop* g_desktop = nullptr;

// Whether bubblewrap can make the namespaces WebKit's sandbox asks for.
bool SandboxRuns() {
    ChildProcess probe(
        {"/usr/bin/bwrap", "--unshare-user-try", "--unshare-pid", "--unshare-ipc", "--unshare-uts",
         "--unshare-net", "--ro-bind", "/", "/", "--proc", "/proc", "--dev", "/dev", "/bin/true"},
        "/");
    return probe.Wait(10000) == 0;
}
}  // namespace

TestDesktop& WidgetDesktop() {
    if (g_desktop) return *g_desktop;
    g_desktop = new TestDesktop(1920, 1080, true);
    // The servers end with the process, after the last test.
    std::atexit([] { delete g_desktop; });
    if (!g_desktop->error().empty()) {
        ADD_FAILURE() << "no test desktop: " << g_desktop->error();
        return *g_desktop;
    }
    // The whole process lives on this desktop: set once, never restored.
    for (const auto& [name, value] : g_desktop->Env()) setenv(name.c_str(), value.c_str(), 1);
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("AT_SPI_BUS_ADDRESS");
    setenv("GTK_THEME", "Adwaita", 1);
    // A test container without namespaces cannot run WebKit's sandbox; there,
    // and in the tests only, it is turned off (the launcher always keeps it).
    if (!SandboxRuns()) {
        std::fprintf(stderr, "note: bubblewrap cannot run here; WebKit's sandbox is off for this test\n");
        setenv("WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS", "1", 1);
    }
    // The name the accessibility tree shows for this program.
    g_set_prgname("quon-gui-widgets");
    if (!gtk_init_check(nullptr, nullptr)) ADD_FAILURE() << "gtk_init failed on " << g_desktop->display();
    return *g_desktop;
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
    RunLoopUntil([] { return false; }, std::chrono::milliseconds(20));
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
