// UrlPrefetcher on one libcurl multi handle: its connection pool keeps the
// connections alive from one fetch to the next, so small files cost no new
// handshake, and several requests are in flight at once.
#include <curl/curl.h>

#include <cerrno>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "base/file_system.h"
#include "os/part_file.h"
#include "os/prefetch_job.h"
#include "os/posix/curl_result_map.h"
#include "os/rate_cap.h"
#include "os/thread_start.h"
#include "os/url_prefetch.h"

namespace {

constexpr long kConnectSeconds = 15;
constexpr long kStallSeconds = 30;
constexpr int kPollMs = 100;

bool IsDiskFull(int error) {
    return IsDiskFullError(error) || error == EFBIG;
}

struct Job : PrefetchRequest {
    CURL* easy = nullptr;
    // Under a temporary name until the body is complete, so that a fetch
    // cut off (or a killed launcher) never leaves a part under the
    // archive's name, and the start-up clean-up knows the leftover.
    fsys::TempFile file;
    bool diskFull = false;
    bool writeFailed = false;
    UrlPrefetcher::Status status;
};

size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto* job = static_cast<Job*>(user);
    const size_t length = size * count;
    if (job->inMemory) {
        if (!job->KeepBody(data, length)) {
            job->writeFailed = true;
            return 0;
        }
    } else if (!job->file.Write(data, length)) {
        job->writeFailed = true;
        job->diskFull = IsDiskFull(errno);
        return 0;  // aborts the transfer
    }
    job->status.received += length;
    // The process-wide bandwidth cap covers these connections too.
    ThrottleReceivedBytes(length);
    return length;
}

class CurlUrlPrefetcher final : public UrlPrefetcher {
public:
    explicit CurlUrlPrefetcher(int connections) {
        static std::once_flag once;
        std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
        m_multi = curl_multi_init();
        curl_multi_setopt(m_multi, CURLMOPT_MAX_HOST_CONNECTIONS, static_cast<long>(connections));
        curl_multi_setopt(m_multi, CURLMOPT_MAX_TOTAL_CONNECTIONS, static_cast<long>(connections));
        // Kept open between fetches even while few are under way; curl's
        // own default follows the number of transfers and closes them.
        curl_multi_setopt(m_multi, CURLMOPT_MAXCONNECTS, static_cast<long>(connections));
        curl_multi_setopt(m_multi, CURLMOPT_PIPELINING, CURLPIPE_MULTIPLEX);
        m_headers = curl_slist_append(m_headers, "Cache-Control: no-cache");
        m_headers = curl_slist_append(m_headers, "Pragma: no-cache");
        m_thread = StartThread([this] { Run(); });
    }

    ~CurlUrlPrefetcher() override {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        curl_multi_wakeup(m_multi);
        m_thread.join();
        for (auto& [ticket, job] : m_jobs) Finish(*job, Outcome::kFailed);
        curl_multi_cleanup(m_multi);
        curl_slist_free_all(m_headers);
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
        bool first = false;
        {
            std::lock_guard lock(m_mutex);
            first = m_queued.empty();
            m_queued.push_back(std::move(job));
        }
        // A queue that was not empty has a wake-up on its way already.
        if (first) curl_multi_wakeup(m_multi);
    }

    Status Wait(uint64_t ticket, std::chrono::milliseconds wait) override {
        std::unique_lock lock(m_mutex);
        Status result{Outcome::kFailed, 0};
        m_changed.wait_for(lock, wait, [&] {
            result = Find(ticket);
            return result.outcome != Outcome::kRunning;
        });
        return result;
    }

    void Cancel(uint64_t ticket) override {
        {
            std::lock_guard lock(m_mutex);
            m_cancelled.push_back(ticket);
        }
        curl_multi_wakeup(m_multi);
    }

private:
    // Under m_mutex.
    Status Find(uint64_t ticket) const {
        for (const auto& job : m_queued)
            if (job->ticket == ticket) return job->status;
        auto it = m_status.find(ticket);
        return it == m_status.end() ? Status{Outcome::kFailed, 0} : it->second;
    }

