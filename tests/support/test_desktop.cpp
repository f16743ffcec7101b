#include "support/test_desktop.h"

#include <poll.h>
#include "support/test_common.h"

#include <iterator>

namespace {
uint32_t BigEndian32(const unsigned char* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

std::string ShellQuote(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}
}  // namespace

std::unique_ptr<ChildProcess> StartXServer(std::vector<std::string> argv, const std::string& folder,
                                           std::string& display) {
    display.clear();
    int fds[2];
    if (pipe(fds) != 0) return nullptr;
    argv.insert(argv.begin() + 1, {"-displayfd", std::to_string(fds[1])});
    auto server = std::make_unique<ChildProcess>(argv, folder);
    close(fds[1]);
    pollfd ready{fds[0], POLLIN, 0};
    char number[16] = {};
    if (poll(&ready, 1, 20000) == 1 && read(fds[0], number, sizeof(number) - 1) > 0)
        display = ":" + std::to_string(std::atoi(number));
    close(fds[0]);
    return server;
}

TestDesktop::TestDesktop(int width, int height, bool withBus) {
    // -noreset: otherwise the server resets whenever its last client leaves
    // (a test's xdotool) and turns clients away meanwhile.
    m_xvfb = StartXServer(
        {"/usr/bin/Xvfb", "-fbdir", m_dir.path(), "-screen", "0",
         std::to_string(width) + "x" + std::to_string(height) + "x24", "-nolisten", "tcp", "-noreset"},
        m_dir.path(), m_display);
    if (m_display.empty()) {
        m_error = "Xvfb did not start: " + (m_xvfb ? m_xvfb->Output() : "");
        return;
    }
    if (!withBus) return;

    const std::string socket = m_dir.Join("bus");
    m_dbus = std::make_unique<ChildProcess>(
        std::vector<std::string>{"/usr/bin/dbus-daemon", "--session", "--nofork", "--nopidfile",
                                 "--address=unix:path=" + socket},
        m_dir.path());
    if (WaitUntil([&] { return std::filesystem::exists(socket); }, 5000))
        m_bus = "unix:path=" + socket;
    else
        m_error = "dbus-daemon did not start: " + m_dbus->Output();
}

TestDesktop::~TestDesktop() {
    for (auto* server : {m_dbus.get(), m_xvfb.get()}) {
        if (server) server->Kill(SIGTERM), server->Wait(5000);
    }
}

ScreenImage TestDesktop::ReadScreen() const {
    ScreenImage image;
    std::ifstream in(m_dir.Join("Xvfb_screen0"), std::ios::binary);
    std::vector<unsigned char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (file.size() < 100) return image;
    // XWD header: 25 big-endian 32-bit fields, then the window name and the colour map.
    auto field = [&](int i) { return BigEndian32(&file[i * 4]); };
    const uint32_t byteOrder = field(7), bytesPerLine = field(12);
    const int width = static_cast<int>(field(4)), height = static_cast<int>(field(5));
    const size_t offset = field(0) + size_t(field(19)) * 12;  // header and colour map
    // Xvfb's 24-bit screens: 32 bits a pixel, red in the top byte of the three.
    if (field(11) != 32 || field(14) != 0xff0000 || field(16) != 0xff ||
        file.size() < offset + size_t(bytesPerLine) * height)
        return image;
    image.pixels.resize(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const unsigned char* p = &file[offset + size_t(y) * bytesPerLine + size_t(x) * 4];
            const uint32_t v = byteOrder == 0 ? (p[0] | (p[1] << 8) | (p[2] << 16)) : BigEndian32(p);
            image.pixels[size_t(y) * width + x] = v & 0xffffff;
        }
    }
    image.width = width;
    image.height = height;
    return image;
}

std::map<std::string, std::string> TestDesktop::Env() const {
    return {{"DISPLAY", m_display}, {"DBUS_SESSION_BUS_ADDRESS", m_bus}, {"WAYLAND_DISPLAY", ""}};
}

std::string TestDesktop::Run(const std::vector<std::string>& argv) const {
    std::string command =
        "env DISPLAY=" + ShellQuote(m_display) + " DBUS_SESSION_BUS_ADDRESS=" + ShellQuote(m_bus);
    for (const auto& a : argv) command += " " + ShellQuote(a);
    std::string out;
    if (FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r")) {
        char buffer[4096];
        for (size_t n; (n = fread(buffer, 1, sizeof(buffer), pipe)) > 0;) out.append(buffer, n);
        pclose(pipe);
    }
    return out;
}

std::string TestDesktop::Xdotool(const std::vector<std::string>& args) const {
    std::vector<std::string> argv{"/usr/bin/xdotool"};
    argv.insert(argv.end(), args.begin(), args.end());
    return Run(argv);
}

std::string TestDesktop::Dialog(const std::string& program, const std::string& title,
                                const std::vector<std::string>& steps) const {
    std::vector<std::string> argv{
        "/usr/bin/python3", std::string(QUON_SOURCE_DIR) + "/tests/gui/atspi_driver.py", program, title};
    argv.insert(argv.end(), steps.begin(), steps.end());
    return Run(argv);
}

bool TestDesktop::Geometry(const std::string& id, WindowGeometry& out) const {
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

bool TestDesktop::FindWindow(const std::string& className, WindowGeometry& out, int timeoutMs, int minWidth,
                             const std::string& except) const {
    return WaitUntil(
        [&] {
            std::istringstream ids(Xdotool({"search", "--onlyvisible", "--classname", className}));
            for (std::string id; ids >> id;) {
                if (id != except && Geometry(id, out) && out.width > minWidth) return true;
            }
            return false;
        },
        timeoutMs);
}
