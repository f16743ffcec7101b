#include "ui/win32/message_box.h"

namespace {
// Where the box being opened on this thread is to be recorded.
thread_local HWND* t_shownSlot = nullptr;

LRESULT CALLBACK OnCbt(int code, WPARAM wParam, LPARAM lParam) {
    // MessageBoxW gives no handle of its box: the first dialog window it
    // creates is the box (activation might not come, for a launcher in the
    // background).
    if (code == HCBT_CREATEWND && t_shownSlot && !*t_shownSlot) {
        const auto hwnd = reinterpret_cast<HWND>(wParam);
        wchar_t name[16] = {};
        if (GetClassNameW(hwnd, name, 16) && lstrcmpW(name, L"#32770") == 0) *t_shownSlot = hwnd;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
}  // namespace

void RunMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, unsigned style,
                   HWND* shown) {
    HWND* const outer = t_shownSlot;  // boxes may nest
    t_shownSlot = shown;
    HHOOK hook = SetWindowsHookExW(WH_CBT, OnCbt, nullptr, GetCurrentThreadId());
    // OK only, whatever buttons the caller named; its modality and icon stay.
    MessageBoxW(owner, text.c_str(), caption.c_str(), (style & ~MB_TYPEMASK) | MB_OK);
    if (hook) UnhookWindowsHookEx(hook);
    t_shownSlot = outer;
    *shown = nullptr;
}

void AnswerMessageBox(HWND box) {
    if (box) PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}
