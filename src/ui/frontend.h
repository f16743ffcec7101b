#pragma once
// Picks the front-end and runs the launcher.
#include <string>
#include <string_view>
#include <vector>

struct LauncherConfig;

enum class FrontEndKind { kConsole, kWindow };

// `asked` names the front-end ("console" or "gtk", LauncherConfig::frontEnd);
// unset, empty or unknown, a display (X or Wayland) means the window, none
// the console.
inline FrontEndKind ChooseFrontEnd(const char* asked, const char* display, const char* waylandDisplay) {
    const std::string_view ui = asked ? asked : "";
    if (ui == "console") return FrontEndKind::kConsole;
    if (ui == "gtk") return FrontEndKind::kWindow;
    const bool hasDisplay = (display && *display) || (waylandDisplay && *waylandDisplay);
    return hasDisplay ? FrontEndKind::kWindow : FrontEndKind::kConsole;
}

// Returns the process exit status: 1 when another launcher runs, 0 after a
// run without an error report, 2 after one.
int RunLauncher(std::vector<std::wstring> arguments, const LauncherConfig& config);

// The program after its arguments are read (the first is its own name): the
// crash helper when the process was started as one, the launcher otherwise.
// Returns the exit status.
int RunProgram(std::vector<std::wstring> arguments);
