#pragma once
// The launcher's main window: a popup of class "QuonLauncher" without frame
// or caption, cut out by the background's key colour (a window region),
// painted double-buffered from the skin and the progress model, moved by
// dragging any point that is not a control. It only paints and forwards
// clicks; the launcher decides.
#include <windows.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "launcher/game_launcher_dlg.h"
#include "ui/win32/bmp_button.h"
#include "ui/win32/status_painter.h"
#include "ui/win32/win32_notice_browser.h"
#include "ui/window_run.h"

class LauncherWindow {
public:
    // closeRequest: WM_CLOSE (Alt+F4, the system menu) and the session's end.
    using Handlers = WindowHandlers;

    // The window, hidden and centred on the primary screen's work area.
    LauncherWindow(CGameLauncherDlg& dlg, Handlers handlers);
    ~LauncherWindow();
    LauncherWindow(const LauncherWindow&) = delete;
    LauncherWindow& operator=(const LauncherWindow&) = delete;

    // Icon, title, cut-out, skin, buttons and notice page, in a run
    // started by the updater. False when the skin cannot be loaded.
    bool Prepare(const std::wstring& noticeUrl);
    void Show();
    bool Shown() const { return m_hwnd && IsWindowVisible(m_hwnd); }

    void SetButtonsEnabled(bool enabled);
    void Invalidate(const RECT* rect);
    // Composes and shows pending changes at once, dispatching no other
    // message meanwhile.
    void PaintNow();
    // The message loop's filter: true when `message` is swallowed (Enter and
    // Escape never act on the launcher).
    bool PreTranslateMessage(const MSG& message) const;

    HWND Hwnd() const { return m_hwnd; }

    static constexpr int kStartId = 1031, kCloseId = 1032, kOptionId = 1037, kRepairId = 1038;
    static constexpr wchar_t kClassName[] = L"QuonLauncher";

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void OnPaint();
    void Compose(HDC target);
    const CBmpButton* ButtonById(int id) const;

    CGameLauncherDlg& m_dlg;
    Handlers m_handlers;
    HWND m_hwnd = nullptr;
    HICON m_hIcon = nullptr, m_hIconSmall = nullptr;
    RECT m_rcClient{};
    bool m_prepared = false;

    HBITMAP m_background = nullptr;
    HBITMAP m_offscreen = nullptr;
    StatusPainter m_painter;
    CBmpButton m_btnStart, m_btnClose, m_btnOption, m_btnRepair;
    std::unique_ptr<Win32NoticeBrowser> m_browser;
    std::chrono::steady_clock::time_point m_lastDirectPaint{};
};
