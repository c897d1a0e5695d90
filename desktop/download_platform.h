// What the HTTP download needs beyond the web server's socket seam: opening a connection to a
// host, and the answer file. One implementation per platform (download_linux.cpp here, windows/download_win.cpp).
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

#include "net/socket_seam.h"

// Resolves the host (IPv4) and connects, both within the time limit; the socket is then
// non-blocking. noSocket when the host is unknown or no connection is made in time.
SocketHandle ConnectSocket(const std::string& host, uint16_t port, int limitMilliseconds);

// Files named by the program's single-byte texts: created (or emptied) for writing, opened for
// reading, deleted.
std::FILE* CreateDownloadFile(const std::string& path);
std::FILE* OpenDownloadFile(const std::string& path);
void DeleteDownloadFile(const std::string& path);
