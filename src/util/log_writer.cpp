#include "util/log_writer.h"

#include <cwchar>

#include "util/path_util.h"
#include "util/text_util.h"
#include "base/file_system.h"
#include "base/process_facts.h"

namespace {

constexpr size_t kLineChars = 2047;  // a 2048-character buffer with its terminator
constexpr size_t kPartChars = 259;   // each part of a split path

}  // namespace

std::wstring FormatLogTime(const std::tm& local) {
    wchar_t buf[64];
    std::swprintf(buf, 64, L"%04d-%02d-%02d %02dh %02dm %02ds", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return buf;
}

void FormatLogTime(wchar_t* out, size_t capacity) {
    if (!out || capacity == 0) return;
    const std::wstring text = FormatLogTime(fsys::LocalTime(std::time(nullptr)));
    const size_t n = std::min(text.size(), capacity - 1);
    std::wmemcpy(out, text.data(), n);
    out[n] = L'\0';
}

std::wstring FileNameWithExtension(const std::wstring& path) {
    const size_t sep = path.find_last_of(L"/\\");
    std::wstring rest = sep == std::wstring::npos ? path : path.substr(sep + 1);
    if (sep == std::wstring::npos && rest.size() >= 2 && rest[1] == L':') rest.erase(0, 2);
    // Name and extension are split and cut separately, as the split into
    // fixed parts does.
    const size_t dot = rest.rfind(L'.');
    if (dot == std::wstring::npos) return text::Cut(rest, kPartChars);
    return text::Cut(rest.substr(0, dot), kPartChars) + text::Cut(rest.substr(dot), kPartChars);
}

std::wstring BuildLogLine(const std::wstring& time, const wchar_t* function, const std::wstring& message,
                          const std::wstring& exeNameExt, long threadId, const std::wstring& sourceNameExt,
                          int line) {
    std::wstring out;
    out.reserve(256 + message.size());
    out += L"[";
    out += time;
    out += L"]";
    out += function ? function : L"";
    out += L"()-";
    out += message;
    out += L" [";
    out += exeNameExt;
    out += L"][ThreadID:";
    out += std::to_wstring(threadId);
    out += L"][";
    out += sourceNameExt;
    out += L"-";
    out += std::to_wstring(line);
    out += L"]\n";
    if (out.size() > kLineChars) out.resize(kLineChars);
    return out;
}

void WriteLogLine(const wchar_t* sourceFile, int line, const wchar_t* function, const wchar_t* logPath,
                  const std::wstring& message) {
    std::wstring exe;
    GetModuleFolder(exe, false);
    wchar_t time[256];
    FormatLogTime(time, 256);
    const std::wstring text =
        BuildLogLine(time, function, message, FileNameWithExtension(exe), fsys::CurrentThreadId(),
                     FileNameWithExtension(sourceFile ? sourceFile : L""), line);
    // UTF-8 written as bytes: no locale is involved, so reports from any
    // thread leave number formatting elsewhere in the process as it was.
    const std::string bytes = text::ToUtf8(text);

    fsys::File file;
    if (!file.Open(NativePath(logPath ? logPath : L""), fsys::File::Mode::kAppend)) return;
    // One write per line keeps lines of concurrent reports whole.
    file.Write(bytes);
}
