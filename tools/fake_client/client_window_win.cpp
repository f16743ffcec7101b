#include <windows.h>

#include "client_window.h"
#include "util/text_util.h"

namespace {
std::wstring g_class;
}  // namespace

ClientWindow::ClientWindow(const std::string& windowClass) {
    if (windowClass.empty()) return;
    g_class = text::FromUtf8(windowClass);
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = g_class.c_str();
    if (!RegisterClassW(&wc)) return;
    m_handle = CreateWindowExW(0, g_class.c_str(), L"Vevida2.0", WS_OVERLAPPEDWINDOW, 0, 0, 64, 64, nullptr,
                               nullptr, wc.hInstance, nullptr);
    if (m_handle) ShowWindow(static_cast<HWND>(m_handle), SW_SHOWNOACTIVATE);
}

ClientWindow::~ClientWindow() {
    if (m_handle) DestroyWindow(static_cast<HWND>(m_handle));
}

void ClientWindow::Linger(std::chrono::milliseconds time) const {
    // A window's thread answers its messages, or the system thinks it hung.
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(time.count());
    for (ULONGLONG now; (now = GetTickCount64()) < end;) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
        for (MSG msg; PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) DispatchMessageW(&msg);
    }
}

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.push_back(text::ToUtf8(argv[i]));
    return ClientMain(args);
}
