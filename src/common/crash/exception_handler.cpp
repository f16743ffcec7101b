#include "common/crash/exception_handler.h"

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
}  // namespace

void ExceptionHandler::SetMessage(const std::wstring& caption, const std::wstring& text) {
    std::lock_guard lock(g_promptLock);
    Caption() = caption;
    Text() = text;
}

std::wstring ExceptionHandler::GetCaption() {
    std::lock_guard lock(g_promptLock);
    return Caption();
}

std::wstring ExceptionHandler::GetText() {
    std::lock_guard lock(g_promptLock);
    return Text();
}
