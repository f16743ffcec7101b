#pragma once
// The console front-end: used without a display. Message boxes go to standard
// error (waiting for Enter on a terminal), progress becomes status lines, and
// once the launcher is ready the player types commands on standard input.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "launcher/launcher_view.h"
#include "ui/console/console_input.h"

class CGameLauncherDlg;

class ConsoleView : public LauncherView {
public:
    // Reads the process's standard input, writes to `out`.
    explicit ConsoleView(FILE* out);
    ~ConsoleView() override;

    void Attach(CGameLauncherDlg* dlg) { m_dlg = dlg; }
    // The window's message loop: returns once the window is to close.
    void RunLoop();
    // Asks the loop to close from a signal handler (async-signal-safe) or
    // the console's control thread.
    void WakeForClose();
    bool ErrorShown() const;

    void ShowMessageBox(const std::wstring& text, const std::wstring& caption, unsigned style) override;
    void InvalidateRect(const RECT* rect, bool erase) override;
    void SetButtonsEnabled(bool enabled) override;
    void SetTimer(int id, unsigned periodMs) override;
    void KillTimer(int id) override;
    void UpdateWindowNow() override;
    void PostClose() override;

private:
    using Clock = std::chrono::steady_clock;
    struct BoxRequest {
        std::wstring text;
        bool done = false;
    };

    void Wake();
    void ShowBoxHere(const std::wstring& text);
    // Blocking; false at the end of input or once the window is to close.
    bool ReadLine(std::string& line);
    bool HasPendingInput() const;  // a whole line buffered, or the end seen
    bool WaitForInput();           // false when a close came first
    void DrainWakes();
    bool HandleInputLine();  // false when the input says close
    Clock::duration RenderInterval() const;
    void HandleCommand(const std::string& line);
    void RenderStatus(bool force);
    int NextTimeoutMs();
    void RunDueTimers();

    ConsoleInput m_input;
    FILE* const m_out;
    const bool m_inputIsTerminal;
    const bool m_outputIsTerminal;
    const std::thread::id m_uiThread;
    CGameLauncherDlg* m_dlg = nullptr;

    mutable std::mutex m_lock;
    std::condition_variable m_boxAnswered;
    std::deque<BoxRequest*> m_boxes;
    bool m_closeRequested = false;
    bool m_closing = false;
    bool m_buttonsEnabled = false;
    bool m_statusDirty = false;
    bool m_errorShown = false;
    std::map<int, std::pair<unsigned, Clock::time_point>> m_timers;

    // Only the loop's thread touches these.
    std::string m_inputBuffer;
    bool m_inputEnded = false;
    bool m_closeSignalled = false;  // a terminating signal arrived
    std::wstring m_lastStatus;
    Clock::time_point m_lastRender{};
};
