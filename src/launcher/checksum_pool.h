#pragma once
// Digests of a list of files computed on a few threads and handed out in list
// order, so that whoever takes them reports progress and failures exactly as
// a single pass over the list would.
//
// The taking thread hashes too: while the file it needs is not done it takes
// the next file nobody has started, and sleeps only when every file up to the
// window's end is started. So a pool of N threads runs N-1 helpers, one
// thread alone runs none, and a file costs no thread hand-off of its own.
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

    // Threads hashing in a scan, the taker included: `configured` when it is
    // positive (a fixed count for comparisons), otherwise one per core.
    static unsigned WorkerCount(unsigned configured = 0);

    // Hashes files 0..count-1 on `workers` threads (at least 1: the taker
    // alone; at most one per file). `pathOf` is called on every one of them
    // and must only read.
    ChecksumPool(size_t count, PathOf pathOf, unsigned workers);
    // Stops the helpers within one block of their current file and joins them.
    ~ChecksumPool();
    ChecksumPool(const ChecksumPool&) = delete;
    ChecksumPool& operator=(const ChecksumPool&) = delete;

    // The digest of file `index`, taken in order 0, 1, 2, ... from one
    // thread. False when `stop` was raised meanwhile (a digest the taker was
    // making ends within one block): the helpers are then stopping.
    bool Take(size_t index, FileDigest& out, const std::atomic<bool>& stop);

private:
    struct Slot {
        bool ready = false;
        FileDigest digest;
    };
    // The next file nobody started, when it fits the window; under m_lock.
    bool Claim(size_t& index);
    FileDigest Hash(size_t index, const std::atomic<bool>& stop) const;
    void Fill(size_t index, const FileDigest& digest);  // under m_lock
    void Help();

    const size_t m_count;
    const PathOf m_pathOf;
    // Files done ahead of the taker are held in a ring of this many slots, so
    // a slow taker bounds the memory, not the length of the list.
    const size_t m_window;
    std::vector<Slot> m_slots;
    std::atomic<bool> m_abort{false};  // read between blocks of a digest

    std::mutex m_lock;
    std::condition_variable m_ready;  // the file the taker sleeps for is done
    std::condition_variable m_room;   // a slot was taken, or abort
    size_t m_next = 0;                // next file to start
    size_t m_taken = 0;               // files handed out
    size_t m_awaited = SIZE_MAX;      // the file the taker sleeps for
    unsigned m_helpersWaiting = 0;    // helpers asleep for want of room
    std::vector<std::thread> m_threads;
};
