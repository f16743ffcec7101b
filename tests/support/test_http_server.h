#pragma once
// A real HTTP server on 127.0.0.1 for the tests: serves the files below a
// folder and injects faults (error statuses, dropped connections, slow or
// stalled bodies, redirects) that a test may change while it runs. It counts
// the requests and the body bytes sent per path and keeps the headers of the
// last request per path. Range requests are ignored (a full 200 answer)
// unless SetRanges says otherwise.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

class TestHttpServer {
public:
    // How a path answers a Range request ("bytes=N-" or "bytes=N-M").
    enum class Ranges {
        kNone,           // whole body, 200, no Accept-Ranges
        kAdvertised,     // "Accept-Ranges: bytes", but still the whole body with 200
        kHonoured,       // 206 with the range, unless an If-Range names another version
        kIgnoreIfRange,  // 206 with the range even when If-Range names another version
    };

    // Starts on a free port and serves `root`; paths are those of the request
    // ("/sub/file.zip"), decoded (the client has resolved any "..").
    explicit TestHttpServer(std::filesystem::path root);
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    int port() const { return m_port; }
    // "http://127.0.0.1:<port>/"
    std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/"; }
    const std::filesystem::path& root() const { return m_root; }

    // Every request for `path` gets `status` with a short text body.
    void SetStatus(const std::string& path, int status) { Locked([&] { m_faults[path].status = status; }); }
    // The full Content-Length is announced, `bytes` of the body are sent, then
    // the connection is closed.
    void DropAfter(const std::string& path, size_t bytes) { Locked([&] { m_faults[path].dropAfter = bytes; }); }
    // The body goes out `chunkBytes` at a time with `delay` after each chunk.
    void SetSlowBody(const std::string& path, size_t chunkBytes, std::chrono::milliseconds delay) {
        Locked([&] { m_faults[path].chunkBytes = std::max<size_t>(chunkBytes, 1), m_faults[path].delay = delay; });
    }
    // `bytes` of the body are sent, then nothing until the server stops or
    // `maxStall` has passed, when the connection is dropped.
    void StallAfter(const std::string& path, size_t bytes, std::chrono::milliseconds maxStall = std::chrono::seconds(10)) {
        Locked([&] { m_faults[path].stallAfter = bytes, m_faults[path].maxStall = maxStall; });
    }
    // Answers `path` with `status` and a Location header.
    void SetRedirect(const std::string& path, const std::string& location, int status = 302) {
        Locked([&] { m_faults[path].status = status, m_faults[path].location = location; });
    }
    // Range support of `path`.
    void SetRanges(const std::string& path, Ranges ranges) { Locked([&] { m_offers[path].ranges = ranges; }); }
    // ETag and Last-Modified sent with every answer for `path` (empty: none);
    // a call between requests makes the next one a new version.
    void SetValidators(const std::string& path, const std::string& etag, const std::string& lastModified) {
        Locked([&] { m_offers[path].etag = etag, m_offers[path].lastModified = lastModified; });
    }
    // A header sent with every answer for `path`; ClearFaults keeps it.
    void SetHeader(const std::string& path, const std::string& name, const std::string& value) {
        Locked([&] { m_offers[path].headers[name] = value; });
    }
    // Removes every fault; the counters stay.
    void ClearFaults() { Locked([&] { m_faults.clear(); }); }

    int RequestCount(const std::string& path) const { return Find(m_counts, path); }
    int TotalRequests() const { return Locked([&] { return m_total; }); }
    // Body bytes handed to the connection for `path` over all requests (a cut
    // body as far as it went, its last piece counted even if its write failed).
    size_t BytesSent(const std::string& path) const { return Find(m_bytesSent, path); }
    // Header of the last request for `path` (name compared without case);
    // empty when there was none.
    std::string LastRequestHeader(const std::string& path, const std::string& name) const;

private:
    static constexpr size_t kWhole = size_t(-1);
    struct Fault {
        int status = 0;
        std::string location;
        size_t dropAfter = kWhole;
        size_t chunkBytes = 0;
        std::chrono::milliseconds delay{0};
        size_t stallAfter = kWhole;
        std::chrono::milliseconds maxStall{0};
    };
    // What a path offers beside its bytes (ranges, validators, headers); not a
    // fault, ClearFaults keeps it.
    struct Offer {
        Ranges ranges = Ranges::kNone;
        std::string etag;
        std::string lastModified;
        std::map<std::string, std::string> headers;
    };

    void Handle(const httplib::Request& request, httplib::Response& response);
    // Cuts `body` to the requested range and sets the range headers; false
    // when the whole body is to be sent.
    static bool ApplyRange(const httplib::Request& request, const Offer& offer, std::string& body,
                           httplib::Response& response);
    void ServeBody(const std::string& path, std::shared_ptr<std::string> body, const Fault& fault,
                   httplib::Response& response);
    // Sleeps up to `duration`; false when the server is stopping.
    bool Pause(std::chrono::milliseconds duration);
    template <class Change>
    auto Locked(Change change) const -> decltype(change()) {
        std::lock_guard<std::mutex> lock(m_mutex);
        return change();
    }
    template <class Value>
    Value Find(const std::map<std::string, Value>& map, const std::string& key) const {
        return Locked([&] { return map.contains(key) ? map.at(key) : Value(); });
    }

    std::filesystem::path m_root;
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    int m_port = 0;

    mutable std::mutex m_mutex;
    std::condition_variable m_stopSignal;
    bool m_stopping = false;
    std::map<std::string, Fault> m_faults;
    std::map<std::string, Offer> m_offers;
    std::map<std::string, int> m_counts;
    std::map<std::string, size_t> m_bytesSent;
    int m_total = 0;
    std::map<std::string, std::map<std::string, std::string>> m_lastHeaders;  // lower-case names
};
