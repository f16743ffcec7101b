#pragma once
// Picks the front-end and runs the launcher.
#include <string_view>

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
int RunLauncher(int argc, char** argv, const LauncherConfig& config);
