#include "launcher/options/resolution_table.h"

#include <array>
#include <boost/format.hpp>

namespace {

constexpr std::array<DisplayModeInfo, 18> kResolutions = {{
    {2560, 1440, 16, 9},
    {2560, 1080, 16, 7},
    {1920, 1440, 4, 3},
    {1920, 1200, 16, 10},
    {1920, 1080, 16, 9},
    {1680, 1050, 16, 10},
    {1600, 1200, 4, 3},
    {1600, 1024, 16, 10},
    {1600, 900, 16, 9},
    {1440, 900, 16, 10},
    {1400, 1050, 4, 3},
    {1366, 768, 16, 9},
    {1360, 768, 16, 9},
    {1280, 1024, 5, 4},
    {1280, 960, 4, 3},
    {1280, 768, 15, 9},
    {1280, 720, 16, 9},
    {1024, 768, 4, 3},
}};

}  // namespace

std::span<const DisplayModeInfo> SupportedResolutions() {
    return kResolutions;
}

std::optional<DisplayModeInfo> FindSupportedResolution(uint32_t width, uint32_t height) {
    for (const DisplayModeInfo& entry : kResolutions) {
        if (entry.nWidth == width && entry.nHeight == height) return entry;
    }
    return std::nullopt;
}

std::wstring FormatDisplayModeLabel(const DisplayModeInfo& mode) {
    // Boost.Format with the classic locale: plain decimal numbers, no digit
    // grouping whatever the process locale is.
    boost::wformat format(L"%1% x %2% (%3%:%4%)", std::locale::classic());
    return (format % mode.nWidth % mode.nHeight % mode.nRatioX % mode.nRatioY).str();
}
