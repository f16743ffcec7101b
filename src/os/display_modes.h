#pragma once
// Display modes of the primary display, for the video options.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct DisplayMode {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t refreshHz = 0;  // rounded; informational only
};

class DisplayModeSource {
public:
    virtual ~DisplayModeSource() = default;
    // The 24/32-bit colour modes of the primary display, in the system's own
    // enumeration order (a resolution may repeat at other refresh rates).
    // False, with no modes, when no display answers.
    virtual bool GetModes(std::vector<DisplayMode>& modes) = 0;

    // The system's source; `displayName` empty means the default display.
    static std::unique_ptr<DisplayModeSource> Create(const std::string& displayName = "");
};
