#pragma once
// A LauncherView for tests: records what the launcher asked of its window.
// Message boxes are answered at once.
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "launcher/launcher_view.h"

class RecordingView : public LauncherView {
public:
    void ShowMessageBox(const std::wstring& text, const std::wstring& caption, unsigned style) override {
        std::lock_guard lock(m_lock);
        m_boxes.push_back(text);
        m_lastCaption = caption;
        m_lastStyle = style;
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
    std::vector<std::wstring> m_boxes;
    std::wstring m_lastCaption;
    unsigned m_lastStyle = 0;
    bool m_buttonsEnabled = false;
    std::vector<int> m_timersStarted;
};
