#pragma once
// A LauncherView for tests: records what the launcher asked of its window and
// answers message boxes at once.
#include <atomic>
#include <mutex>
#include <string>
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
    void InvalidateRect(const RECT*, bool) override { ++m_invalidations; }
    void SetButtonsEnabled(bool enabled) override {
        std::lock_guard lock(m_lock);
        m_buttonsEnabled = enabled;
        m_buttonChanges.push_back(enabled);
    }
    void SetTimer(int id, unsigned) override {
        std::lock_guard lock(m_lock);
        m_timersStarted.push_back(id);
    }
    void KillTimer(int id) override {
        std::lock_guard lock(m_lock);
        m_timersKilled.push_back(id);
    }
    void UpdateWindowNow() override { ++m_paintsNow; }
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
    std::vector<int> TimersKilled() const {
        std::lock_guard lock(m_lock);
        return m_timersKilled;
    }

    std::atomic<int> m_closeRequests{0};
    std::atomic<int> m_invalidations{0};
    std::atomic<int> m_paintsNow{0};

private:
    mutable std::mutex m_lock;
    std::vector<std::wstring> m_boxes;
    std::wstring m_lastCaption;
    unsigned m_lastStyle = 0;
    bool m_buttonsEnabled = false;
    std::vector<bool> m_buttonChanges;
    std::vector<int> m_timersStarted;
    std::vector<int> m_timersKilled;
};
