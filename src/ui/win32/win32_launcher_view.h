#pragma once
// LauncherView for the Win32 window. Every call may come from the worker: it
// is posted (PostMessageW) to a message-only window of the window's thread
// and carried out there; a window's message, unlike a thread message, is
// also delivered inside the modal loops of message boxes and dialogs. A
// message box from the worker blocks the worker until the player answers it;
// closing answers every box still open or waiting.
#include <windows.h>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "launcher/launcher_view.h"
#include "ui/view_core.h"

class CGameLauncherDlg;
class LauncherWindow;

class Win32LauncherView : public LauncherView {
public:
    Win32LauncherView();  // on the window's thread
    ~Win32LauncherView() override;
    Win32LauncherView(const Win32LauncherView&) = delete;
    Win32LauncherView& operator=(const Win32LauncherView&) = delete;

    void Attach(CGameLauncherDlg* dlg, LauncherWindow* window);
    // The window's message loop; returns once the window is to close.
    void RunLoop();
    // The window's thread: from now on no box blocks anybody; open ones are
    // answered and the loop ends.
    void BeginClosing();
    // Any thread (a console control handler): asks the window's thread to close.
    void RequestClose();
    // The window's thread, after the worker has been joined: runs what the
    // worker still queued, as no-ops.
    void DrainPending();
    bool ErrorShown() const;

    void ShowMessageBox(const std::wstring& text, const std::wstring& caption, unsigned style) override;
    void InvalidateRect(const RECT* rect, bool erase) override;
    void SetButtonsEnabled(bool enabled) override;
    void SetTimer(int id, unsigned periodMs) override;
    void KillTimer(int id) override;
    void UpdateWindowNow() override;
    void PostClose() override;

private:
    using Core = ViewCore<HWND>;
    using Box = Core::Box;

    bool OnUiThread() const { return std::this_thread::get_id() == m_uiThread; }
    // Queues `work` for the window's thread.
    void Post(std::function<void()> work);
    // Runs `work` on the window's thread: now when called there, else queued.
    void RunOnUi(std::function<void()> work);
    void RunQueued();
    static LRESULT CALLBACK SinkProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    HWND BoxOwner() const;
    void ShowBox(const std::shared_ptr<Box>& box);
    void FlushInvalidation();

    const std::thread::id m_uiThread;
    HWND m_sink = nullptr;  // message-only: the posted work and the timers
    CGameLauncherDlg* m_dlg = nullptr;
    LauncherWindow* m_window = nullptr;
    bool m_looping = false;  // the window's thread only

    Core m_core;
    std::mutex m_workLock;
    std::deque<std::function<void()>> m_work;
};
