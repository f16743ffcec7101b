// Is the game client running? A process of this user under the client's name,
// or, with an X display, a window of the client's class.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "util/text_util.h"
#include "os/process.h"

namespace {

// The kernel cuts a process's comm to 15 bytes.
constexpr size_t kCommChars = 15;
// Real window trees are a few levels deep; the bound only guards the stack.
constexpr int kMaxWindowDepth = 64;

std::string ReadSmallFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A zombie has ended; only its entry waits for a parent that does not reap.
bool IsZombie(const std::string& procDir) {
    const std::string stat = ReadSmallFile(procDir + "/stat");
    const size_t paren = stat.rfind(')');  // comm may itself hold ") "
    return paren != std::string::npos && paren + 2 < stat.size() && stat[paren + 2] == 'Z';
}

bool ProcessHasName(const std::string& procDir, const std::string& name) {
    if (name.size() <= kCommChars) {
        std::string comm = ReadSmallFile(procDir + "/comm");
        if (!comm.empty() && comm.back() == '\n') comm.pop_back();
        if (comm == name) return true;
    }
    char target[4096];
    const ssize_t n = readlink((procDir + "/exe").c_str(), target, sizeof(target) - 1);
    if (n > 0) {
        std::string exe(target, static_cast<size_t>(n));
        const std::string deleted = " (deleted)";  // replaced while running: still the client
        if (exe.size() > deleted.size() && exe.ends_with(deleted)) exe.resize(exe.size() - deleted.size());
        if (BaseName(exe) == name) return true;
    }
    const std::string cmdline = ReadSmallFile(procDir + "/cmdline");
    const std::string argv0 = cmdline.substr(0, cmdline.find('\0'));
    return !argv0.empty() && BaseName(argv0) == name;
}

bool IsProcessRunning(const std::string& name) {
    if (name.empty()) return false;
    DIR* proc = opendir("/proc");
    if (!proc) return false;
    const uid_t uid = geteuid();
    const std::string self = std::to_string(getpid());
    bool found = false;
    while (!found) {
        const dirent* entry = readdir(proc);
        if (!entry) break;
        const std::string pid = entry->d_name;
        if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos || pid == self) continue;
        const std::string dir = "/proc/" + pid;
        struct stat st {};
        if (stat(dir.c_str(), &st) != 0 || st.st_uid != uid) continue;
        found = ProcessHasName(dir, name) && !IsZombie(dir);
    }
    closedir(proc);
    return found;
}

// Windows may vanish while we walk the tree; Xlib's default handler would end
// the process for that. Nothing a probe does is worth dying for.
int IgnoreXError(Display*, XErrorEvent*) {
    return 0;
}

bool HasClass(Display* display, Window window, const std::string& windowClass) {
    XClassHint hint{};
    if (!XGetClassHint(display, window, &hint)) return false;
    const bool match = hint.res_class && windowClass == hint.res_class;
    if (hint.res_name) XFree(hint.res_name);
    if (hint.res_class) XFree(hint.res_class);
    return match;
}

bool FindWindowOfClass(Display* display, Window window, const std::string& windowClass, int depth) {
    if (HasClass(display, window, windowClass)) return true;
    if (depth >= kMaxWindowDepth) return false;
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count)) return false;
    bool found = false;
    for (unsigned int i = 0; i < count && !found; ++i) {
        found = FindWindowOfClass(display, children[i], windowClass, depth + 1);
    }
    if (children) XFree(children);
    return found;
}

bool IsWindowOfClassPresent(const std::string& windowClass) {
    const char* displayName = getenv("DISPLAY");
    if (windowClass.empty() || !displayName || !*displayName) return false;
    Display* display = XOpenDisplay(displayName);
    if (!display) return false;  // no server answers: no window either
    XErrorHandler previous = XSetErrorHandler(IgnoreXError);
    bool found = false;
    for (int screen = 0; screen < ScreenCount(display) && !found; ++screen) {
        found = FindWindowOfClass(display, RootWindow(display, screen), windowClass, 0);
    }
    XSync(display, False);  // deliver pending errors to our handler, not the previous one
    XSetErrorHandler(previous);
    XCloseDisplay(display);
    return found;
}

}  // namespace

bool IsProgramRunning(const std::wstring& processName, const std::wstring& windowClass) {
    return IsProcessRunning(text::ToUtf8(processName)) || IsWindowOfClassPresent(text::ToUtf8(windowClass));
}
