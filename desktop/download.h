// A plain HTTP/1.1 GET whose answer body is written to a file, with fixed time limits: the only
// network client in the program (it serves the public-address check).
#pragma once
#include <cstdint>
#include <string>

struct DownloadAddress {
    std::string host;
    uint16_t port = 80;
    std::string path;  // everything after the first "/" behind the host, query included
};

// Splits "scheme://[user@]host[:port][/path]". False without "://", without a host, or with a
// port that is not a number from 1 to 65535.
bool SplitDownloadAddress(const std::string& address, DownloadAddress& parts);

// The request sent for the address; the Host line names the port only when it is not 80.
std::string FormatDownloadRequest(const DownloadAddress& parts);

// The whole download's time, from the lookup of the host to the last byte kept: the main window
// does not react meanwhile.
constexpr int downloadTimeLimit = 10000;

// Fetches the address and writes the answer's body to the file, all within `limitMilliseconds`
// of the call however the host's lookup or the answer drags on. Fails, writing no file, when the address
// cannot be split, the connection or the sending fails, no answer head comes in time, the
// status line has neither "200" nor "302" in it, or the head does not end within its first
// 2048 bytes. Once the file is created the download counts as done, even when the body stops
// early or the time runs out; at most 64 KiB of it are kept. Bodies framed by Content-Length,
// chunked, or by the end of the connection.
bool DownloadToFile(const std::string& address, const std::string& filePath,
                    int limitMilliseconds = downloadTimeLimit);
