#pragma once
// The archives of the files after the current one, fetched ahead into a
// folder of their own below Temp while the current file is unpacked and
// checked, bounded in count and in bytes on disk. A file whose early fetch
// did not succeed is simply fetched again the ordinary way, so every failure
// the player sees comes from that ordinary fetch, as in a run without this.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "os/url_prefetch.h"

class CArchivePrefetch {
public:
    struct Limits {
        size_t files = 48;                      // fetched or under way ahead of the current file
        uint64_t bytes = 256ull * 1024 * 1024;  // their download sizes together
        // A far server is bound by its round trip, not its bandwidth: so
        // many requests in flight at once hide it.
        int connections = 12;
        // Archives up to this size are kept in memory where the fetcher can:
        // for a small file, creating, writing and deleting its archive cost
        // more than the rest of its patch.
        uint64_t inMemoryUpTo = 256 * 1024;
    };
    struct Item {
        std::string url;    // UTF-8
        uint64_t size;      // download size from the list
        uint64_t fileSize;  // size of the unpacked file
    };

    // `fetcher` null: nothing is fetched ahead. `folder`: created here and
    // removed with its content when this goes.
    CArchivePrefetch(std::unique_ptr<UrlPrefetcher> fetcher, std::vector<Item> items, std::wstring folder,
                     Limits limits);
    ~CArchivePrefetch() { Halt(); }
    CArchivePrefetch(const CArchivePrefetch&) = delete;
    CArchivePrefetch& operator=(const CArchivePrefetch&) = delete;

    // Item `current` is being worked on: starts the fetches after it that
    // the bounds allow.
    void Ahead(size_t current);
    struct Taken {
        uint64_t bytes = 0;     // body bytes received
        bool inMemory = false;  // the archive is `body`; no file was made
        std::string body;
    };
    // Waits for item `index`'s early fetch and moves its archive to
    // `archive`, or hands over its bytes when it was kept in memory.
    // `progress` gets the bytes so far about ten times a second and ends the
    // wait by answering false. False: there is no fetched copy.
    bool Take(size_t index, const std::wstring& archive, const std::function<bool(uint64_t)>& progress,
              Taken* taken);
    // Waits at most `wait` for item `index`'s early fetch to end. False
    // while it is under way, and when there is none.
    bool Await(size_t index, std::chrono::milliseconds wait);
    // Stops every fetch and removes the folder with all it holds.
    void Halt();
    // About to write `need` bytes below the install folder: when the disk
    // might not hold them beside what is fetched ahead, everything fetched
    // ahead goes, so that the write meets the room it would have had
    // without it.
    void MakeRoom(uint64_t need);

private:
    enum class Slot { kIdle, kStarted, kGone };
    std::string PathOf(size_t index) const;
    // Whether `need` more bytes fit beside all that is fetched ahead (counted
    // as if none of it were written yet), with a margin for the file
    // system's own use.
    bool Fits(uint64_t need) const;
    void Release(size_t index);

    std::unique_ptr<UrlPrefetcher> m_fetcher;
    std::vector<Item> m_items;
    std::vector<Slot> m_slots;
    std::vector<bool> m_inMemory;
    std::wstring m_folder;
    Limits m_limits;
    size_t m_next = 0;         // first item not yet started
    uint64_t m_ahead = 0;      // download sizes of the items started and not taken
    uint64_t m_onDisk = 0;     // the part of it fetched into files
    size_t m_outstanding = 0;  // items started and not taken
};
