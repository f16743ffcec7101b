#pragma once
// A real FTP server (pyftpdlib) on 127.0.0.1 at a free port, serving a fresh
// folder, for one test; it records every command it receives.
#include "support/test_common.h"

// The server program, started the way the system allows
// (ftp_server_process_posix.cpp, win/ftp_server_process_win.cpp); stopped
// when it goes.
class FtpServerProcess {
public:
    FtpServerProcess(const std::string& root, const std::vector<std::string>& flags);
    ~FtpServerProcess();
    FtpServerProcess(const FtpServerProcess&) = delete;
    FtpServerProcess& operator=(const FtpServerProcess&) = delete;
    // What the server printed so far.
    std::string Output() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

inline std::string FtpServerScript() {
    return std::string(QUON_SOURCE_DIR) + "/tests/integration/ftp/ftp_test_server.py";
}

class TestFtpServer {
public:
    explicit TestFtpServer(std::vector<std::string> flags = {}) : m_process(m_root.path(), flags) {
        // Python may warn first, on standard error.
        const bool up = WaitUntil(
            [&] {
                const std::string out = m_process.Output();
                return out.find('\n', out.find("PORT ")) != std::string::npos &&
                       out.find("PORT ") != std::string::npos;
            },
            15000);
        if (!up) ADD_FAILURE() << "FTP server did not start: " << m_process.Output();
        if (up) m_port = std::stoi(m_process.Output().substr(m_process.Output().find("PORT ") + 5));
    }

    int port() const { return m_port; }
    const TempDir& root() const { return m_root; }

    // The commands received so far starting with `prefix`, "CMD" stripped:
    // "STOR /tmp/.../a.bin at 0".
    std::vector<std::string> Commands(const std::string& prefix) const {
        std::vector<std::string> commands;
        std::istringstream in(m_process.Output());
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
    FtpServerProcess m_process;
    int m_port = 0;
};

// The report's folder for today: "2026127" for 7 Dec 2026.
inline std::string DateFolder() {
    const time_t now = time(nullptr);
    const std::tm t = *std::localtime(&now);
    return std::to_string(t.tm_year + 1900) + std::to_string(t.tm_mon + 1) + std::to_string(t.tm_mday);
}
