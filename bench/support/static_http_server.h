#pragma once
// A small static-file HTTP/1.1 server on 127.0.0.1 for the patching
// benchmarks: keep-alive, pipelining, sendfile(2) bodies, one thread per
// connection. Both the launcher and its peer fetch from the same instance,
// so the server's own cost weighs on both sides alike. It counts the
// connections it accepted, which shows whether a client kept one open.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace bench {

class StaticHttpServer {
public:
    explicit StaticHttpServer(std::string root) : m_root(std::move(root)) {
        m_listen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        if (m_listen < 0 || bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
            listen(m_listen, 64) != 0 ||
            getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            return;
        }
        m_port = ntohs(address.sin_port);
        m_acceptor = std::thread([this] { AcceptLoop(); });
    }

    ~StaticHttpServer() {
        m_stopping = true;
        if (m_listen >= 0) shutdown(m_listen, SHUT_RDWR);
        if (m_acceptor.joinable()) m_acceptor.join();
        {
            std::lock_guard lock(m_mutex);
            for (int fd : m_open) shutdown(fd, SHUT_RDWR);
        }
        for (auto& t : m_workers) t.join();
        if (m_listen >= 0) close(m_listen);
    }
    StaticHttpServer(const StaticHttpServer&) = delete;
    StaticHttpServer& operator=(const StaticHttpServer&) = delete;

    int port() const { return m_port; }  // 0 when it could not start
    // Every answer waits this long first: a server far away, one round
    // trip per request on each connection.
    void SetRequestDelay(std::chrono::milliseconds delay) { m_delayMs = static_cast<int>(delay.count()); }
    int Connections() const { return m_connections; }
    long Requests() const { return m_requests; }
    long Failures() const { return m_failures; }  // answers other than 200
    void ResetCounters() {
        m_connections = 0;
        m_requests = 0;
        m_failures = 0;
    }

private:
    void AcceptLoop() {
        while (!m_stopping) {
            int fd = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) {
                if (errno == EINTR || errno == ECONNABORTED) continue;
                return;
            }
            int one = 1;
            setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
            ++m_connections;
            std::lock_guard lock(m_mutex);
            m_open.insert(fd);
            m_workers.emplace_back([this, fd] { Serve(fd); });
        }
    }

    static int HexValue(char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }

    // The request target as a path below the root ("\" taken as "/"), or
    // empty when it is not one.
    std::string LocalPath(const std::string& target) const {
        std::string path;
        const std::string raw = target.substr(0, target.find('?'));
        for (size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] == '%' && i + 2 < raw.size() && HexValue(raw[i + 1]) >= 0 &&
                HexValue(raw[i + 2]) >= 0) {
                path += static_cast<char>(HexValue(raw[i + 1]) * 16 + HexValue(raw[i + 2]));
                i += 2;
            } else {
                path += raw[i];
            }
        }
        for (char& c : path) c = c == '\\' ? '/' : c;
        if (path.empty() || path[0] != '/' || path.find("/../") != std::string::npos ||
            path.ends_with("/..") || path.find('\0') != std::string::npos) {
            return {};
        }
        return m_root + path;
    }

    static bool SendAll(int fd, const std::string& bytes, int flags) {
        for (size_t done = 0; done < bytes.size();) {
            ssize_t n = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL | flags);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            done += static_cast<size_t>(n);
        }
        return true;
    }

    // Answers one request; false when the connection is to be closed.
    bool Answer(int fd, const std::string& head) {
        ++m_requests;
        if (m_delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(m_delayMs.load()));
        const size_t firstSpace = head.find(' ');
        const size_t secondSpace = head.find(' ', firstSpace + 1);
        if (firstSpace == std::string::npos || secondSpace == std::string::npos) return false;
        const std::string method = head.substr(0, firstSpace);
        const std::string target = head.substr(firstSpace + 1, secondSpace - firstSpace - 1);
        std::string lower = head;
        for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        const bool keepAlive = lower.find("\r\nconnection: close") == std::string::npos &&
                               lower.compare(secondSpace + 1, 8, "http/1.0") != 0;
        const std::string connection = keepAlive ? "keep-alive" : "close";

        const std::string path = LocalPath(target);
        int file = path.empty() ? -1 : open(path.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat st {};
        if (file >= 0 && (fstat(file, &st) != 0 || !S_ISREG(st.st_mode))) {
            close(file);
            file = -1;
        }
        if (file < 0 || (method != "GET" && method != "HEAD")) {
            ++m_failures;
            if (file >= 0) close(file);
            return SendAll(fd,
                           "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: " + connection +
                               "\r\n\r\n",
                           0) &&
                   keepAlive;
        }
        const std::string header =
            "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
            std::to_string(st.st_size) + "\r\nConnection: " + connection + "\r\n\r\n";
        const bool body = method == "GET" && st.st_size > 0;
        bool ok = SendAll(fd, header, body ? MSG_MORE : 0);
        off_t offset = 0;
        while (ok && body && offset < st.st_size) {
            ssize_t n = sendfile(fd, file, &offset, static_cast<size_t>(st.st_size - offset));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) ok = false;
        }
        close(file);
        return ok && keepAlive;
    }

    void Serve(int fd) {
        std::string pending;
        std::vector<char> buffer(64 * 1024);
        while (!m_stopping) {
            const size_t end = pending.find("\r\n\r\n");
            if (end != std::string::npos) {
                const std::string head = pending.substr(0, end + 2);
                pending.erase(0, end + 4);  // GET requests carry no body
                if (!Answer(fd, head)) break;
                continue;
            }
            if (pending.size() > 64 * 1024) break;
            ssize_t n = recv(fd, buffer.data(), buffer.size(), 0);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            pending.append(buffer.data(), static_cast<size_t>(n));
        }
        std::lock_guard lock(m_mutex);
        m_open.erase(fd);
        close(fd);
    }

    std::string m_root;
    int m_listen = -1;
    int m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::atomic<int> m_connections{0};
    std::atomic<int> m_delayMs{0};
    std::atomic<long> m_requests{0};
    std::atomic<long> m_failures{0};
    std::thread m_acceptor;
    std::mutex m_mutex;  // guards m_open and m_workers
    std::set<int> m_open;
    std::vector<std::thread> m_workers;
};

}  // namespace bench
