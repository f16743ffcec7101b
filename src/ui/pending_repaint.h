#pragma once
// The area a window view gathers for one repaint: progress reports come by
// the thousand from the worker, and one queued repaint serves all that
// arrive before it runs. Not locked itself: the view guards it.
#include <algorithm>

#include "base/win_types.h"

class PendingRepaint {
public:
    // Adds `rect` (null: the whole window). True when no repaint is queued
    // yet: the caller is to queue one.
    bool Add(const RECT* rect) {
        if (!rect) {
            m_all = true;
        } else if (m_dirty.right <= m_dirty.left) {
            m_dirty = *rect;
        } else {
            m_dirty = {std::min(m_dirty.left, rect->left), std::min(m_dirty.top, rect->top),
                       std::max(m_dirty.right, rect->right), std::max(m_dirty.bottom, rect->bottom)};
        }
        if (m_queued) return false;
        m_queued = true;
        return true;
    }
    // The queued repaint runs: the area to repaint, null for the whole window.
    const RECT* Take() {
        m_queued = false;
        m_taken = m_dirty;
        const bool all = m_all;
        m_all = false;
        m_dirty = {0, 0, 0, 0};
        return all ? nullptr : &m_taken;
    }

private:
    bool m_queued = false;
    bool m_all = false;
    RECT m_dirty{0, 0, 0, 0};
    RECT m_taken{0, 0, 0, 0};
};
