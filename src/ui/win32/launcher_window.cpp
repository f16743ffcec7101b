#include "ui/win32/launcher_window.h"

#include "ui/dialog_units.h"
#include "ui/win32/skin.h"

namespace {
constexpr int kIconId = 131;
constexpr int kBackgroundId = 215;

HICON LoadLauncherIcon(int sizeMetric) {
    const int size = GetSystemMetrics(sizeMetric);
    return static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kIconId), IMAGE_ICON, size, size, 0));
}

void RegisterLauncherClass(WNDPROC proc, HICON icon, HICON small) {
    static const bool registered = [&] {
        WNDCLASSEXW wc{sizeof(wc)};
        wc.lpfnWndProc = proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hIcon = icon;
        wc.hIconSm = small;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        // The bare window (a run not started by the updater) looks like a
        // plain dialog; the skinned one paints every point itself.
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = LauncherWindow::kClassName;
        return RegisterClassExW(&wc) != 0;
    }();
    (void)registered;
}
}  // namespace

LauncherWindow::LauncherWindow(CGameLauncherDlg& dlg, Handlers handlers)
    : m_dlg(dlg), m_handlers(std::move(handlers)) {
    m_hIcon = LoadLauncherIcon(SM_CXICON);
    m_hIconSmall = LoadLauncherIcon(SM_CXSMICON);
    RegisterLauncherClass(WndProc, m_hIcon, m_hIconSmall);
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int x = work.left + (work.right - work.left - dialog_units::kClientWidth) / 2;
    const int y = work.top + (work.bottom - work.top - dialog_units::kClientHeight) / 2;
    // Children are left out of the window's own painting: no button
    // flickers under a repaint of the background. WndProc sets m_hwnd.
    CreateWindowExW(WS_EX_APPWINDOW, kClassName, L"", WS_POPUP | WS_CLIPCHILDREN, x, y,
                    dialog_units::kClientWidth, dialog_units::kClientHeight, nullptr, nullptr,
                    GetModuleHandleW(nullptr), this);
}

LauncherWindow::~LauncherWindow() {
    m_browser.reset();  // the control goes while its host window is still there
    if (m_hwnd) DestroyWindow(m_hwnd);
    for (HGDIOBJ object : {static_cast<HGDIOBJ>(m_background), static_cast<HGDIOBJ>(m_offscreen)})
        if (object) DeleteObject(object);
    for (HICON icon : {m_hIcon, m_hIconSmall})
        if (icon) DestroyIcon(icon);
}

bool LauncherWindow::Prepare(const std::wstring& noticeUrl) {
    SendMessageW(m_hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageW(m_hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIconSmall));
    SetWindowTextW(m_hwnd, L"QUON Launcher");
    SetWindowLongPtrW(m_hwnd, GWL_STYLE, GetWindowLongPtrW(m_hwnd, GWL_STYLE) | WS_SYSMENU);
    GetClientRect(m_hwnd, &m_rcClient);

    m_background = LoadSkinBitmap(kBackgroundId);
    if (!m_background || !m_painter.LoadBitmaps()) return false;
    // Once, from the bitmap: key-coloured points are neither drawn nor
    // clickable, so the desktop and the windows below show and take clicks.
    // The system owns the region from here on.
    SetWindowRgn(m_hwnd, OpaqueSkinRegion(m_background), FALSE);
    HDC screen = GetDC(nullptr);
    m_offscreen = CreateCompatibleBitmap(screen, m_rcClient.right, m_rcClient.bottom);
    ReleaseDC(nullptr, screen);
    if (!m_offscreen) return false;

    // Created in this order with these rectangles; each takes the size of
    // its normal image.
    m_btnOption.Create(m_hwnd, RECT{743, 38, 773, 69}, kOptionId);
    m_btnStart.Create(m_hwnd, RECT{645, 455, 795, 535}, kStartId);
    m_btnClose.Create(m_hwnd, RECT{776, 38, 806, 69}, kCloseId);
    m_btnRepair.Create(m_hwnd, RECT{489, 455, 639, 535}, kRepairId);
    m_btnStart.LoadBitmaps(226, 227, 229, 228);
    m_btnOption.LoadBitmaps(237, 239, 238, 237);
    m_btnClose.LoadBitmaps(230, 231, 232, 0);
    m_btnRepair.LoadBitmaps(257, 258, 259, 0);
    SetButtonsEnabled(false);

    // Control 1002's place, navigated once past the cache.
    using namespace dialog_units;
    m_browser = std::make_unique<Win32NoticeBrowser>(
        m_hwnd, RECT{kNoticeX, kNoticeY, kNoticeX + kNoticeWidth, kNoticeY + kNoticeHeight});
    InvalidateRect(m_browser->Host(), nullptr, FALSE);
    m_browser->Navigate(noticeUrl);
    m_prepared = true;
    return true;
}

void LauncherWindow::Show() {
    ShowWindow(m_hwnd, SW_SHOW);
    SetForegroundWindow(m_hwnd);
    UpdateWindow(m_hwnd);
}

