#pragma once
// A real FTP server (pyftpdlib) on 127.0.0.1 at a free port, serving a fresh
// folder, for one test; it records every command it receives.
#include "support/test_common.h"

class TestFtpServer {
public:
    explicit TestFtpServer(std::vector<std::string> flags = {}) {
        std::vector<std::string> argv = {
            "/usr/bin/python3", std::string(QUON_SOURCE_DIR) + "/tests/integration/ftp/ftp_test_server.py",
            m_root.path()};
        argv.insert(argv.end(), flags.begin(), flags.end());
        m_process = std::make_unique<ChildProcess>(argv, m_root.path());
        // Python may warn first, on standard error.
        const bool up = WaitUntil([&] {
            const std::string out = m_process->Output();
            return out.find('\n', out.find("PORT ")) != std::string::npos && out.find("PORT ") != std::string::npos;
        }, 15000);
        if (!up) ADD_FAILURE() << "FTP server did not start: " << m_process->Output();
        if (up) m_port = std::stoi(m_process->Output().substr(m_process->Output().find("PORT ") + 5));
    }

    int port() const { return m_port; }
    const TempDir& root() const { return m_root; }

    // The commands received so far starting with `prefix`, "CMD" stripped:
    // "STOR /tmp/.../a.bin at 0".
    std::vector<std::string> Commands(const std::string& prefix) const {
        std::vector<std::string> commands;
        std::istringstream in(m_process->Output());
        for (std::string line; std::getline(in, line);) {
            if (line.rfind("CMD " + prefix, 0) == 0) commands.push_back(line.substr(4));
        }
        return commands;
    }
    std::string LastCommand(const std::string& prefix) const {
        const auto commands = Commands(prefix);
        return commands.empty() ? "" : commands.back();
    }

private:
    TempDir m_root;
    std::unique_ptr<ChildProcess> m_process;
    int m_port = 0;
};
