#include <cstdio>
#include <cstdlib>

#include "launcher/launcher_config.h"
#include "ui/frontend.h"
#include "ui/window_frontend.h"
#include "ui/window_module.h"

bool RunWindowFrontEnd(std::vector<std::wstring>& arguments, const LauncherConfig& config,
                       std::string& refusedWindow, int& status) {
    // The display is the toolkit's to find; reading it here only tells
    // whether there is one.
    const FrontEndKind kind =
        ChooseFrontEnd(config.frontEnd.c_str(), getenv("DISPLAY"), getenv("WAYLAND_DISPLAY"));
    if (kind != FrontEndKind::kWindow) return false;
    const WindowModuleEntry* window = LoadWindowModule(refusedWindow);
    if (window && window->initDisplay()) {
        status = window->run(arguments, config);
        return true;
    }
    if (window) {
        // A display that does not answer leaves the console; only an
        // explicit request for the window is worth a word.
        if (config.frontEnd == "gtk") {
            std::fprintf(stderr,
                         "QuonLauncher: cannot open the display \"%s\" for the window; using the console\n",
                         getenv("DISPLAY") ? getenv("DISPLAY") : "");
        }
    } else {
        // A window that cannot be loaded (no in-memory files, say) is
        // always said, here and in the launcher log.
        std::fprintf(stderr, "QuonLauncher: %s; using the console\n", refusedWindow.c_str());
    }
    return false;
}
