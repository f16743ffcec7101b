#pragma once
// Digests of a list of files computed on a few threads and handed out in list
// order, so that whoever takes them reports progress and failures exactly as
// a single pass over the list would.
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "launcher/md5_checksum.h"

struct FileDigest {
    bool ok = false;
    int error = 0;  // errno of a failed read
    wchar_t text[CMD5Checksum::kTextChars + 1] = {};
};

class ChecksumPool {
public:
    using PathOf = std::function<std::wstring(size_t index)>;

    // Threads for a scan: QUON_SCAN_WORKERS when set to a positive number
    // (a fixed count for comparisons), otherwise one per core.
    static unsigned WorkerCount();

    // Starts `workers` threads (at least 1, at most `count`) over files
    // 0..count-1; `pathOf` is called on those threads and must only read.
    ChecksumPool(size_t count, PathOf pathOf, unsigned workers);
    // Stops the workers within one block of their current file and joins them.
    ~ChecksumPool();
    ChecksumPool(const ChecksumPool&) = delete;
    ChecksumPool& operator=(const ChecksumPool&) = delete;

    // Waits for the digest of file `index`, taken in order 0, 1, 2, ...
    // False when `stop` was raised meanwhile: the workers are then stopping.
    bool Take(size_t index, FileDigest& out, const std::atomic<bool>& stop);

private:
    struct Slot {
        bool ready = false;
        FileDigest digest;
    };
    void Work();
    void Abort();

    const size_t m_count;
    const PathOf m_pathOf;
    // Files done ahead of the taker are held in a ring of this many slots, so
    // a slow taker bounds the memory, not the length of the list.
    const size_t m_window;
    std::vector<Slot> m_slots;
    std::atomic<bool> m_abort{false};  // read between blocks of a digest

    std::mutex m_lock;
    std::condition_variable m_ready;  // a slot was filled
    std::condition_variable m_room;   // a slot was taken, or abort
    size_t m_next = 0;                // next file to start
    size_t m_taken = 0;               // files handed out
    std::vector<std::thread> m_threads;
};
