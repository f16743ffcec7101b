#include "gui_session.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

namespace {
uint32_t Card32(const std::string& data, size_t offset) {
    const auto* p = reinterpret_cast<const unsigned char*>(data.data() + offset);
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

std::string ShellQuote(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}
}  // namespace

bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

namespace {
// Starts a server of the session. It keeps only `keepFd` of our descriptors:
// a server that outlived the test must not hold the test's lock file open.
pid_t SpawnServer(std::vector<std::string> argv, int keepFd, int outFd, int errFd) {
    const pid_t pid = fork();
    if (pid != 0) return pid;
    const int devNull = open("/dev/null", O_RDWR);
    dup2(devNull, STDIN_FILENO);
    dup2(outFd >= 0 ? outFd : devNull, STDOUT_FILENO);
    dup2(errFd >= 0 ? errFd : devNull, STDERR_FILENO);
    for (int fd = 3; fd < 1024; ++fd)
        if (fd != keepFd) close(fd);
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
}

void StopServer(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    for (int i = 0; i < 250 && waitpid(pid, nullptr, WNOHANG) == 0; ++i) usleep(20000);
    if (waitpid(pid, nullptr, WNOHANG) == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}
}  // namespace

GuiSession::GuiSession() {
    // A display number of our own: free of a lock file, then proven by a
    // client that connects.
    for (int attempt = 0; attempt < 20 && m_display.empty(); ++attempt) {
        const int number = 300 + static_cast<int>((getpid() * 7 + attempt * 13) % 600);
        if (access(("/tmp/.X" + std::to_string(number) + "-lock").c_str(), F_OK) == 0) continue;
        const std::string display = ":" + std::to_string(number);
        const pid_t server = SpawnServer(
            {"/usr/bin/Xvfb", display, "-noreset", "-nolisten", "tcp", "-screen", "0", "1280x1024x24",
             "-fbdir", m_dir.path()},
            -1, -1,
            open((m_dir.path() + "/xvfb.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        m_display = display;
        // -noreset: otherwise the server resets whenever its last client
        // leaves (our probe, a test's xdotool) and turns clients away meanwhile.
        if (WaitFor(
                [&] {
                    return waitpid(server, nullptr, WNOHANG) == 0 && !Xdotool({"getdisplaygeometry"}).empty();
                },
                10000)) {
            m_xvfb = server;
            break;
        }
        m_display.clear();
        StopServer(server);
    }
    int fds[2];
    char buffer[64] = {};
    pollfd ready{};

    // Our own bus, so that no session bus is autolaunched and left behind.
    if (pipe(fds) != 0) return;
    m_dbus =
        SpawnServer({"/usr/bin/dbus-daemon", "--session", "--nofork", "--print-address"}, -1, fds[1], -1);
    close(fds[1]);
    std::string address;
    while (poll(&(ready = pollfd{fds[0], POLLIN, 0}), 1, 5000) == 1) {
        const ssize_t n = read(fds[0], buffer, sizeof(buffer) - 1);
        if (n <= 0) break;
        address.append(buffer, static_cast<size_t>(n));
        if (address.find('\n') != std::string::npos) break;
    }
    close(fds[0]);
    if (address.rfind("unix:", 0) == 0) m_bus = address.substr(0, address.find('\n'));
}

GuiSession::~GuiSession() {
    StopServer(m_dbus);
    StopServer(m_xvfb);
}

std::map<std::string, std::string> GuiSession::Env() const {
    return {{"DISPLAY", m_display}, {"DBUS_SESSION_BUS_ADDRESS", m_bus}, {"WAYLAND_DISPLAY", ""}};
}

Screen GuiSession::ReadScreen() const {
    Screen screen;
    std::ifstream in(m_dir.path() + "/Xvfb_screen0", std::ios::binary);
    std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (data.size() < 100) return screen;
    // XWD header: 25 big-endian 32-bit fields, the window name, the colours.
    const uint32_t headerSize = Card32(data, 0);
    const int width = static_cast<int>(Card32(data, 16));
    const int height = static_cast<int>(Card32(data, 20));
    const uint32_t byteOrder = Card32(data, 28);
    const uint32_t bitsPerPixel = Card32(data, 44);
    const uint32_t bytesPerLine = Card32(data, 48);
    const uint32_t colours = Card32(data, 76);
    const size_t offset = headerSize + colours * 12;
    if (bitsPerPixel != 32 || data.size() < offset + size_t(bytesPerLine) * height) return screen;
    screen.width = width;
    screen.height = height;
    screen.pixels.resize(size_t(width) * height);
    for (int y = 0; y < height; ++y) {
        const auto* row =
            reinterpret_cast<const unsigned char*>(data.data() + offset + size_t(y) * bytesPerLine);
        for (int x = 0; x < width; ++x) {
            const unsigned char* p = row + x * 4;
            const uint32_t v =
                byteOrder == 0 ? (p[0] | (p[1] << 8) | (p[2] << 16)) : (p[3] | (p[2] << 8) | (p[1] << 16));
            screen.pixels[size_t(y) * width + x] = v & 0xffffff;
        }
    }
    return screen;
}

std::string GuiSession::Run(const std::vector<std::string>& argv) const {
    std::string command =
        "env DISPLAY=" + ShellQuote(m_display) + " DBUS_SESSION_BUS_ADDRESS=" + ShellQuote(m_bus);
    for (const auto& a : argv) command += " " + ShellQuote(a);
    command += " 2>/dev/null";
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0) out.append(buffer, n);
        pclose(pipe);
    }
    return out;
}

std::string GuiSession::Xdotool(const std::vector<std::string>& args) const {
    std::vector<std::string> argv{"/usr/bin/xdotool"};
    argv.insert(argv.end(), args.begin(), args.end());
    return Run(argv);
}

std::string GuiSession::AtspiDialog(const std::vector<std::string>& args) const {
    std::vector<std::string> argv{"/usr/bin/python3",
                                  std::string(QUON_SOURCE_DIR) + "/tests/gui/window/atspi_dialog.py"};
    argv.insert(argv.end(), args.begin(), args.end());
    return Run(argv);
}

bool GuiSession::Geometry(const std::string& id, WindowGeometry& out) const {
    std::istringstream lines(Xdotool({"getwindowgeometry", "--shell", id}));
    std::map<std::string, int> values;
    for (std::string line; std::getline(lines, line);) {
        const size_t eq = line.find('=');
        if (eq != std::string::npos) values[line.substr(0, eq)] = std::atoi(line.c_str() + eq + 1);
    }
    if (!values.count("WIDTH")) return false;
    out = {id, values["X"], values["Y"], values["WIDTH"], values["HEIGHT"]};
    return true;
}

bool GuiSession::FindWindow(const std::string& className, WindowGeometry& out, int timeoutMs) const {
    return WaitFor(
               [&] {
                   std::istringstream ids(Xdotool({"search", "--onlyvisible", "--classname", className}));
                   std::string id;
                   while (ids >> id) {
                       WindowGeometry g;
                       if (Geometry(id, g) && g.width > 100) {
                           out = g;
                           return true;
                       }
                   }
                   return false;
               },
               timeoutMs) ||
           (fprintf(stderr, "%s\n", ReadWholeFile(m_dir.path() + "/xvfb.log").c_str()), false);
}

void GuiSession::MovePointer(int x, int y) const {
    Xdotool({"mousemove", std::to_string(x), std::to_string(y)});
}

void GuiSession::Click(int x, int y) const {
    MovePointer(x, y);
    Xdotool({"click", "1"});
}
