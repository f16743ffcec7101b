
#include "support/temp_dir.h"

// The build passes the CPPHTTPLIB_* switches the library was made with:
// the header's class layouts depend on them.
#include <httplib.h>

#include "support/test_common.h"

namespace {

// Pages are shown by a browser; everything else is a download.
const char* ContentType(const std::string& path) {
    return path.ends_with(".html") ? "text/html" : "application/octet-stream";
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

TestHttpServer::TestHttpServer(std::filesystem::path root)
    : m_root(std::move(root)), m_server(std::make_unique<httplib::Server>()) {
    // A client that hangs up mid-body must not kill the test process.
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_IGN);
#endif
    // Short idle keep-alive so that stopping never waits long on an idle
    // connection; many requests per connection for benchmarks.
    m_server->set_keep_alive_timeout(1);
    m_server->set_keep_alive_max_count(100000);
    // A kept-alive connection holds a worker while idle: enough workers for
    // a client that fetches over a dozen connections at once.
    m_server->new_task_queue = [] { return new httplib::ThreadPool(32); };
    // Headers and body go out in separate writes; without this, Nagle and the
    // client's delayed ACK add 40 ms to every request on a kept-alive
    // connection.
    m_server->set_tcp_nodelay(true);
    m_server->Get(".*", [this](const httplib::Request& rq, httplib::Response& rs) { Handle(rq, rs); });
    m_port = m_server->bind_to_any_port("127.0.0.1");
    if (m_port <= 0) throw std::runtime_error("test HTTP server: cannot bind 127.0.0.1");
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    // stop() is ignored until the accept loop runs.
    while (!m_server->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TestHttpServer::~TestHttpServer() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_stopSignal.notify_all();
    m_server->stop();
    if (m_thread.joinable()) m_thread.join();
}

std::string TestHttpServer::LastRequestHeader(const std::string& path, const std::string& name) const {
    const auto headers = Find(m_lastHeaders, path);
    return headers.contains(Lower(name)) ? headers.at(Lower(name)) : "";
}

bool TestHttpServer::Pause(std::chrono::milliseconds duration) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return !m_stopSignal.wait_for(lock, duration, [this] { return m_stopping; });
}

void TestHttpServer::Handle(const httplib::Request& request, httplib::Response& response) {
    // The library would cut every body to the requested range by itself,
    // whatever the answer's status; here the server decides, so the parsed
    // ranges are taken away once it has (the request object is the
    // library's own, not const).
    struct ForgetRanges {
        const httplib::Request& request;
        ~ForgetRanges() { const_cast<httplib::Request&>(request).ranges.clear(); }
    } forgetRanges{request};
    Locked([&] {
        ++m_total;
        ++m_counts[request.path];
        auto& headers = m_lastHeaders[request.path];
        headers.clear();
        for (const auto& [name, value] : request.headers) headers.emplace(Lower(name), value);
    });
    const Fault fault = Find(m_faults, request.path);
    const Offer offer = Find(m_offers, request.path);
    if (fault.status != 0) {
        response.status = fault.status;
        if (!fault.location.empty()) response.set_header("Location", fault.location);
        response.set_content("status " + std::to_string(response.status) + "\n", "text/plain");
        return;
    }
    // The request's path is UTF-8, as the served tree's names are.
    const std::filesystem::path file = Utf8Path(m_root.generic_string() + request.path);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) {
        response.status = 404;
        response.set_content("not found\n", "text/plain");
        return;
    }
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    auto body = std::make_shared<std::string>(bytes.str());
    for (const auto& [name, value] : offer.headers) response.set_header(name, value);
    response.status = ApplyRange(request, offer, *body, response) ? 206 : 200;
    if (fault.dropAfter == kWhole && fault.stallAfter == kWhole && fault.chunkBytes == 0) {
        Locked([&] { m_bytesSent[request.path] += body->size(); });
        response.set_content(*body, ContentType(request.path));
        return;
    }
    ServeBody(request.path, std::move(body), fault, response);
}

bool TestHttpServer::ApplyRange(const httplib::Request& request, const Offer& setup, std::string& body,
                                httplib::Response& response) {
    if (!setup.etag.empty()) response.set_header("ETag", setup.etag);
    if (!setup.lastModified.empty()) response.set_header("Last-Modified", setup.lastModified);
    if (setup.ranges == Ranges::kNone) return false;
    response.set_header("Accept-Ranges", "bytes");
    if (setup.ranges == Ranges::kAdvertised || request.ranges.size() != 1) return false;
    if (setup.ranges == Ranges::kHonoured && request.has_header("If-Range")) {
        const std::string validator = request.get_header_value("If-Range");
        if (validator != setup.etag && validator != setup.lastModified) return false;
    }
    const auto [first, last] = request.ranges.front();
    if (first < 0 || static_cast<size_t>(first) >= body.size()) return false;
    size_t end = last < 0 ? body.size() : std::min(body.size(), static_cast<size_t>(last) + 1);
    response.set_header("Content-Range", "bytes " + std::to_string(first) + "-" + std::to_string(end - 1) +
                                             "/" + std::to_string(body.size()));
    body = body.substr(static_cast<size_t>(first), end - static_cast<size_t>(first));
    return true;
}

void TestHttpServer::ServeBody(const std::string& path, std::shared_ptr<std::string> body, const Fault& fault,
                               httplib::Response& response) {
    response.set_content_provider(
        body->size(), ContentType(path),
        [this, path, body, fault](size_t offset, size_t length, httplib::DataSink& sink) {
            const size_t limit = std::min({body->size(), fault.dropAfter, fault.stallAfter});
            if (offset >= limit) {
                if (fault.stallAfter != kWhole) Pause(fault.maxStall);
                return false;  // closes the connection short of Content-Length
            }
            size_t n = std::min(length, limit - offset);
            if (fault.chunkBytes != 0) n = std::min(n, fault.chunkBytes);
            // Counted before the write: the client may have the bytes before
            // this thread runs on.
            Locked([&] { m_bytesSent[path] += n; });
            if (!sink.write(body->data() + offset, n)) return false;
            if (fault.chunkBytes != 0 && !Pause(fault.delay)) return false;
            return true;
        });
}
