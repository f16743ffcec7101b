#include <winsock2.h>

#include "support/silent_port.h"

SilentPort::SilentPort(bool listening) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    m_socket = static_cast<intptr_t>(s);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int len = sizeof addr;
    if (bind(s, reinterpret_cast<sockaddr*>(&addr), len) != 0 || (listening && listen(s, 4) != 0)) return;
    getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
    m_port = ntohs(addr.sin_port);
}

SilentPort::~SilentPort() {
    closesocket(static_cast<SOCKET>(m_socket));
    WSACleanup();
}
