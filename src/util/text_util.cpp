#include "util/text_util.h"

#include <cstdint>
#include <cwchar>
#include <type_traits>
#include <vector>

namespace text {

namespace {
// wchar_t holds UTF-32 on Linux and UTF-16 on Windows, where characters past
// U+FFFF take a surrogate pair.
constexpr bool kWideIsUtf16 = sizeof(wchar_t) == 2;

bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void AppendCodePoint(std::wstring& out, char32_t c) {
    if (kWideIsUtf16 && c > 0xFFFF) {
        out += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
        out += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
        out += static_cast<wchar_t>(c);
    }
}
}  // namespace

std::string ToUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(text[i]));
        if (kWideIsUtf16 && IsHighSurrogate(c) && i + 1 < text.size() &&
            IsLowSurrogate(static_cast<char16_t>(text[i + 1]))) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char16_t>(text[++i]) - 0xDC00);
        }
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::wstring FromUtf8(std::string_view text) {
    std::wstring out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        auto b = static_cast<unsigned char>(text[i]);
        char32_t c;
        size_t len;
        if (b < 0x80) { c = b; len = 1; }
        else if ((b & 0xE0) == 0xC0) { c = b & 0x1F; len = 2; }
        else if ((b & 0xF0) == 0xE0) { c = b & 0x0F; len = 3; }
        else if ((b & 0xF8) == 0xF0) { c = b & 0x07; len = 4; }
        else { out += L'\uFFFD'; ++i; continue; }
        if (i + len > text.size()) { out += L'\uFFFD'; break; }
        bool ok = true;
        for (size_t k = 1; k < len; ++k) {
            auto cb = static_cast<unsigned char>(text[i + k]);
            if ((cb & 0xC0) != 0x80) { ok = false; break; }
            c = (c << 6) | (cb & 0x3F);
        }
        if (!ok) { out += L'\uFFFD'; ++i; continue; }
        AppendCodePoint(out, c);
        i += len;
    }
    return out;
}

std::string EncodeUtf16LE(std::wstring_view text, LineEnds lineEnds) {
    // At most four bytes per character (a surrogate pair or CR LF); sized
    // once, since whole lists go through here.
    std::string bytes(text.size() * 4, '\0');
    char* out = bytes.data();
    auto put = [&out](uint32_t unit) {
        *out++ = static_cast<char>(unit & 0xFF);
        *out++ = static_cast<char>(unit >> 8);
    };
    for (wchar_t wc : text) {
        // On Windows a pair arrives as two units and goes out as it came.
        const auto c = static_cast<uint32_t>(static_cast<std::make_unsigned_t<wchar_t>>(wc));
        if (c == L'\n' && lineEnds == LineEnds::kCrLf) {
            put(L'\r');
            put(L'\n');
        } else if (c < 0x10000) {
            put(c);
        } else if (c <= 0x10FFFF) {
            put(0xD800 + ((c - 0x10000) >> 10));
            put(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            put(0xFFFD);
        }
    }
    bytes.resize(static_cast<size_t>(out - bytes.data()));
    return bytes;
}

std::wstring DecodeUtf16LE(std::string_view bytes) {
    std::wstring text;
    text.reserve(bytes.size() / 2);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t units = bytes.size() / 2;
    for (size_t i = 0; i < units; ++i) {
        uint32_t u = p[2 * i] | (p[2 * i + 1] << 8);
        if (u >= 0xD800 && u <= 0xDFFF) {
            const uint32_t low = i + 1 < units ? (p[2 * i + 2] | (p[2 * i + 3] << 8)) : 0;
            if (u <= 0xDBFF && low >= 0xDC00 && low <= 0xDFFF) {
                u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            } else {
                u = 0xFFFD;
            }
        }
        AppendCodePoint(text, u);
    }
    return text;
}

namespace {
// Rewrites %s / %c (without a length modifier) to %ls / %lc.
std::wstring WidenConversions(const wchar_t* format) {
    std::wstring out;
    for (const wchar_t* p = format; *p; ++p) {
        out += *p;
        if (*p != L'%') continue;
        ++p;
        if (*p == L'%') { out += *p; continue; }
        // flags, width, precision
        while (*p && wcschr(L"-+ #0123456789.*", *p)) out += *p++;
        bool hasLength = false;
        while (*p && wcschr(L"hlLqjzt", *p)) { out += *p++; hasLength = true; }
        if (!*p) break;
        if (!hasLength && (*p == L's' || *p == L'c')) out += L'l';
        out += *p;
    }
    return out;
}
}  // namespace

std::wstring FormatWV(const wchar_t* format, va_list args) {
    const std::wstring fmt = WidenConversions(format);
    std::vector<wchar_t> buf(256);
    for (;;) {
        va_list copy;
        va_copy(copy, args);
        int n = vswprintf(buf.data(), buf.size(), fmt.c_str(), copy);
        va_end(copy);
        if (n >= 0 && static_cast<size_t>(n) < buf.size()) return std::wstring(buf.data(), n);
        if (buf.size() > (1u << 24)) return std::wstring();  // malformed format; never loop forever
        buf.resize(buf.size() * 4);
    }
}

std::wstring FormatW(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::wstring s = FormatWV(format, args);
    va_end(args);
    return s;
}

std::wstring FormatCut(size_t maxChars, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::wstring s = FormatWV(format, args);
    va_end(args);
    if (s.size() > maxChars) s.resize(maxChars);
    return s;
}

}  // namespace text
