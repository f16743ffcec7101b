#include "services/crash/exception_handler.h"

#include <atomic>
#include <cwchar>
#include <mutex>

namespace {
std::mutex g_promptLock;
std::wstring& Caption() {
    static std::wstring caption = L"알림";
    return caption;
}
std::wstring& Text() {
    static std::wstring text = L"오류가 발생하였습니다.\n오류를 기록하시겠습니까?";
    return text;
}

// Two copies, switched after a complete write, so that a crash while the
// texts change still reads a whole pair.
CrashPromptTexts g_fixed[2] = {{L"알림", L"오류가 발생하였습니다.\n오류를 기록하시겠습니까?"}, {}};
std::atomic<int> g_fixedCurrent{0};

void CopyCut(wchar_t (&to)[260], const std::wstring& from) {
    const size_t n = std::min(from.size(), size_t{259});
    wmemcpy(to, from.data(), n);
    to[n] = L'\0';
}

std::atomic<int32_t> g_reportMode{CRASH_REPORT_DUMP_ONLY};
}  // namespace

void ExceptionHandler::SetMessage(const std::wstring& caption, const std::wstring& text) {
    std::lock_guard lock(g_promptLock);
    Caption() = caption;
    Text() = text;
    const int next = 1 - g_fixedCurrent.load();
    CopyCut(g_fixed[next].caption, caption);
    CopyCut(g_fixed[next].text, text);
    g_fixedCurrent.store(next);
}

std::wstring ExceptionHandler::GetCaption() {
    std::lock_guard lock(g_promptLock);
    return Caption();
}

std::wstring ExceptionHandler::GetText() {
    std::lock_guard lock(g_promptLock);
    return Text();
}

const CrashPromptTexts& CurrentCrashPromptTexts() {
    return g_fixed[g_fixedCurrent.load()];
}

int32_t ExceptionHandler::GetReportMode() {
    return g_reportMode.load();
}
void ExceptionHandler::SetReportMode(int32_t mode) {
    g_reportMode.store(mode);
}
