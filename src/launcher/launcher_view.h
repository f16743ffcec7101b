#pragma once
// What the launcher asks of its window. The launcher never draws: a GTK
// window, the console front-end and the tests' recording view implement this.
#include <string>

#include "platform/win_types.h"

class LauncherView {
public:
    virtual ~LauncherView() = default;
    // Shows `text` unchanged with only an OK button and blocks the calling
    // thread (the worker or the window's) until the player has answered.
    virtual void ShowMessageBox(const std::wstring& text, const std::wstring& caption, unsigned style) = 0;
    // Asks for a repaint of `rect` (the whole window when null).
    virtual void InvalidateRect(const RECT* rect, bool erase) = 0;
    // Enables or disables the start, repair and video option buttons together.
    virtual void SetButtonsEnabled(bool enabled) = 0;
    virtual void SetTimer(int id, unsigned periodMs) = 0;
    virtual void KillTimer(int id) = 0;
    // Paints pending changes at once; the start button's file check calls it
    // because it holds the window's thread while it works.
    virtual void UpdateWindowNow() = 0;
    // Posts a close request (WM_CLOSE) to the window's thread; never blocks.
    virtual void PostClose() = 0;
};
