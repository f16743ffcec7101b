#include "gui_session.h"

#include <cstdio>
#include <sstream>

namespace {
std::string ShellQuote(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}
}  // namespace

std::map<std::string, std::string> GuiSession::Env() const {
    return {{"DISPLAY", display()}, {"DBUS_SESSION_BUS_ADDRESS", busAddress()}, {"WAYLAND_DISPLAY", ""}};
}

std::string GuiSession::Run(const std::vector<std::string>& argv) const {
    std::string command =
        "env DISPLAY=" + ShellQuote(display()) + " DBUS_SESSION_BUS_ADDRESS=" + ShellQuote(busAddress());
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

std::string GuiSession::Dialog(pid_t pid, const std::vector<std::string>& steps) const {
    std::vector<std::string> argv{"/usr/bin/python3",
                                  std::string(QUON_SOURCE_DIR) + "/tests/gui/widgets/atspi_driver.py",
                                  "pid:" + std::to_string(pid), "QuonLauncher.exe"};
    argv.insert(argv.end(), steps.begin(), steps.end());
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
    return WaitUntil(
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
           (fprintf(stderr, "%s\n", m_desktop.ServerLog().c_str()), false);
}

void GuiSession::MovePointer(int x, int y) const {
    Xdotool({"mousemove", std::to_string(x), std::to_string(y)});
}

void GuiSession::Click(int x, int y) const {
    MovePointer(x, y);
    Xdotool({"click", "1"});
}
