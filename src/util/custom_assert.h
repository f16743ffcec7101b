#pragma once
// Error reports of the launcher's code. A report site (RT_ASSERT) names an
// error condition: when it holds, the site counts the hit, reports at most
// 100 times in the life of the process, and breaks into the debugger when the
// player answers Abort or Retry.
#include <atomic>
#include <functional>
#include <string>

class CustomAssert {
public:
    // Answers of the report box, as the Windows message box gives them.
    static constexpr int kAbort = 3;
    static constexpr int kRetry = 4;
    static constexpr int kIgnore = 5;

    // Shows the report text with its caption and returns the player's answer.
    using MessageBoxHandler = std::function<int(const std::wstring& text, const std::wstring& caption)>;

    // Front-ends plug their box in here; an empty handler restores the
    // default, which prints the report to stderr and answers Ignore.
    static void SetMessageBoxHandler(MessageBoxHandler handler);

    // Formats the message (cut at 259 characters), shows the box when asked
    // to, appends a line to "./log.txt". True when the site is to break into
    // the debugger.
    static bool Report(int line, const wchar_t* file, const wchar_t* function, bool showBox,
                       const wchar_t* format, ...);

    // "File: ...\r\nLine: ...\r\nFunction: ...\r\nExpr: ...\r\n"
    static std::wstring BuildReportText(const wchar_t* file, int line, const wchar_t* function,
                                        const std::wstring& message);
};

namespace diagnostics {

constexpr int kMaxReportsPerSite = 100;

// Counter and switch of one report site. Atomic, because any thread may
// report at the same site: each hit gets its own number, so no more than
// kMaxReportsPerSite reports pass even when threads race.
class ReportSite {
public:
    // Counts a hit; true when this hit is still to be reported.
    bool Hit() {
        if (!m_bEnabled.load(std::memory_order_relaxed)) {
            m_nHits.fetch_add(1, std::memory_order_relaxed);
            return false;
        }
        const int hit = m_nHits.fetch_add(1, std::memory_order_relaxed) + 1;
        // The switch, once off, stays off: the counter may wrap after 2^31
        // hits, the limit must not.
        if (hit >= kMaxReportsPerSite || hit <= 0) m_bEnabled.store(false, std::memory_order_relaxed);
        return hit > 0 && hit <= kMaxReportsPerSite;
    }
    int Hits() const { return m_nHits.load(std::memory_order_relaxed); }

private:
    std::atomic<int> m_nHits{0};
    std::atomic<bool> m_bEnabled{true};
};

// A breakpoint trap: stops in a debugger, otherwise reaches the crash handler.
void BreakIntoDebugger();

}  // namespace diagnostics

#define QUON_RT_WIDEN2(s) L##s
#define QUON_RT_WIDEN(s) QUON_RT_WIDEN2(s)

// RT_ASSERT(errorCondition, showBox, functionName, format, args...)
// The function name is given explicitly: the report names it in full
// ("COMMON_UTIL::GAME_OPTION::GameOption::Load"), which __func__ does not.
#define RT_ASSERT(condition, showBox, function, ...)                                                         \
    do {                                                                                                     \
        if (condition) {                                                                                     \
            static ::diagnostics::ReportSite quonRtAssertSite;                                               \
            if (quonRtAssertSite.Hit() &&                                                                    \
                CustomAssert::Report(__LINE__, QUON_RT_WIDEN(__FILE__), (function), (showBox), __VA_ARGS__)) \
                ::diagnostics::BreakIntoDebugger();                                                          \
        }                                                                                                    \
    } while (0)
