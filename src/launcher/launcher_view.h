#pragma once
// What the launcher asks of its window. The launcher never draws: a GTK
// window, the console front-end and the tests' recording view implement this.
//
// Threads. The window's thread runs the view's loop and is the only one that
// calls into the dialog's window side (OnInitDialog, the button handlers,
// OnTimer, OnDestroy, GetStatusSnapshot). The worker calls the operations
// marked "any thread" below; a view takes such a call from the worker as a
// request and carries it out on the window's thread, never by calling back
// into the dialog on the worker. Closing, in this order: the view stops
// taking input, answers every pending box (and, from then on, every new one
// at once), and only then calls OnDestroy, which joins the worker.
#include <string>

#include "base/win_types.h"

class LauncherView {
public:
    virtual ~LauncherView() = default;
    // Any thread. Shows `text` unchanged with only an OK button and blocks the
    // calling thread until the player has answered. From the worker the box
    // is shown by the window's thread while the worker waits; a closing view
    // answers it instead (the text may still be written somewhere).
    virtual void ShowMessageBox(const std::wstring& text, const std::wstring& caption, unsigned style) = 0;
    // Any thread; never blocks. Asks for a repaint of `rect` (the whole
    // window when null).
    virtual void InvalidateRect(const RECT* rect, bool erase) = 0;
    // Any thread; never blocks. Enables or disables the start, repair and
    // video option buttons together.
    virtual void SetButtonsEnabled(bool enabled) = 0;
    // Any thread; never blocks. The timer fires OnTimer on the window's thread.
    virtual void SetTimer(int id, unsigned periodMs) = 0;
    virtual void KillTimer(int id) = 0;
    // Window's thread only: the start button's file check, which holds that
    // thread while it works. Paints pending changes and does nothing else: no
    // input handler, timer or close runs inside it, so nothing can change the
    // client list the check is walking.
    virtual void UpdateWindowNow() = 0;
    // Any thread; never blocks. Posts a close request (WM_CLOSE) to the
    // window's thread.
    virtual void PostClose() = 0;
};
