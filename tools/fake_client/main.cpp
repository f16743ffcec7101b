// Stand-in for the game client. It writes "client-ran.txt" into its working
// folder: each argument on a line of its own, then the working folder on the
// last line. The file appears whole (temporary file + rename), so a test that
// polls for it never reads half of it.
// QUON_FAKE_CLIENT_LINGER_MS=<n>: stay alive n ms before exiting, so that the
// launcher's client-running rule can be exercised.
// QUON_FAKE_CLIENT_WINDOW=<class>: while lingering, show a window of that
// WM_CLASS on $DISPLAY, as the real client's main window does.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

bool RecordRun(int argc, char** argv) {
    std::string record;
    for (int i = 1; i < argc; ++i) record += std::string(argv[i]) + "\n";
    char cwd[4096];
    if (!getcwd(cwd, sizeof(cwd))) return false;
    record += std::string(cwd) + "\n";
    FILE* out = fopen("client-ran.txt.tmp", "wb");
    if (!out) return false;
    const bool written = fwrite(record.data(), 1, record.size(), out) == record.size();
    if (fclose(out) != 0 || !written) return false;
    return rename("client-ran.txt.tmp", "client-ran.txt") == 0;
}

// Returns the open display (closed by the caller) or null.
Display* ShowWindow(const char* windowClass) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        fprintf(stderr, "Vevida2.0.exe: cannot open display %s\n", getenv("DISPLAY") ? getenv("DISPLAY") : "");
        return nullptr;
    }
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 64, 64, 0, 0, 0);
    std::string name = "Vevida2.0";
    std::string cls = windowClass;
    XClassHint hint{name.data(), cls.data()};
    XSetClassHint(display, window, &hint);
    XMapWindow(display, window);
    XSync(display, False);
    return display;
}

}  // namespace

int main(int argc, char** argv) {
    if (!RecordRun(argc, argv)) perror("Vevida2.0.exe: client-ran.txt");
    const char* linger = getenv("QUON_FAKE_CLIENT_LINGER_MS");
    if (!linger || !*linger) return 0;
    const char* windowClass = getenv("QUON_FAKE_CLIENT_WINDOW");
    Display* display = windowClass && *windowClass ? ShowWindow(windowClass) : nullptr;
    std::this_thread::sleep_for(std::chrono::milliseconds(atol(linger)));
    if (display) XCloseDisplay(display);
    return 0;
}
