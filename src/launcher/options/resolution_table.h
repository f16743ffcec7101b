#pragma once
// The only resolutions the video options offer, each with the aspect ratio
// shown beside it. The ratios are labels, not computed from the sizes
// (1600 x 1024 is shown as 16:10).
#include <cstdint>
#include <optional>
#include <span>
#include <string>

struct DisplayModeInfo {
    uint32_t nWidth = 0;
    uint32_t nHeight = 0;
    uint32_t nRatioX = 0;
    uint32_t nRatioY = 0;
};

std::span<const DisplayModeInfo> SupportedResolutions();

// The table's entry for a size, if it has one.
std::optional<DisplayModeInfo> FindSupportedResolution(uint32_t width, uint32_t height);

// "1920 x 1080 (16:9)"
std::wstring FormatDisplayModeLabel(const DisplayModeInfo& mode);
