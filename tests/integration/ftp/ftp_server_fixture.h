#pragma once
// A real FTP server (pyftpdlib) on 127.0.0.1 at a free port, serving a fresh
// folder, for one test; it records every command it receives.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/child_process.h"
#include "support/temp_dir.h"

class TestFtpServer {
public:
    explicit TestFtpServer(std::vector<std::string> flags = {}) {
        std::vector<std::string> argv = {
            "/usr/bin/python3", std::string(QUON_SOURCE_DIR) + "/tests/integration/ftp/ftp_test_server.py",
            m_root.path()};
        argv.insert(argv.end(), flags.begin(), flags.end());
        m_process = std::make_unique<ChildProcess>(argv, m_root.path());
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (std::chrono::steady_clock::now() < deadline) {
            const std::string out = m_process->Output();
            const size_t at = out.find("PORT ");
            if (at != std::string::npos && out.find('\n', at) != std::string::npos) {
                m_port = std::stoi(out.substr(at + 5));
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ADD_FAILURE() << "FTP server did not start: " << m_process->Output();
    }

    int port() const { return m_port; }
    const TempDir& root() const { return m_root; }

    // The commands received so far, "CMD" stripped: "STOR /tmp/.../a.bin".
    std::vector<std::string> Commands() const {
        std::vector<std::string> commands;
        std::istringstream in(m_process->Output());
        for (std::string line; std::getline(in, line);) {
            if (line.rfind("CMD ", 0) == 0) commands.push_back(line.substr(4));
        }
        return commands;
    }
    std::string LastCommand(const std::string& prefix) const {
        std::string last;
        for (const auto& c : Commands()) {
            if (c.rfind(prefix, 0) == 0) last = c;
        }
        return last;
    }
    size_t CountCommands(const std::string& prefix) const {
        size_t n = 0;
        for (const auto& c : Commands()) n += c.rfind(prefix, 0) == 0;
        return n;
    }

private:
    TempDir m_root;
    std::unique_ptr<ChildProcess> m_process;
    int m_port = 0;
};

inline std::string PatternBytes(size_t size, unsigned seed = 7) {
    std::string bytes(size, '\0');
    unsigned x = seed;
    for (auto& c : bytes) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 16);
    }
    return bytes;
}
