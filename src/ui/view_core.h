#pragma once
// What a window view shares between the window's thread and the worker,
// under one lock: the message boxes open or waiting, the closing, and the
// area of the next repaint. Each front-end shows, answers and repaints in its
// own toolkit; `Handle` is the toolkit's window of a box.
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ui/pending_repaint.h"

template <class Handle>
class ViewCore {
public:
    struct Box {
        std::wstring text, caption;
        unsigned style = 0;
        Handle dialog{};    // while shown; the window's thread only
        bool done = false;  // under the lock
    };
    using BoxPtr = std::shared_ptr<Box>;

    // A box to show, or null once the view closes: nobody is left to answer
    // it. Either way an error was shown.
    BoxPtr OpenBox(const std::wstring& text, const std::wstring& caption, unsigned style) {
        auto box = std::make_shared<Box>();
        box->text = text;
        box->caption = caption;
        box->style = style;
        std::lock_guard lock(m_lock);
        m_errorShown = true;
        if (m_closing) return nullptr;
        m_boxes.push_back(box);
        return box;
    }
    // Blocks the calling thread (the worker) until `box` is answered.
    void WaitAnswered(const BoxPtr& box) {
        std::unique_lock lock(m_lock);
        m_answered.wait(lock, [&] { return box->done; });
    }
    // False once a close has answered `box`.
    bool Waiting(const BoxPtr& box) const {
        std::lock_guard lock(m_lock);
        return !box->done;
    }
    void Answered(const BoxPtr& box) {
        std::lock_guard lock(m_lock);
        box->done = true;
        std::erase(m_boxes, box);
        m_answered.notify_all();
    }
    // The view closes: every box counts as answered and a waiting worker goes
    // on. Returns the boxes, for their windows to be closed.
    std::vector<BoxPtr> Close() {
        std::vector<BoxPtr> open;
        std::lock_guard lock(m_lock);
        m_closing = true;
        open.swap(m_boxes);
        for (auto& box : open) box->done = true;
        m_answered.notify_all();
        return open;
    }
    // Asks for a close; false when the view closes already.
    bool RequestClose() {
        std::lock_guard lock(m_lock);
        if (m_closing) return false;
        m_closeRequested = true;
        return true;
    }
    // Closing, or a close asked for: the loop is not to start.
    bool Ending() const {
        std::lock_guard lock(m_lock);
        return m_closing || m_closeRequested;
    }
    bool ErrorShown() const {
        std::lock_guard lock(m_lock);
        return m_errorShown;
    }
    // True when the caller is to queue a repaint (PendingRepaint::Add).
    bool AddRepaint(const RECT* rect) {
        std::lock_guard lock(m_lock);
        return m_repaint.Add(rect);
    }
    // The queued repaint runs: false once the view closes; otherwise `area`
    // is null for the whole window or points to `rect`.
    bool TakeRepaint(RECT& rect, const RECT*& area) {
        std::lock_guard lock(m_lock);
        const RECT* taken = m_repaint.Take();
        if (m_closing) return false;
        if (taken) rect = *taken;
        area = taken ? &rect : nullptr;
        return true;
    }

private:
    mutable std::mutex m_lock;
    std::condition_variable m_answered;
    std::vector<BoxPtr> m_boxes;  // open or waiting
    bool m_closing = false;
    bool m_closeRequested = false;
    bool m_errorShown = false;
    PendingRepaint m_repaint;
};
