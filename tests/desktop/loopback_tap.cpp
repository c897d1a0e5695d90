// Every TCP segment of one loopback port with its time of passage, read from a packet socket.
#include "tests/desktop/loopback_tap.h"

#include <arpa/inet.h>
#include <linux/filter.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

namespace {

// Enough of each segment for a request line or an answer's head; the rest only fills the buffer.
constexpr unsigned snapBytes = 512;

std::string Dotted(const unsigned char* bytes) {
    char text[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, bytes, text, sizeof text);
    return text;
}

}  // namespace

LoopbackTap::LoopbackTap(int port) {
    // Protocol 0 receives nothing until the bind below, so no unfiltered segment slips in first.
    int fd = socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return;
    // IPv4, TCP, not a later fragment, source or destination port equal: keep snapBytes of it.
    auto p = static_cast<unsigned>(port);
    sock_filter code[] = {
        {BPF_LD | BPF_B | BPF_ABS, 0, 0, 9},           {BPF_JMP | BPF_JEQ | BPF_K, 0, 8, IPPROTO_TCP},
        {BPF_LD | BPF_H | BPF_ABS, 0, 0, 6},           {BPF_JMP | BPF_JSET | BPF_K, 6, 0, 0x1fff},
        {BPF_LDX | BPF_B | BPF_MSH, 0, 0, 0},          {BPF_LD | BPF_H | BPF_IND, 0, 0, 0},
        {BPF_JMP | BPF_JEQ | BPF_K, 2, 0, p},          {BPF_LD | BPF_H | BPF_IND, 0, 0, 2},
        {BPF_JMP | BPF_JEQ | BPF_K, 0, 1, p},          {BPF_RET | BPF_K, 0, 0, snapBytes},
        {BPF_RET | BPF_K, 0, 0, 0},
    };
    sock_fprog program{static_cast<unsigned short>(sizeof code / sizeof code[0]), code};
    // A test reads now and then; a minute of pictures' heads must fit meanwhile.
    int buffer = 8 << 20;
    sockaddr_ll address{};
    address.sll_family = AF_PACKET;
    address.sll_protocol = htons(ETH_P_IP);
    address.sll_ifindex = int(if_nametoindex("lo"));
    if (address.sll_ifindex == 0 ||
        setsockopt(fd, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program) != 0 ||
        setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &buffer, sizeof buffer) != 0 ||
        bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return;
    }
    fd_ = fd;
}

LoopbackTap::~LoopbackTap() {
    if (fd_ >= 0) close(fd_);
}

void LoopbackTap::Take(std::vector<TappedSegment>& segments) {
    unsigned char packet[snapBytes];
    for (;;) {
        sockaddr_ll from{};
        socklen_t fromLength = sizeof from;
        ssize_t length = recvfrom(fd_, packet, sizeof packet, 0, reinterpret_cast<sockaddr*>(&from),
                                  &fromLength);
        if (length < 0) return;
        // Loopback shows every segment twice, leaving and arriving; the arriving copy counts.
        if (from.sll_pkttype == PACKET_OUTGOING || length < 20) continue;
        size_t ipLength = (packet[0] & 0x0f) * 4u;
        size_t total = std::min<size_t>(size_t(packet[2]) << 8 | packet[3], size_t(length));
        if (total < ipLength + 20) continue;
        const unsigned char* tcp = packet + ipLength;
        size_t dataStart = ipLength + (tcp[12] >> 4) * 4u;
        if (dataStart >= total) continue;
        timeval when{};
        ioctl(fd_, SIOCGSTAMP, &when);
        TappedSegment segment;
        segment.microseconds = int64_t(when.tv_sec) * 1000000 + when.tv_usec;
        segment.source = Dotted(packet + 12);
        segment.destination = Dotted(packet + 16);
        segment.sourcePort = tcp[0] << 8 | tcp[1];
        segment.destinationPort = tcp[2] << 8 | tcp[3];
        segment.payload.assign(reinterpret_cast<const char*>(packet) + dataStart, total - dataStart);
        segments.push_back(std::move(segment));
    }
}
