#pragma once
// What every UrlPrefetcher keeps per fetch, and the finished in-memory
// bodies waiting to be taken: the same on every system.
#include <cstdint>
#include <map>
#include <memory>
#include <string>

struct PrefetchRequest {
    uint64_t ticket = 0;
    std::string url;
    std::string path;  // the file's place; empty for a body kept in memory
    // Small archives stay in memory: no file to create, write and delete.
    bool inMemory = false;
    uint64_t limit = 0;
    std::string body;

    // False, keeping nothing, when the body would pass its limit: more than
    // the list announced is never kept, whatever the server says.
    bool KeepBody(const char* data, size_t size) {
        if (body.size() + size > limit) return false;
        body.append(data, size);
        return true;
    }
};

// A fetch into the file at `path`.
template <class Job>
std::unique_ptr<Job> MakeFileFetch(uint64_t ticket, const std::string& url, const std::string& path) {
    auto job = std::make_unique<Job>();
    job->ticket = ticket;
    job->url = url;
    job->path = path;
    return job;
}

// A fetch into memory of at most `limit` bytes.
template <class Job>
std::unique_ptr<Job> MakeMemoryFetch(uint64_t ticket, const std::string& url, uint64_t limit) {
    auto job = std::make_unique<Job>();
    job->ticket = ticket;
    job->url = url;
    job->inMemory = true;
    job->limit = limit;
    job->body.reserve(static_cast<size_t>(limit));
    return job;
}

// Finished in-memory bodies by ticket, each handed over once. Guarded by
// the prefetcher's own lock.
class FinishedBodies {
public:
    void Keep(PrefetchRequest& job) { m_bodies[job.ticket] = std::move(job.body); }
    bool Take(uint64_t ticket, std::string& body) {
        auto it = m_bodies.find(ticket);
        if (it == m_bodies.end()) return false;
        body = std::move(it->second);
        m_bodies.erase(it);
        return true;
    }
    void Forget(uint64_t ticket) { m_bodies.erase(ticket); }

private:
    std::map<uint64_t, std::string> m_bodies;
};
