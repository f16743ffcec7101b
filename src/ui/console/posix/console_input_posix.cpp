#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "ui/console/console_input.h"

struct ConsoleInput::Impl {
    int wakePipe[2] = {-1, -1};
};

ConsoleInput::ConsoleInput() : m_impl(std::make_unique<Impl>()) {
    if (pipe2(m_impl->wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) m_impl->wakePipe[0] = m_impl->wakePipe[1] = -1;
}

ConsoleInput::~ConsoleInput() {
    for (int fd : m_impl->wakePipe) {
        if (fd >= 0) close(fd);
    }
}

bool ConsoleInput::IsTerminal() const {
    return isatty(STDIN_FILENO) == 1;
}

void ConsoleInput::Wake(bool close) {
    if (m_impl->wakePipe[1] >= 0) {
        const char c = close ? 2 : 1;
        [[maybe_unused]] ssize_t n = write(m_impl->wakePipe[1], &c, 1);
    }
}

int ConsoleInput::Wait(bool input, int timeoutMs) {
    pollfd fds[2] = {{m_impl->wakePipe[0], POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    if (poll(fds, input ? 2 : 1, timeoutMs) < 0) return errno == EINTR ? 0 : kError;
    int result = 0;
    if (fds[0].revents & POLLIN) result |= kWoken;
    if (input && fds[1].revents) result |= kInput;
    return result;
}

bool ConsoleInput::DrainWakes() {
    bool close = false;
    char buf[64];
    ssize_t n;
    while ((n = read(m_impl->wakePipe[0], buf, sizeof(buf))) > 0) {
        for (ssize_t i = 0; i < n; ++i) {
            if (buf[i] == 2) close = true;
        }
    }
    return close;
}

int64_t ConsoleInput::Read(char* buffer, size_t size) {
    const ssize_t n = read(STDIN_FILENO, buffer, size);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return -1;
    return n < 0 ? 0 : n;
}

bool PrepareConsoleOutput(FILE* stream) {
    return isatty(fileno(stream)) == 1;
}

namespace {
void (*g_onClose)() = nullptr;
void OnCloseSignal(int) {
    if (g_onClose) g_onClose();
}
}  // namespace

void WatchCloseRequests(void (*onClose)()) {
    g_onClose = onClose;
    struct sigaction sa {};
    sa.sa_handler = OnCloseSignal;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

void ConnectConsole() {
    // A terminal program: the streams are what it was started with.
}

void GuardStandardStreams() {
    // A closed standard stream would hand its number to the next file we
    // open (our own wake-up pipe would become "standard input").
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) == -1) open("/dev/null", O_RDWR);
    }
}
