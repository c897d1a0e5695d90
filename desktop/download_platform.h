// What the HTTP download needs beyond the socket seam of net/: the system's name lookup,
// opening a connection, and the answer file. One implementation per platform (download_linux.cpp
// here, windows/download_win.cpp); the time limits are the shared code's (host_lookup.cpp,
// download.cpp).
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

#include "net/socket_seam.h"

// IPv4 addresses here are in host byte order.
// The system's lookup of a host name, as long as it takes: it cannot be cut short, so it is only
// ever called on a thread of its own (host_lookup.cpp). False when the name has no IPv4 address.
bool LookUpIPv4(const std::string& host, uint32_t& address);

// Connects within the time limit; the socket is then non-blocking. noSocket when no connection is
// made in time.
SocketHandle ConnectSocket(uint32_t address, uint16_t port, int limitMilliseconds);

// Files named by the program's single-byte texts: created (or emptied) for writing, opened for
// reading, deleted.
std::FILE* CreateDownloadFile(const std::string& path);
std::FILE* OpenDownloadFile(const std::string& path);
void DeleteDownloadFile(const std::string& path);
