#include "launcher/zip_entry_name.h"

#include <algorithm>

#include "util/text_util.h"

namespace {
constexpr uint32_t kUtf8NameFlag = 1u << 11;

// Upper half of code page 437, the zip format's default for unflagged names.
constexpr char16_t kCp437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE,
    0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6,
    0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA,
    0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502,
    0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514,
    0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
    0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C,
    0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320,
    0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

enum class Maker { kDosOrWindows, kUnix, kOther };

// The high byte of "version made by" names the maker's system.
Maker MakerOf(uint32_t versionMadeBy) {
    switch ((versionMadeBy >> 8) & 0xFF) {
        case 0:   // MS-DOS, OS/2 FAT
        case 6:   // OS/2 HPFS
        case 10:  // Windows NTFS
        case 14:  // VFAT
            return Maker::kDosOrWindows;
        case 3:   // Unix
        case 19:  // macOS
            return Maker::kUnix;
        default:
            return Maker::kOther;
    }
}

bool DecodeUtf8(std::string_view raw, std::wstring& name) {
    std::wstring wide = text::FromUtf8(raw);
    // Invalid sequences come back as U+FFFD and do not re-encode to the same bytes.
    if (text::ToUtf8(wide) != raw) return false;
    name = std::move(wide);
    return true;
}
}  // namespace

bool DecodeZipEntryName(std::string_view raw, uint32_t flags, uint32_t versionMadeBy, std::wstring& name) {
    if (raw.find('\0') != std::string_view::npos) return false;
    if (flags & kUtf8NameFlag) return DecodeUtf8(raw, name);
    if (std::all_of(raw.begin(), raw.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        name.assign(raw.begin(), raw.end());
        return true;
    }
    switch (MakerOf(versionMadeBy)) {
        case Maker::kUnix:
            return DecodeUtf8(raw, name);
        case Maker::kDosOrWindows:
            name.clear();
            for (char c : raw) {
                const auto byte = static_cast<unsigned char>(c);
                name +=
                    byte < 0x80 ? static_cast<wchar_t>(byte) : static_cast<wchar_t>(kCp437High[byte - 0x80]);
            }
            return true;
        case Maker::kOther:
            break;
    }
    return false;
}
