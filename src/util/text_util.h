#pragma once
// Wide text is the launcher's in-memory form; these helpers convert at the
// edges (UTF-8 for Linux paths and the console, UTF-16LE for text files) and
// format with the Windows meaning of %s.
#include <cstdarg>
#include <string>
#include <string_view>

namespace text {

std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view text);

// The one UTF-16 codec of the program (list files, the launcher log).
enum class LineEnds { kAsIs, kCrLf };
// UTF-16LE code units as bytes (surrogate pairs for characters above U+FFFF,
// U+FFFD for values beyond Unicode). With kCrLf every LF is written as CR LF,
// as a text-mode write does.
std::string EncodeUtf16LE(std::wstring_view text, LineEnds lineEnds = LineEnds::kAsIs);
// Decodes UTF-16LE bytes as the C run-time's text mode reads them: pairs
// joined, a lone surrogate becomes U+FFFD, an odd trailing byte is dropped.
std::wstring DecodeUtf16LE(std::string_view bytes);

// printf-style formatting in which %s and %c take wide arguments, as the
// message table's formats expect (glibc reads them as narrow otherwise).
std::wstring FormatW(const wchar_t* format, ...);
std::wstring FormatWV(const wchar_t* format, va_list args);

// Same, cut to at most `maxChars` characters: the fixed 260-character buffers
// of the launcher hold 259 and a terminator.
std::wstring FormatCut(size_t maxChars, const wchar_t* format, ...);

constexpr size_t kMaxPathChars = 259;

inline std::wstring Cut(std::wstring_view text, size_t maxChars) {
    return std::wstring(text.substr(0, maxChars));
}

}  // namespace text
