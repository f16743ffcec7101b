// Display modes of the primary display from EnumDisplaySettingsW.
#include <windows.h>

#include "os/display_modes.h"

namespace {

class WinDisplayModes : public DisplayModeSource {
public:
    bool GetModes(std::vector<DisplayMode>& modes) override {
        modes.clear();
        DEVMODEW mode{};
        mode.dmSize = sizeof(mode);
        for (DWORD i = 0; EnumDisplaySettingsW(nullptr, i, &mode); ++i) {
            if (mode.dmBitsPerPel != 24 && mode.dmBitsPerPel != 32) continue;
            modes.push_back({mode.dmPelsWidth, mode.dmPelsHeight, mode.dmDisplayFrequency});
        }
        return !modes.empty();
    }
};

}  // namespace

std::unique_ptr<DisplayModeSource> DisplayModeSource::Create(const std::string&) {
    // Windows has one desktop per session: the display name is an X notion.
    return std::make_unique<WinDisplayModes>();
}
