#pragma once
// A loopback HTTP server for the notice page: "/notice.html" is a page of
// one solid colour whose title counts the requests, sent with a header that
// lets any cache keep it for an hour; "/stall.html" is never answered until
// the server stops.
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

class NoticePageServer {
public:
    static constexpr uint32_t kPageColour = 0x12c85a;

    NoticePageServer();
    ~NoticePageServer();
    std::string Url(const std::string& path) const;
    int PageRequests() const { return m_pageRequests; }

    // "http://127.0.0.1:<port>/notice.html" for a port that nothing listens on.
    static std::string RefusedUrl();

private:
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    int m_port = 0;
    std::atomic<int> m_pageRequests{0};
    std::mutex m_mutex;
    std::condition_variable m_stop;
    bool m_stopping = false;
};
