// What a browser and the server really say to each other: every TCP segment to or from one port
// on the loopback interface, with the kernel's time of passage, read from a packet socket (needs
// CAP_NET_RAW). Nothing stands between the two ends; the kernel hands us a copy.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct TappedSegment {
    int64_t microseconds = 0;  // when the segment crossed the interface (wall clock)
    std::string source;        // dotted IPv4 addresses
    std::string destination;
    int sourcePort = 0;
    int destinationPort = 0;
    std::string payload;  // the first few hundred bytes of the TCP data
};

class LoopbackTap {
public:
    explicit LoopbackTap(int port);
    ~LoopbackTap();
    LoopbackTap(const LoopbackTap&) = delete;
    LoopbackTap& operator=(const LoopbackTap&) = delete;

    bool ok() const { return fd_ >= 0; }
    // Appends the segments with data that have passed since the last call; never blocks.
    void Take(std::vector<TappedSegment>& segments);

private:
    int fd_ = -1;
};
