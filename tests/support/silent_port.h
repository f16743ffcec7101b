#pragma once
// A loopback port that never answers: bound only (connections are refused),
// or listening without ever accepting (the kernel connects, nobody speaks).
#include <cstdint>
#include <string>

class SilentPort {
public:
    explicit SilentPort(bool listening);
    ~SilentPort();
    SilentPort(const SilentPort&) = delete;
    SilentPort& operator=(const SilentPort&) = delete;

    // "http://127.0.0.1:<port>" + `path`.
    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(m_port) + path;
    }

private:
    intptr_t m_socket = -1;
    int m_port = 0;
};
