#pragma once
// One cap on the bytes per second the whole process receives, shared by all
// its connections (main() sets it from QUON_MAX_RATE). Every connection's receive path calls
// ThrottleReceivedBytes after taking bytes off the wire; the call sleeps
// until the cap has room for them, so the sender is held back by TCP's own
// flow control while the connection is not read.
#include <cstddef>
#include <cstdint>
#include <functional>

// Bytes per second from the text of QUON_MAX_RATE: a decimal number; null,
// empty, 0, negative or anything else that is no plain number means no cap (0).
uint64_t ParseMaxRate(const char* text);

// Accounts `bytes` just received against the process-wide cap and sleeps as
// long as the cap asks. Returns at once when there is no cap, the default.
// The sleep goes in slices of at most
// 50 ms; between slices the ThrottleWatch of the calling thread, if any, is
// polled, and the call returns early when it answers false.
void ThrottleReceivedBytes(size_t bytes);

// Sets the cap (0: none), for every thread.
void SetMaxReceiveRate(uint64_t bytesPerSecond);
uint64_t MaxReceiveRate();

// While it lives, ThrottleReceivedBytes on this thread polls `keepWaiting`
// between its sleep slices: a transfer keeps its progress reports and its
// abort checks going while it is held back. Watches nest.
class ThrottleWatch {
public:
    explicit ThrottleWatch(std::function<bool()> keepWaiting);
    ~ThrottleWatch();
    ThrottleWatch(const ThrottleWatch&) = delete;
    ThrottleWatch& operator=(const ThrottleWatch&) = delete;

    bool KeepWaiting() const { return m_keepWaiting(); }

private:
    std::function<bool()> m_keepWaiting;
    ThrottleWatch* m_outer;
};
