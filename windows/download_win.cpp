// The system's name lookup, connecting and the answer file of the HTTP download with Windows
// Sockets and wide file names.
// Files opened here are not inherited by programs the launcher starts later.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <cstdio>

#include "desktop/download_platform.h"
#include "windows/wide_text.h"

namespace {

// A connection under way is finished when the socket becomes writable; a refusal shows in the
// failure set.
bool FinishConnect(SOCKET socket, int limitMilliseconds) {
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(socket, &writable);
    FD_SET(socket, &failed);
    timeval limit{limitMilliseconds / 1000, (limitMilliseconds % 1000) * 1000};
    if (select(0, nullptr, &writable, &failed, &limit) <= 0 || FD_ISSET(socket, &failed)) return false;
    int error = 0;
    int length = sizeof error;
    return getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) == 0 &&
           error == 0;
}

}  // namespace

bool LookUpIPv4(const std::string& host, uint32_t& address) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) return false;
    address = ntohl(reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
    freeaddrinfo(found);
    return true;
}

SocketHandle ConnectSocket(uint32_t address, uint16_t port, int limitMilliseconds) {
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    peer.sin_addr.s_addr = htonl(address);
    SOCKET socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (socket == INVALID_SOCKET) return noSocket;
    SetHandleInformation(reinterpret_cast<HANDLE>(socket), HANDLE_FLAG_INHERIT, 0);
    u_long on = 1;
    // Non-blocking, so that a host that never answers costs the time limit and not minutes.
    bool connected = ioctlsocket(socket, FIONBIO, &on) == 0 &&
                     (connect(socket, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0 ||
                      (WSAGetLastError() == WSAEWOULDBLOCK && FinishConnect(socket, limitMilliseconds)));
    if (!connected) {
        closesocket(socket);
        return noSocket;
    }
    return SocketHandle(socket);
}

std::FILE* CreateDownloadFile(const std::string& path) { return _wfopen(WidePath(path).c_str(), L"wbN"); }

std::FILE* OpenDownloadFile(const std::string& path) { return _wfopen(WidePath(path).c_str(), L"rbN"); }

void DeleteDownloadFile(const std::string& path) { DeleteFileW(WidePath(path).c_str()); }
