#include "launcher/md5_pipeline.h"

#include "os/thread_start.h"

CMd5Pipeline::CMd5Pipeline(size_t blockSize, size_t blocks)
    : m_blockSize(blockSize), m_depth(blocks < 2 ? 2 : blocks) {
    m_blocks.emplace_back(new char[blockSize]);
}

void CMd5Pipeline::Begin(bool threaded) {
    Drop();
    m_md5 = CMD5Checksum();
    m_produced = m_consumed = 0;
    m_closing = m_dropping = false;
    if (!threaded) return;
    while (m_blocks.size() < m_depth) m_blocks.emplace_back(new char[m_blockSize]);
    m_lengths.assign(m_depth, 0);
    m_thread = StartThread([this] { Run(); });
}

char* CMd5Pipeline::Next() {
    if (!m_thread.joinable()) return m_blocks[0].get();
    std::unique_lock lock(m_mutex);
    m_hashed.wait(lock, [this] { return m_produced - m_consumed < m_depth; });
    return m_blocks[m_produced % m_depth].get();
}

void CMd5Pipeline::Hand(size_t length) {
    if (!m_thread.joinable()) {
        m_md5.Update(reinterpret_cast<const uint8_t*>(m_blocks[0].get()), length);
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_lengths[m_produced % m_depth] = length;
        ++m_produced;
    }
    m_handed.notify_one();
}

void CMd5Pipeline::Stop(bool drop) {
    if (!m_thread.joinable()) return;
    {
        std::lock_guard lock(m_mutex);
        m_closing = true;
        m_dropping = drop;
    }
    m_handed.notify_one();
    m_thread.join();
}

std::wstring CMd5Pipeline::Finish() {
    Stop(false);
    wchar_t text[CMD5Checksum::kTextChars + 1] = {};
    return m_md5.Final(text);
}

void CMd5Pipeline::Drop() {
    Stop(true);
}

void CMd5Pipeline::Run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_handed.wait(lock, [this] { return m_consumed < m_produced || m_closing; });
        if (m_dropping || m_consumed == m_produced) return;
        const size_t slot = m_consumed % m_depth;
        const size_t length = m_lengths[slot];
        // The producer fills other blocks meanwhile; this one stays the
        // digest's until it is counted as hashed.
        lock.unlock();
        m_md5.Update(reinterpret_cast<const uint8_t*>(m_blocks[slot].get()), length);
        lock.lock();
        ++m_consumed;
        m_hashed.notify_one();
    }
}
