#include "common/text_util.h"

#include <cwchar>
#include <vector>

namespace text {

std::string ToUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t wc : text) {
        auto c = static_cast<char32_t>(wc);
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
        out += static_cast<wchar_t>(c);
        i += len;
    }
    return out;
}

std::string EncodeUtf16LE(std::wstring_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    auto put = [&out](char16_t u) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    };
    for (wchar_t wc : text) {
        auto c = static_cast<char32_t>(wc);
        if (c >= 0x10000 && c <= 0x10FFFF) {
            c -= 0x10000;
            put(static_cast<char16_t>(0xD800 + (c >> 10)));
            put(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            put(c > 0x10FFFF ? u'\uFFFD' : static_cast<char16_t>(c));
        }
    }
    return out;
}

std::wstring DecodeUtf16LE(std::string_view bytes) {
    std::wstring out;
    out.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char16_t u = static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
        if (u >= 0xD800 && u <= 0xDBFF && i + 3 < bytes.size()) {
            char16_t l = static_cast<unsigned char>(bytes[i + 2]) |
                         (static_cast<unsigned char>(bytes[i + 3]) << 8);
            if (l >= 0xDC00 && l <= 0xDFFF) {
                out += static_cast<wchar_t>(0x10000 + ((u - 0xD800) << 10) + (l - 0xDC00));
                i += 2;
                continue;
            }
        }
        out += (u >= 0xD800 && u <= 0xDFFF) ? L'\uFFFD' : static_cast<wchar_t>(u);
    }
    return out;
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
