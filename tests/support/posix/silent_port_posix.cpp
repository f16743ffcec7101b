#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "support/silent_port.h"

SilentPort::SilentPort(bool listening) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    m_socket = fd;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), len) != 0 || (listening && listen(fd, 4) != 0)) return;
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    m_port = ntohs(addr.sin_port);
}

SilentPort::~SilentPort() {
    close(static_cast<int>(m_socket));
}