void LauncherWindow::SetButtonsEnabled(bool enabled) {
    if (!m_btnStart.Hwnd()) return;  // the bare window has no buttons
    m_btnStart.EnableWindow(enabled);
    m_btnRepair.EnableWindow(enabled);
    m_btnOption.EnableWindow(enabled);
}

void LauncherWindow::Invalidate(const RECT* rect) {
    InvalidateRect(m_hwnd, rect, FALSE);
}

bool LauncherWindow::PreTranslateMessage(const MSG& message) const {
    if (message.message != WM_KEYDOWN || (message.wParam != VK_RETURN && message.wParam != VK_ESCAPE))
        return false;
    return message.hwnd == m_hwnd || IsChild(m_hwnd, message.hwnd);
}

void LauncherWindow::PaintNow() {
    if (!m_prepared) return;
    // A long check calls this per file; more than about 60 frames a second
    // would only cost time.
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastDirectPaint < std::chrono::milliseconds(16)) return;
    m_lastDirectPaint = now;
    RedrawWindow(m_hwnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void LauncherWindow::Compose(HDC target) {
    // The whole frame is built off screen from the background, then shown in
    // one blit.
    HDC memory = CreateCompatibleDC(target);
    HGDIOBJ previous = SelectObject(memory, m_offscreen);
    BlitSkin(memory, m_background, 0, 0, m_rcClient.right, m_rcClient.bottom);
    const LauncherStatusSnapshot snapshot = m_dlg.GetStatusSnapshot();
    const StatusText text = ComposeStatusText(snapshot);
    m_painter.DrawStatusText(memory, text);
    m_painter.DrawProgressBars(memory, snapshot, text);
    BitBlt(target, 0, 0, m_rcClient.right, m_rcClient.bottom, memory, 0, 0, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
}

void LauncherWindow::OnPaint() {
    PAINTSTRUCT paint;
    if (IsIconic(m_hwnd)) {
        HDC dc = BeginPaint(m_hwnd, &paint);
        SendMessageW(m_hwnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
        const int cx = GetSystemMetrics(SM_CXICON), cy = GetSystemMetrics(SM_CYICON);
        RECT client;
        GetClientRect(m_hwnd, &client);
        DrawIcon(dc, (client.right - cx + 1) / 2, (client.bottom - cy + 1) / 2, m_hIcon);
        EndPaint(m_hwnd, &paint);
        return;
    }
    // The text area is part of every repaint, whatever was invalidated.
    InvalidateRect(m_hwnd, &CGameLauncherDlg::kStatusText, FALSE);
    HDC dc = BeginPaint(m_hwnd, &paint);
    Compose(dc);
    EndPaint(m_hwnd, &paint);
}

const CBmpButton* LauncherWindow::ButtonById(int id) const {
    switch (id) {
        case kStartId:
            return &m_btnStart;
        case kCloseId:
            return &m_btnClose;
        case kOptionId:
            return &m_btnOption;
        case kRepairId:
            return &m_btnRepair;
        default:
            return nullptr;
    }
}

LRESULT CALLBACK LauncherWindow::WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<LauncherWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        self = static_cast<LauncherWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->m_hwnd = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        if (self) self->m_hwnd = nullptr;
        self = nullptr;
    }
    return self ? self->Handle(message, wParam, lParam) : DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT LauncherWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT:
            if (!m_prepared) break;  // the bare window: default painting only
            OnPaint();
            return 0;
        case WM_ERASEBKGND:
            if (!m_prepared) break;
            return TRUE;  // the paint covers every point
        case WM_NCHITTEST:
            return HTCAPTION;  // every point of our own surface drags the window
        case WM_QUERYDRAGICON:
            return reinterpret_cast<LRESULT>(m_hIcon);
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (const CBmpButton* button = ButtonById(static_cast<int>(item->CtlID))) {
                button->DrawItem(*item);
                return TRUE;
            }
            break;
        }
        case WM_COMMAND: {
            const CBmpButton* button = ButtonById(LOWORD(wParam));
            if (HIWORD(wParam) != BN_CLICKED || !button) break;
            // A disabled button does not act, not even on another program's BM_CLICK.
            if (!IsWindowEnabled(button->Hwnd())) return 0;
            const std::function<void()>* handler = LOWORD(wParam) == kStartId    ? &m_handlers.start
                                                   : LOWORD(wParam) == kRepairId ? &m_handlers.repair
                                                   : LOWORD(wParam) == kOptionId ? &m_handlers.options
                                                                                 : &m_handlers.close;
            if (*handler) (*handler)();
            return 0;
        }
        case WM_CTLCOLORBTN:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX: {
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, RGB(255, 255, 255));
            SetBkColor(dc, RGB(0, 0, 0));
            return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
        }
        case WM_CTLCOLORSTATIC:
            SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
            return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
        case WM_CLOSE:
            // The front-end ends the loop and destroys the window.
            if (m_handlers.closeRequest) m_handlers.closeRequest();
            return 0;
        case WM_ENDSESSION:
            if (wParam && m_handlers.closeRequest) m_handlers.closeRequest();
            return 0;
        default:
            break;
    }
    return DefWindowProcW(m_hwnd, message, wParam, lParam);
}
