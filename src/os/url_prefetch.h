#pragma once
// Fetching several URLs at once into files, over a small pool of kept-alive
// connections (with libcurl multiplexed over HTTP/2 where the server offers
// it; with WinHTTP one thread per connection), on threads of its own. Each fetch is named by a ticket of the caller's choice;
// the caller asks how it ended. Nothing here retries or reports: a fetch that
// failed is for the caller to make again its own way.
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

class UrlPrefetcher {
public:
    enum class Outcome {
        kRunning,   // queued or under way
        kDone,      // 2xx answer, body complete, file in place
        kFailed,    // any other end; nothing written is left
        kDiskFull,  // the file could not be written for lack of space; nothing left
    };
    struct Status {
        Outcome outcome = Outcome::kRunning;
        uint64_t received = 0;  // body bytes so far
    };

    // Aborts every running fetch (their partial files removed) and joins the thread,
    // within about 100 ms. Files of finished fetches stay.
    virtual ~UrlPrefetcher() = default;

    // Queues `url` to be fetched into `path` (a native path, created or
    // replaced once the body is complete; until then it is written under a
    // temporary name beside it). Sends the same no-cache headers, redirects and time limits
    // as the one-file downloader.
    virtual void Start(uint64_t ticket, const std::string& url, const std::string& path) = 0;
    // Whether this fetcher can keep bodies in memory (StartInMemory, TakeBody).
    virtual bool KeepsBodies() const { return false; }
    // Queues `url` to be fetched into memory; a body longer than `limit`
    // bytes fails the fetch. Only where KeepsBodies().
    virtual void StartInMemory(uint64_t ticket, const std::string& url, uint64_t limit) {
        (void)ticket, (void)url, (void)limit;
    }
    // The body of a finished in-memory fetch, handed over once; false when
    // there is none.
    virtual bool TakeBody(uint64_t ticket, std::string& body) {
        (void)ticket, (void)body;
        return false;
    }
    // Waits at most `wait` for the ticket's fetch to end; an unknown ticket
    // counts as failed.
    virtual Status Wait(uint64_t ticket, std::chrono::milliseconds wait) = 0;
    // Aborts the ticket's fetch if it runs (its partial file removed) and forgets it.
    virtual void Cancel(uint64_t ticket) = 0;

    // `connections`: the most connections open to the server at once.
    static std::unique_ptr<UrlPrefetcher> Create(int connections);
};
