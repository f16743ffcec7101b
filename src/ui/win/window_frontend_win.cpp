#include "launcher/launcher_config.h"
#include "ui/win32/win32_launcher.h"
#include "ui/window_frontend.h"

bool RunWindowFrontEnd(std::vector<std::wstring>& arguments, const LauncherConfig& config, std::string&,
                       int& status) {
    // The window serves unless the console is asked for by name or no
    // window can be shown (Wine without a display); then the console serves
    // as on a system without a display.
    if (config.frontEnd == "console" || !CanShowWin32Window()) return false;
    status = RunWin32Launcher(std::move(arguments), config);
    return true;
}