    void Run() {
        // A capped transfer held back in its write callback still lets the
        // prefetcher go at once.
        ThrottleWatch watch([this] {
            std::lock_guard lock(m_mutex);
            return !m_stopping;
        });
        for (;;) {
            if (!TakeRequests()) return;
            int running = 0;
            curl_multi_perform(m_multi, &running);
            int left = 0;
            while (CURLMsg* msg = curl_multi_info_read(m_multi, &left)) {
                if (msg->msg != CURLMSG_DONE) continue;
                Job* job = nullptr;
                curl_easy_getinfo(msg->easy_handle, CURLINFO_PRIVATE, &job);
                const bool ok = msg->data.result == CURLE_OK && !job->writeFailed;
                // Scratch in Temp: a crash costs a new fetch, not worth a sync.
                // A delayed write error shows only here.
                if (ok && !job->inMemory && !job->file.Commit(fsys::Durability::kNone)) {
                    job->diskFull = IsDiskFull(errno);
                    job->writeFailed = true;
                }
                const bool done = ok && !job->writeFailed;
                Finish(*job, done ? Outcome::kDone : job->diskFull ? Outcome::kDiskFull : Outcome::kFailed);
                Publish(*job);
                m_jobs.erase(job->ticket);
            }
            PublishProgress();
            curl_multi_poll(m_multi, nullptr, 0, kPollMs, nullptr);
        }
    }

    // Moves queued jobs into the multi handle and drops cancelled ones.
    // False once the prefetcher is going.
    bool TakeRequests() {
        std::vector<std::unique_ptr<Job>> queued;
        std::vector<uint64_t> cancelled;
        {
            std::lock_guard lock(m_mutex);
            if (m_stopping) return false;
            queued.swap(m_queued);
            cancelled.swap(m_cancelled);
            for (auto& job : queued) m_status[job->ticket] = job->status;
        }
        for (auto& job : queued) {
            Job& j = *job;
            m_jobs[j.ticket] = std::move(job);
            if (!j.inMemory && !j.file.Create(j.path)) {
                j.diskFull = IsDiskFull(errno);
                Finish(j, j.diskFull ? Outcome::kDiskFull : Outcome::kFailed);
                Publish(j);
                m_jobs.erase(j.ticket);
                continue;
            }
            Configure(j);
            curl_multi_add_handle(m_multi, j.easy);
        }
        for (uint64_t ticket : cancelled) {
            auto it = m_jobs.find(ticket);
            if (it != m_jobs.end()) {
                Finish(*it->second, Outcome::kFailed);
                m_jobs.erase(it);
            }
            std::lock_guard lock(m_mutex);
            m_status.erase(ticket);
            m_bodies.Forget(ticket);
        }
        return true;
    }

    void Configure(Job& job) {
        CURL* e = curl_easy_init();
        job.easy = e;
        curl_easy_setopt(e, CURLOPT_PRIVATE, &job);
        SetCommonGetOptions(e, job.url, kConnectSeconds);
        curl_easy_setopt(e, CURLOPT_HTTPHEADER, m_headers);
        curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
        curl_easy_setopt(e, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_2TLS));
        // Waits for a connection that can multiplex rather than opening one
        // more, when the server speaks HTTP/2.
        curl_easy_setopt(e, CURLOPT_PIPEWAIT, 1L);
        curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &OnBody);
        curl_easy_setopt(e, CURLOPT_WRITEDATA, &job);
    }

    // Ends a job on the fetcher's thread: its handle goes, and its
    // temporary unless the fetch was committed.
    void Finish(Job& job, Outcome outcome) {
        if (job.easy) {
            curl_multi_remove_handle(m_multi, job.easy);
            curl_easy_cleanup(job.easy);
            job.easy = nullptr;
        }
        job.file.Discard();
        job.status.outcome = outcome;
    }

    void PublishProgress() {
        std::lock_guard lock(m_mutex);
        for (const auto& [ticket, job] : m_jobs) {
            auto it = m_status.find(ticket);
            if (it != m_status.end()) it->second.received = job->status.received;
        }
    }

    void Publish(Job& job) {
        {
            std::lock_guard lock(m_mutex);
            auto it = m_status.find(job.ticket);
            if (it != m_status.end()) {
                it->second = job.status;
                if (job.inMemory && job.status.outcome == Outcome::kDone) m_bodies.Keep(job);
            }
        }
        m_changed.notify_all();
    }

    CURLM* m_multi = nullptr;
    curl_slist* m_headers = nullptr;
    std::thread m_thread;
    std::map<uint64_t, std::unique_ptr<Job>> m_jobs;  // fetcher's thread only

    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_stopping = false;
    std::vector<std::unique_ptr<Job>> m_queued;
    std::vector<uint64_t> m_cancelled;
    std::map<uint64_t, Status> m_status;
    FinishedBodies m_bodies;
};

}  // namespace

std::unique_ptr<UrlPrefetcher> UrlPrefetcher::Create(int connections) {
    return std::make_unique<CurlUrlPrefetcher>(connections);
}
