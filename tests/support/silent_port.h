#pragma once
// A loopback port that never answers: bound only (connections are refused),
// or listening without ever accepting (the kernel connects, nobody speaks).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

class SilentPort {
public:
    explicit SilentPort(bool listening) {
        m_fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (bind(m_fd, reinterpret_cast<sockaddr*>(&addr), len) != 0 || (listening && listen(m_fd, 4) != 0))
            return;
        getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len);
        m_port = ntohs(addr.sin_port);
    }
    ~SilentPort() { close(m_fd); }
    SilentPort(const SilentPort&) = delete;
    SilentPort& operator=(const SilentPort&) = delete;

    // "http://127.0.0.1:<port>" + `path`.
    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(m_port) + path;
    }

private:
    int m_fd = -1;
    int m_port = 0;
};
