// UrlPrefetcher over WinHTTP: a small pool of threads, one per connection,
// each taking the next queued fetch. They share one session, whose
// connection pool keeps the connections alive from one fetch to the next,
// so small files cost no new handshake.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "base/file_system.h"
#include "os/part_file.h"
#include "os/prefetch_job.h"
#include "os/rate_cap.h"
#include "os/thread_start.h"
#include "os/url_prefetch.h"
#include "os/win/winhttp_request.h"

namespace {

struct Job : PrefetchRequest {
    std::atomic<bool> cancelled{false};
};

class WinHttpUrlPrefetcher final : public UrlPrefetcher {
public:
    explicit WinHttpUrlPrefetcher(int connections) {
        connections = std::max(connections, 1);
        DWORD most = static_cast<DWORD>(connections);
        WinHttpSetOption(m_session.handle(), WINHTTP_OPTION_MAX_CONNS_PER_SERVER, &most, sizeof most);
        for (int i = 0; i < connections; ++i) m_threads.push_back(StartThread([this] { Run(); }));
    }

    ~WinHttpUrlPrefetcher() override {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
            for (Job* job : m_active) job->cancelled = true;
        }
        m_work.notify_all();
        for (auto& thread : m_threads) thread.join();
    }

    void Start(uint64_t ticket, const std::string& url, const std::string& path) override {
        Queue(MakeFileFetch<Job>(ticket, url, path));
    }

    bool KeepsBodies() const override { return true; }

    void StartInMemory(uint64_t ticket, const std::string& url, uint64_t limit) override {
        Queue(MakeMemoryFetch<Job>(ticket, url, limit));
    }

    bool TakeBody(uint64_t ticket, std::string& body) override {
        std::lock_guard lock(m_mutex);
        return m_bodies.Take(ticket, body);
    }

    void Queue(std::unique_ptr<Job> job) {
        const uint64_t ticket = job->ticket;
        {
            std::lock_guard lock(m_mutex);
            m_queued.push_back(std::move(job));
            m_status[ticket] = Status{};
        }
        m_work.notify_one();
    }

    Status Wait(uint64_t ticket, std::chrono::milliseconds wait) override {
        std::unique_lock lock(m_mutex);
        Status result{Outcome::kFailed, 0};
        m_changed.wait_for(lock, wait, [&] {
            auto it = m_status.find(ticket);
            result = it == m_status.end() ? Status{Outcome::kFailed, 0} : it->second;
            return result.outcome != Outcome::kRunning;
        });
        return result;
    }

    void Cancel(uint64_t ticket) override {
        std::lock_guard lock(m_mutex);
        std::erase_if(m_queued, [ticket](const auto& job) { return job->ticket == ticket; });
        for (Job* job : m_active)
            if (job->ticket == ticket) job->cancelled = true;
        m_status.erase(ticket);
        m_bodies.Forget(ticket);
    }

private:
    void Run() {
        for (;;) {
            std::unique_ptr<Job> job;
            {
                std::unique_lock lock(m_mutex);
                m_work.wait(lock, [this] { return m_stopping || !m_queued.empty(); });
                if (m_stopping) return;
                job = std::move(m_queued.front());
                m_queued.pop_front();
                m_active.push_back(job.get());
            }
            const Outcome outcome = Fetch(*job);
            {
                std::lock_guard lock(m_mutex);
                std::erase(m_active, job.get());
                auto it = m_status.find(job->ticket);
                if (!job->cancelled && it != m_status.end()) {
                    it->second.outcome = outcome;
                    if (job->inMemory && outcome == Outcome::kDone) m_bodies.Keep(*job);
                }
            }
            m_changed.notify_all();
        }
    }

    void Publish(const Job& job, uint64_t received) {
        std::lock_guard lock(m_mutex);
        auto it = m_status.find(job.ticket);
        if (!job.cancelled && it != m_status.end()) it->second.received = received;
    }

    // One fetch on the calling pool thread. Under a temporary name until the
    // body is complete, so that a fetch cut off (or a killed launcher) never
    // leaves a part under the archive's name, and the start-up clean-up knows
    // the leftover.
    Outcome Fetch(Job& job) {
        fsys::TempFile file;
        if (!job.inMemory && !file.Create(job.path)) return IsDiskFull(errno) ? Outcome::kDiskFull : Outcome::kFailed;
        winhttp::Url url;
        if (winhttp::ParseUrl(job.url, url) != S_OK) return Outcome::kFailed;
        const winhttp::Request::KeepGoing going = [&job] { return !job.cancelled; };
        std::unique_ptr<winhttp::Request> request;
        if (winhttp::SendFollowingRedirects(
                m_session, url, winhttp::kNoCacheHeaders, m_limits, going,
                [](const std::string&) { return true; }, request) != S_OK ||
            request->Status() < 200 || request->Status() >= 300)
            return Outcome::kFailed;
        // A capped transfer held back still lets the prefetcher go at once.
        ThrottleWatch watch(going);
        uint64_t received = 0;
        for (;;) {
            const char* data = nullptr;
            size_t size = 0;
            if (request->Read(data, size, going) != S_OK) return Outcome::kFailed;
            if (size == 0) break;
            if (job.inMemory) {
                if (!job.KeepBody(data, size)) return Outcome::kFailed;
            } else if (!file.Write(data, size)) {
                return IsDiskFull(errno) ? Outcome::kDiskFull : Outcome::kFailed;
            }
            received += size;
            Publish(job, received);
            // The process-wide bandwidth cap covers these connections too.
            ThrottleReceivedBytes(size);
            if (job.cancelled) return Outcome::kFailed;
        }
        const int64_t declared = request->ContentLength();
        if (declared >= 0 && static_cast<uint64_t>(declared) != received) return Outcome::kFailed;
        // Scratch in Temp: a crash costs a new fetch, not worth a sync. A
        // delayed write error shows only here.
        if (!job.inMemory && !file.Commit(fsys::Durability::kNone))
            return IsDiskFull(errno) ? Outcome::kDiskFull : Outcome::kFailed;
        return Outcome::kDone;
    }

    static bool IsDiskFull(int error) { return IsDiskFullError(error) || error == EFBIG; }

    winhttp::Session m_session;
    winhttp::Limits m_limits;
    std::vector<std::thread> m_threads;

    std::mutex m_mutex;
    std::condition_variable m_work;
    std::condition_variable m_changed;
    bool m_stopping = false;
    std::deque<std::unique_ptr<Job>> m_queued;
    std::vector<Job*> m_active;
    std::map<uint64_t, Status> m_status;
    FinishedBodies m_bodies;
};

}  // namespace

std::unique_ptr<UrlPrefetcher> UrlPrefetcher::Create(int connections) {
    return std::make_unique<WinHttpUrlPrefetcher>(connections);
}
