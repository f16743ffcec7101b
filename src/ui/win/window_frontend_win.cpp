#include "launcher/launcher_config.h"
#include "ui/win32/win32_launcher.h"
#include "ui/window_frontend.h"

bool RunWindowFrontEnd(std::vector<std::wstring>& arguments, const LauncherConfig& config, std::string&,
                       int& status) {
    // Windows always has a desktop: the window serves unless the console is
    // asked for by name.
    if (config.frontEnd == "console") return false;
    status = RunWin32Launcher(std::move(arguments), config);
    return true;
}
