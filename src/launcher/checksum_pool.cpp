#include "launcher/checksum_pool.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>

unsigned ChecksumPool::WorkerCount() {
    if (const char* set = std::getenv("QUON_SCAN_WORKERS")) {
        const long n = std::strtol(set, nullptr, 10);
        if (n > 0) return static_cast<unsigned>(std::min(n, 256L));
    }
    return std::max(1u, std::thread::hardware_concurrency());
}

ChecksumPool::ChecksumPool(size_t count, PathOf pathOf, unsigned workers)
    : m_count(count), m_pathOf(std::move(pathOf)), m_window(std::max(1u, workers) * 16), m_slots(m_window) {
    const size_t threads = std::min<size_t>(std::max(1u, workers), count);
    m_threads.reserve(threads);
    for (size_t i = 0; i < threads; ++i) m_threads.emplace_back(&ChecksumPool::Work, this);
}

ChecksumPool::~ChecksumPool() {
    Abort();
    for (std::thread& t : m_threads) t.join();
}

void ChecksumPool::Abort() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_abort = true;
    m_room.notify_all();
}

void ChecksumPool::Work() {
    std::unique_lock<std::mutex> lock(m_lock);
    for (;;) {
        m_room.wait(lock, [&] { return m_abort || m_next >= m_count || m_next < m_taken + m_window; });
        if (m_abort || m_next >= m_count) return;
        const size_t index = m_next++;
        lock.unlock();

        FileDigest digest;
        errno = 0;
        digest.ok = ChecksumOfFile(digest.text, m_pathOf(index), &m_abort);
        digest.error = digest.ok ? 0 : errno;

        lock.lock();
        Slot& slot = m_slots[index % m_window];
        slot.digest = digest;
        slot.ready = true;
        m_ready.notify_all();
    }
}

bool ChecksumPool::Take(size_t index, FileDigest& out, const std::atomic<bool>& stop) {
    std::unique_lock<std::mutex> lock(m_lock);
    Slot& slot = m_slots[index % m_window];
    // The stop flag is raised by a thread that does not know this pool, so it
    // is looked at every few milliseconds while waiting.
    while (!slot.ready) {
        if (stop) {
            m_abort = true;
            m_room.notify_all();
            return false;
        }
        m_ready.wait_for(lock, std::chrono::milliseconds(20));
    }
    out = slot.digest;
    slot.ready = false;
    m_taken = index + 1;
    m_room.notify_all();
    return true;
}
