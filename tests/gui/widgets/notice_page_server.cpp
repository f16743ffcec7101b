#include "notice_page_server.h"

// The Debian library is built with these; every user must see the same set.
#ifndef CPPHTTPLIB_OPENSSL_SUPPORT
#define CPPHTTPLIB_OPENSSL_SUPPORT
#endif
#ifndef CPPHTTPLIB_ZLIB_SUPPORT
#define CPPHTTPLIB_ZLIB_SUPPORT
#endif
#ifndef CPPHTTPLIB_BROTLI_SUPPORT
#define CPPHTTPLIB_BROTLI_SUPPORT
#endif
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

NoticePageServer::NoticePageServer() : m_server(std::make_unique<httplib::Server>()) {
    std::signal(SIGPIPE, SIG_IGN);
    m_server->set_keep_alive_timeout(1);
    m_server->Get("/notice.html", [this](const httplib::Request&, httplib::Response& response) {
        const int count = ++m_pageRequests;
        char colour[8];
        std::snprintf(colour, sizeof(colour), "#%06x", kPageColour);
        response.set_header("Cache-Control", "public, max-age=3600");
        response.set_content("<!DOCTYPE html><html><head><title>Notice " + std::to_string(count) +
                                 "</title></head><body style=\"margin:0;background:" + colour +
                                 "\"></body></html>",
                             "text/html");
    });
    m_server->Get("/stall.html", [this](const httplib::Request&, httplib::Response& response) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_stop.wait_for(lock, std::chrono::seconds(30), [this] { return m_stopping; });
        response.status = 503;
    });
    m_port = m_server->bind_to_any_port("127.0.0.1");
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    while (!m_server->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

NoticePageServer::~NoticePageServer() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_stop.notify_all();
    m_server->stop();
    m_thread.join();
}

std::string NoticePageServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

std::string NoticePageServer::RefusedUrl() {
    // A port bound and released: nothing listens there any more.
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/notice.html";
}
