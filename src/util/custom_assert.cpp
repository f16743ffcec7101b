#include "util/custom_assert.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "base/process_facts.h"
#include "util/log_writer.h"
#include "util/text_util.h"

namespace {

constexpr size_t kMessageChars = 259;  // a 260-character buffer with its terminator

std::mutex& HandlerMutex() {
    static std::mutex m;
    return m;
}

CustomAssert::MessageBoxHandler& Handler() {
    static CustomAssert::MessageBoxHandler handler;
    return handler;
}

int DefaultMessageBox(const std::wstring& text, const std::wstring& caption) {
    std::fprintf(stderr, "[%s]\n%s", text::ToUtf8(caption).c_str(), text::ToUtf8(text).c_str());
    return CustomAssert::kIgnore;
}

}  // namespace

void CustomAssert::SetMessageBoxHandler(MessageBoxHandler handler) {
    std::lock_guard<std::mutex> lock(HandlerMutex());
    Handler() = std::move(handler);
}

std::wstring CustomAssert::BuildReportText(const wchar_t* file, int line, const wchar_t* function,
                                           const std::wstring& message) {
    std::wstring out = L"File: ";
    out += file ? file : L"";
    out += L"\r\nLine: ";
    out += std::to_wstring(line);
    out += L"\r\nFunction: ";
    out += function ? function : L"";
    out += L"\r\nExpr: ";
    out += message;
    out += L"\r\n";
    return out;
}

bool CustomAssert::Report(int line, const wchar_t* file, const wchar_t* function, bool showBox,
                          const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::wstring message = format ? text::FormatWV(format, args) : std::wstring();
    va_end(args);
    message = text::Cut(message, kMessageChars);

    // The report text is not put on the clipboard: a failing library should
    // not overwrite what the player copied.
    int answer = kIgnore;
    if (showBox) {
        MessageBoxHandler handler;
        {
            std::lock_guard<std::mutex> lock(HandlerMutex());
            handler = Handler();
        }
        const std::wstring text = BuildReportText(file, line, function, message);
        answer = handler ? handler(text, L"CustomAssert") : DefaultMessageBox(text, L"CustomAssert");
    }

    WriteLogLine(file, line, function, L"./log.txt", message);

    if (answer == kAbort || answer == kRetry) {
        std::fflush(nullptr);
        return true;
    }
    return false;
}

namespace diagnostics {

void BreakIntoDebugger() {
    fsys::BreakIntoDebugger();
}

}  // namespace diagnostics
