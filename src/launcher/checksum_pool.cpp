#include "launcher/checksum_pool.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>

#include "os/thread_start.h"

unsigned ChecksumPool::WorkerCount(unsigned configured) {
    if (configured > 0) return configured;
    return std::max(1u, std::thread::hardware_concurrency());
}

ChecksumPool::ChecksumPool(size_t count, PathOf pathOf, unsigned workers)
    : m_count(count), m_pathOf(std::move(pathOf)), m_window(std::max(1u, workers) * 16), m_slots(m_window) {
    const size_t helpers = std::min<size_t>(std::max(1u, workers) - 1, count > 0 ? count - 1 : 0);
    m_threads.reserve(helpers);
    for (size_t i = 0; i < helpers; ++i) m_threads.push_back(StartThread(&ChecksumPool::Help, this));
}

ChecksumPool::~ChecksumPool() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_abort = true;
        m_room.notify_all();
    }
    for (std::thread& t : m_threads) t.join();
}

bool ChecksumPool::Claim(size_t& index) {
    if (m_abort || m_next >= m_count || m_next >= m_taken + m_window) return false;
    index = m_next++;
    return true;
}

FileDigest ChecksumPool::Hash(size_t index, const std::atomic<bool>& stop) const {
    FileDigest digest;
    errno = 0;
    digest.ok = ChecksumOfFile(digest.text, m_pathOf(index), &stop);
    digest.error = digest.ok ? 0 : errno;
    return digest;
}

void ChecksumPool::Fill(size_t index, const FileDigest& digest) {
    Slot& slot = m_slots[index % m_window];
    slot.digest = digest;
    slot.ready = true;
}

void ChecksumPool::Help() {
    std::unique_lock<std::mutex> lock(m_lock);
    for (;;) {
        size_t index;
        if (!Claim(index)) {
            if (m_abort || m_next >= m_count) return;
            ++m_helpersWaiting;
            m_room.wait(lock);
            --m_helpersWaiting;
            continue;
        }
        lock.unlock();
        const FileDigest digest = Hash(index, m_abort);
        lock.lock();
        Fill(index, digest);
        if (m_awaited == index) m_ready.notify_one();
    }
}

bool ChecksumPool::Take(size_t index, FileDigest& out, const std::atomic<bool>& stop) {
    std::unique_lock<std::mutex> lock(m_lock);
    Slot& slot = m_slots[index % m_window];
    for (;;) {
        // The stop flag is raised by a thread that does not know this pool,
        // so it is looked at between files and every few milliseconds.
        if (stop) {
            m_abort = true;
            m_room.notify_all();
            return false;
        }
        if (slot.ready) break;
        size_t mine;
        if (Claim(mine)) {
            lock.unlock();
            const FileDigest digest = Hash(mine, stop);
            lock.lock();
            Fill(mine, digest);
            continue;
        }
        m_awaited = index;
        m_ready.wait_for(lock, std::chrono::milliseconds(20));
        m_awaited = SIZE_MAX;
    }
    out = slot.digest;
    slot.ready = false;
    m_taken = index + 1;
    if (m_helpersWaiting > 0) m_room.notify_all();
    return true;
}
