// The Win32 window under Wine on a private X display, driven from this
// Windows program: found by its class, read back from the screen (not from
// its own DC), clicked through the system's input. A solid window of this
// program lies below it, so that cut-out points have something known to show.
#include <windows.h>

#include <array>
#include <functional>

#include "gui/window/window_driver.h"
#include "support/child_process.h"
#include "support/wait_until.h"
#include "ui/win32/skin.h"
#include "util/text_util.h"

namespace {
int g_backdropClicks = 0;

LRESULT CALLBACK BackdropProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_LBUTTONDOWN) ++g_backdropClicks;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Keeps this thread's windows painted and their clicks counted while a test waits.
bool Pumped(const std::function<bool()>& done) {
    for (MSG m; PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE);) DispatchMessageW(&m);
    return done();
}

std::wstring Text(HWND hwnd) {
    wchar_t text[512] = {};
    GetWindowTextW(hwnd, text, 512);
    return text;
}

// The pixels of `bitmap` (selected into no DC), which is then deleted.
Picture Pixels(HBITMAP bitmap) {
    BITMAP size{};
    GetObjectW(bitmap, sizeof(size), &size);
    Picture picture{size.bmWidth, size.bmHeight, std::vector<uint32_t>(size_t(size.bmWidth) * size.bmHeight)};
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(info.bmiHeader), picture.width, -picture.height, 1, 32, BI_RGB};
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, bitmap, 0, picture.height, picture.pixels.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    DeleteObject(bitmap);
    for (uint32_t& pixel : picture.pixels) pixel &= 0xffffff;
    return picture;
}

std::string Id(HWND hwnd) {
    return std::to_string(reinterpret_cast<uintptr_t>(hwnd));
}
}  // namespace

struct WindowDriver::State {
    HWND backdrop = nullptr, window = nullptr, options = nullptr;
    RECT place{};
};

WindowDriver::WindowDriver() : m(std::make_unique<State>()) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = BackdropProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = CreateSolidBrush(RGB(0, 160, 0));
    wc.lpszClassName = L"QuonTestBackdrop";
    RegisterClassW(&wc);
    m->backdrop = CreateWindowExW(WS_EX_NOACTIVATE, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 0, 0,
                                  GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr,
                                  nullptr, wc.hInstance, nullptr);
    UpdateWindow(m->backdrop);
    g_backdropClicks = 0;
    error = m->backdrop ? "" : "no backdrop window";
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    workArea = {work.left, work.top, work.right, work.bottom};
    below = Id(m->backdrop);
    belowColour = 0x00a000;
    canDrag = true;
}

WindowDriver::~WindowDriver() {
    DestroyWindow(m->backdrop);
}

bool WindowDriver::WaitForWindow(const ChildProcess&) {
    const bool found = WaitUntil(
        [&] {
            return Pumped(
                [&] { return IsWindowVisible(m->window = ::FindWindowW(L"QuonLauncher", nullptr)); });
        },
        30000);
    GetWindowRect(m->window, &m->place);
    title = text::ToUtf8(Text(m->window));
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
    return found;
}

Area WindowDriver::Place() {
    GetWindowRect(m->window, &m->place);
    return {m->place.left, m->place.top, m->place.right, m->place.bottom};
}

std::string WindowDriver::WindowAt(int x, int y) const {
    return Id(WindowFromPoint(POINT{x, y}));
}

std::optional<int> WindowDriver::ClicksBelow() const {
    Pumped([] { return true; });
    return g_backdropClicks;
}

std::optional<Area> WindowDriver::NoticePlace() const {
    RECT notice{};
    GetWindowRect(GetDlgItem(m->window, 1002), &notice);
    return Area{notice.left - m->place.left, notice.top - m->place.top, notice.right - m->place.left,
                notice.bottom - m->place.top};
}

Picture WindowDriver::Capture() const {
    const int width = m->place.right - m->place.left, height = m->place.bottom - m->place.top;
    HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, m->place.left, m->place.top, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return Pixels(bitmap);
}

Picture WindowDriver::Skin(int id) {
    return Pixels(LoadSkinBitmap(id));
}

void WindowDriver::Mouse(int x, int y, std::initializer_list<Pointer> events) const {
    SetCursorPos(m->place.left + x, m->place.top + y);
    for (Pointer event : events) {
        INPUT input{INPUT_MOUSE};
        input.mi.dwFlags = std::array{MOUSEEVENTF_MOVE, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP}[event];
        SendInput(1, &input, sizeof(input));
    }
    Pumped([] { return true; });
}

bool WindowDriver::OptionsShown() {
    return WaitUntil(
               [&] { return IsWindowVisible(m->options = ::FindWindowW(L"#32770", L"Video option")); }) &&
           !IsWindowEnabled(m->window);
}

bool WindowDriver::CloseOptions() {
    PostMessageW(GetDlgItem(m->options, 1031), BM_CLICK, 0, 0);  // Cancel
    return WaitUntil([&] { return !IsWindow(m->options) && IsWindowEnabled(m->window); });
}

BoxView WindowDriver::Box(int timeoutMs) const {
    // A box (captioned with the executable's name) shows only once set up:
    // its text set, the unused buttons gone.
    HWND box = nullptr;
    WaitUntil([&] { return IsWindowVisible(box = ::FindWindowW(L"#32770", L"QuonLauncher.exe")); },
              timeoutMs);
    BoxView view{"", Id(box)};
    for (HWND child = box ? GetWindow(box, GW_CHILD) : nullptr; child;
         child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t kind[32] = {};
        GetClassNameW(child, kind, 32);
        std::string text = text::ToUtf8(Text(child));
        for (size_t at; (at = text.find('\n')) != std::string::npos;) text.replace(at, 1, "\\n");
        if (lstrcmpiW(kind, L"Button") == 0) view.controls += "button\t" + text + "\n";
        if (lstrcmpiW(kind, L"Static") == 0 && !text.empty()) view.controls += "label\t" + text + "\n";
    }
    return view;
}

void WindowDriver::AnswerBox() const {
    PostMessageW(GetDlgItem(::FindWindowW(L"#32770", L"QuonLauncher.exe"), IDOK), BM_CLICK, 0, 0);
}

// Wine gives the launcher no console to send a close on: the window is closed.
void WindowDriver::AskToClose(ChildProcess&) const {
    PostMessageW(m->window, WM_CLOSE, 0, 0);
}
