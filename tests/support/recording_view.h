#pragma once
// A LauncherView for tests: records what the launcher asked of its window.
// Message boxes are answered at once, or, with HoldBoxes, a box from another
// thread than the window's (the one that made the view) blocks that thread
// until the view is closed, as a window's box would.
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "launcher/launcher_view.h"

class RecordingView : public LauncherView {
public:
    void ShowMessageBox(const std::wstring& text, const std::wstring& caption, unsigned style) override {
        std::unique_lock lock(m_lock);
        m_boxes.push_back(text);
        m_lastCaption = caption;
        m_lastStyle = style;
        if (!m_holdBoxes || m_closing || std::this_thread::get_id() == m_windowThread) return;
        ++m_pendingBoxes;
        m_boxAnswered.wait(lock, [&] { return m_closing; });
        --m_pendingBoxes;
    }
    void HoldBoxes(bool hold) {
        std::lock_guard lock(m_lock);
        m_holdBoxes = hold;
    }
    int PendingBoxes() const {
        std::lock_guard lock(m_lock);
        return m_pendingBoxes;
    }
    // What a closing window does before the dialog joins its worker: every
    // pending box is answered, and later ones are not waited for.
    void Close() {
        std::lock_guard lock(m_lock);
        m_closing = true;
        m_boxAnswered.notify_all();
    }
    void InvalidateRect(const RECT*, bool) override {}
    void SetButtonsEnabled(bool enabled) override {
        std::lock_guard lock(m_lock);
        m_buttonsEnabled = enabled;
    }
    void SetTimer(int id, unsigned) override {
        std::lock_guard lock(m_lock);
        m_timersStarted.push_back(id);
    }
    void KillTimer(int) override {}
    void UpdateWindowNow() override {
        if (std::this_thread::get_id() != m_windowThread) ++m_offThreadPaints;  // against the rules
    }
    void PostClose() override { ++m_closeRequests; }

    std::vector<std::wstring> Boxes() const {
        std::lock_guard lock(m_lock);
        return m_boxes;
    }
    std::wstring LastCaption() const {
        std::lock_guard lock(m_lock);
        return m_lastCaption;
    }
    unsigned LastStyle() const {
        std::lock_guard lock(m_lock);
        return m_lastStyle;
    }
    bool ButtonsEnabled() const {
        std::lock_guard lock(m_lock);
        return m_buttonsEnabled;
    }
    std::vector<int> TimersStarted() const {
        std::lock_guard lock(m_lock);
        return m_timersStarted;
    }

    std::atomic<int> m_closeRequests{0};
    std::atomic<int> m_offThreadPaints{0};

private:
    const std::thread::id m_windowThread = std::this_thread::get_id();
    mutable std::mutex m_lock;
    std::condition_variable m_boxAnswered;
    bool m_holdBoxes = false;
    bool m_closing = false;
    int m_pendingBoxes = 0;
    std::vector<std::wstring> m_boxes;
    std::wstring m_lastCaption;
    unsigned m_lastStyle = 0;
    bool m_buttonsEnabled = false;
    std::vector<int> m_timersStarted;
};
