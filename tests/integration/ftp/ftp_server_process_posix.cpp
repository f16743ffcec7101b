#include "ftp_server_fixture.h"

struct FtpServerProcess::State {
    ChildProcess child;
};

FtpServerProcess::FtpServerProcess(const std::string& root, const std::vector<std::string>& flags) {
    std::vector<std::string> argv = {"/usr/bin/python3", FtpServerScript(), root};
    argv.insert(argv.end(), flags.begin(), flags.end());
    m_state.reset(new State{ChildProcess(argv, root)});
}

FtpServerProcess::~FtpServerProcess() = default;

std::string FtpServerProcess::Output() const {
    return m_state->child.Output();
}
