#include "ui/win32/win32_launcher_view.h"

#include "launcher/game_launcher_dlg.h"
#include "ui/win32/launcher_window.h"
#include "ui/win32/message_box.h"

namespace {
constexpr UINT kRunQueued = WM_APP + 1;
constexpr wchar_t kSinkClass[] = L"QuonLauncherView";
}  // namespace

Win32LauncherView::Win32LauncherView() : m_uiThread(std::this_thread::get_id()) {
    static const bool registered = [] {
        WNDCLASSEXW wc{sizeof(wc)};
        wc.lpfnWndProc = SinkProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kSinkClass;
        return RegisterClassExW(&wc) != 0;
    }();
    (void)registered;
    m_sink = CreateWindowExW(0, kSinkClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                             GetModuleHandleW(nullptr), this);
}

Win32LauncherView::~Win32LauncherView() {
    if (m_sink) DestroyWindow(m_sink);  // its timers go with it
}

void Win32LauncherView::Attach(CGameLauncherDlg* dlg, LauncherWindow* window) {
    m_dlg = dlg;
    m_window = window;
}

LRESULT CALLBACK Win32LauncherView::SinkProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        SetWindowLongPtrW(
            hwnd, GWLP_USERDATA,
            reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    }
    auto* self = reinterpret_cast<Win32LauncherView*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self && message == kRunQueued) {
        self->RunQueued();
        return 0;
    }
    if (self && message == WM_TIMER) {
        if (self->m_dlg) self->m_dlg->OnTimer(static_cast<int>(wParam));
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void Win32LauncherView::Post(std::function<void()> work) {
    {
        std::lock_guard lock(m_workLock);
        m_work.push_back(std::move(work));
    }
    PostMessageW(m_sink, kRunQueued, 0, 0);
}

void Win32LauncherView::RunOnUi(std::function<void()> work) {
    if (OnUiThread()) {
        work();
        return;
    }
    Post(std::move(work));
}

void Win32LauncherView::RunQueued() {
    // One at a time and unlocked: a box shown by one item runs a modal loop
    // in which the next items run.
    for (;;) {
        std::function<void()> work;
        {
            std::lock_guard lock(m_workLock);
            if (m_work.empty()) return;
            work = std::move(m_work.front());
            m_work.pop_front();
        }
        work();
    }
}

void Win32LauncherView::RunLoop() {
    if (m_core.Ending()) return;
    m_looping = true;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (m_window && m_window->PreTranslateMessage(message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    m_looping = false;
}

bool Win32LauncherView::ErrorShown() const {
    return m_core.ErrorShown();
}

void Win32LauncherView::BeginClosing() {
    const auto open = m_core.Close();
    // A box on the screen ends its own modal loop; a waiting one never shows.
    for (auto& box : open) AnswerMessageBox(box->dialog);
    if (m_looping) PostQuitMessage(0);
}

void Win32LauncherView::RequestClose() {
    Post([this] { BeginClosing(); });
}

void Win32LauncherView::DrainPending() {
    RunQueued();
}

HWND Win32LauncherView::BoxOwner() const {
    // Before the window shows (the start-up checks) a box stands alone.
    return m_window && m_window->Shown() ? m_window->Hwnd() : nullptr;
}

void Win32LauncherView::ShowMessageBox(const std::wstring& text, const std::wstring& caption,
                                       unsigned style) {
    const auto box = m_core.OpenBox(text, caption, style);
    if (!box) return;
    if (OnUiThread()) {
        ShowBox(box);
        return;
    }
    Post([this, box] { ShowBox(box); });
    m_core.WaitAnswered(box);
}

void Win32LauncherView::ShowBox(const std::shared_ptr<Box>& box) {
    if (!m_core.Waiting(box)) return;  // answered by a close meanwhile
    RunMessageBox(BoxOwner(), box->text, box->caption, box->style, &box->dialog);
    m_core.Answered(box);
}

void Win32LauncherView::InvalidateRect(const RECT* rect, bool) {
    if (m_core.AddRepaint(rect)) RunOnUi([this] { FlushInvalidation(); });
}

void Win32LauncherView::FlushInvalidation() {
    RECT rect;
    const RECT* area = nullptr;
    if (m_core.TakeRepaint(rect, area) && m_window) m_window->Invalidate(area);
}

void Win32LauncherView::SetButtonsEnabled(bool enabled) {
    RunOnUi([this, enabled] {
        if (m_window) m_window->SetButtonsEnabled(enabled);
    });
}

void Win32LauncherView::SetTimer(int id, unsigned periodMs) {
    // A timer of the same id is replaced.
    RunOnUi([this, id, periodMs] { ::SetTimer(m_sink, static_cast<UINT_PTR>(id), periodMs, nullptr); });
}

void Win32LauncherView::KillTimer(int id) {
    RunOnUi([this, id] { ::KillTimer(m_sink, static_cast<UINT_PTR>(id)); });
}

void Win32LauncherView::UpdateWindowNow() {
    if (OnUiThread() && m_window) m_window->PaintNow();
}

void Win32LauncherView::PostClose() {
    if (!m_core.RequestClose()) return;
    // Posted even on the window's thread: the caller finishes its handler first.
    Post([this] { BeginClosing(); });
}
