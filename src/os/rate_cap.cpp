#include "os/rate_cap.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kSleepSlice = std::chrono::milliseconds(50);

thread_local ThrottleWatch* t_watch = nullptr;

// A token bucket without burst allowance: every byte is paid for at the cap's
// rate, one after another across all callers. `m_paidUntil` is the moment at
// which everything accounted so far has been paid; an idle spell earns no
// credit, so n bytes never arrive faster than n / rate, from the first one on.
class ProcessRateCap {
public:
    void SetRate(uint64_t rate) {
        std::lock_guard lock(m_mutex);
        m_rate = rate;
        m_paidUntil = Clock::now();
    }
    uint64_t Rate() const { return m_rate.load(); }

    // The moment until which the caller of `bytes` has to wait.
    Clock::time_point Reserve(size_t bytes) {
        std::lock_guard lock(m_mutex);
        const uint64_t rate = m_rate.load();
        const auto now = Clock::now();
        if (rate == 0) return now;
        const auto cost = std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(static_cast<double>(bytes) / static_cast<double>(rate)));
        m_paidUntil = std::max(m_paidUntil, now) + cost;
        return m_paidUntil;
    }

private:
    std::mutex m_mutex;
    std::atomic<uint64_t> m_rate{0};
    Clock::time_point m_paidUntil = Clock::now();
};

ProcessRateCap& Cap() {
    static ProcessRateCap cap;
    return cap;
}

}  // namespace

uint64_t ParseMaxRate(const char* text) {
    if (!text || *text < '0' || *text > '9') return 0;
    errno = 0;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (errno == ERANGE || *end != '\0') return 0;
    return value;
}

void ThrottleReceivedBytes(size_t bytes) {
    ProcessRateCap& cap = Cap();
    if (bytes == 0 || cap.Rate() == 0) return;
    const auto until = cap.Reserve(bytes);
    while (true) {
        const auto now = Clock::now();
        if (now >= until) return;
        std::this_thread::sleep_for(std::min<Clock::duration>(until - now, kSleepSlice));
        if (t_watch && !t_watch->KeepWaiting()) return;
    }
}

void SetMaxReceiveRate(uint64_t bytesPerSecond) {
    Cap().SetRate(bytesPerSecond);
}

uint64_t MaxReceiveRate() {
    return Cap().Rate();
}

ThrottleWatch::ThrottleWatch(std::function<bool()> keepWaiting)
    : m_keepWaiting(std::move(keepWaiting)), m_outer(t_watch) {
    t_watch = this;
}

ThrottleWatch::~ThrottleWatch() {
    t_watch = m_outer;
}
