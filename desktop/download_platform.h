// The few socket and file calls the HTTP download needs, one implementation per platform, so that
// the download itself is written once (download_posix.cpp here, a Winsock one in the Windows build).
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

using DownloadSocket = intptr_t;
inline constexpr DownloadSocket noDownloadSocket = -1;

// Resolves the host (IPv4) and connects within the time limit; the socket is then non-blocking.
// noDownloadSocket when the host is unknown or the connection cannot be made in time.
DownloadSocket ConnectDownloadSocket(const std::string& host, uint16_t port, int limitMilliseconds);
void CloseDownloadSocket(DownloadSocket socket);

// Results of one send or receive call besides a byte count.
inline constexpr long ioWouldBlock = -1;
inline constexpr long ioFailed = -2;

// Bytes taken (> 0), ioWouldBlock when the socket cannot take data now, or ioFailed.
long SendSome(DownloadSocket socket, const char* data, size_t size);
// Bytes read (> 0), 0 when the peer closed, ioWouldBlock when nothing is waiting, or ioFailed.
long ReceiveSome(DownloadSocket socket, char* buffer, size_t size);
// Waits at most the given time for the socket to become readable (or writable).
void WaitForSocket(DownloadSocket socket, bool forWriting, int limitMilliseconds);

// Files named by the program's single-byte texts.
std::FILE* CreateDownloadFile(const std::string& path);
void DeleteDownloadFile(const std::string& path);
