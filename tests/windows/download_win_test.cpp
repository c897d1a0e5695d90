// The address check's one time limit under Wine, whose name lookup is the system's: run by
// tests/windows/private-resolver, which leaves 127.0.0.1 the only name server asked, where the
// test keeps a stand-in. A lookup that never ends, and a slow lookup followed by a connection that
// never completes, each end the check within its time limit (a short one here: the program's 10 s
// is the same code's argument); a late answer is still used.
#include <gtest/gtest.h>
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "core/platform.h"
#include "desktop/download.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait.h"

namespace {

using Clock = std::chrono::steady_clock;
using Milliseconds = std::chrono::milliseconds;

sockaddr_in LoopbackAddress(const char* ip, uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    inet_pton(AF_INET, ip, &address.sin_addr);
    return address;
}

// A listening socket on a free loopback port; INVALID_SOCKET and port 0 when none could be made.
SOCKET ListenOnLoopback(int backlog, uint16_t& port) {
    SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = LoopbackAddress("127.0.0.1", 0);
    int length = sizeof address;
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener, backlog) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        closesocket(listener);
        port = 0;
        return INVALID_SOCKET;
    }
    port = ntohs(address.sin_port);
    return listener;
}

bool Readable(SOCKET socket, int milliseconds) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket, &readable);
    timeval limit{milliseconds / 1000, (milliseconds % 1000) * 1000};
    return select(0, &readable, nullptr, nullptr, &limit) > 0;
}

// The name server of tests/windows/private-resolver's resolv.conf. It takes every question and
// answers none, or answers each after a delay with 127.0.0.1 (an address question) or with no
// address (any other). Wine binds a datagram socket to every address of the interface, so its
// answers leave from 127.0.0.1 whatever address it is bound to, and the system's lookup takes
// answers only from the address it asked: hence 127.0.0.1, and port 53 free on every address.
class StandInNameServer {
public:
    static constexpr int never = -1;

    explicit StandInNameServer(int answerMilliseconds) : answerMilliseconds_(answerMilliseconds) {
        socket_ = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
        sockaddr_in address = LoopbackAddress("127.0.0.1", 53);
        if (bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return;
        ok_ = true;
        thread_ = std::thread([this] { Serve(); });
    }
    ~StandInNameServer() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        closesocket(socket_);
    }
    StandInNameServer(const StandInNameServer&) = delete;
    StandInNameServer& operator=(const StandInNameServer&) = delete;

    bool ok() const { return ok_; }
    int questions() const { return questions_; }

private:
    void Serve() {
        while (!stop_) {
            if (!Readable(socket_, 50)) continue;
            char question[512];
            sockaddr_in from{};
            int fromLength = sizeof from;
            int size = recvfrom(socket_, question, sizeof question, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
            if (size < 12) continue;
            ++questions_;
            if (answerMilliseconds_ == never) continue;
            auto due = Clock::now() + Milliseconds(answerMilliseconds_);
            while (!stop_ && Clock::now() < due) std::this_thread::sleep_for(Milliseconds(10));
            std::string answer = Answer(std::string(question, size_t(size)));
            if (!answer.empty())
                sendto(socket_, answer.data(), int(answer.size()), 0, reinterpret_cast<sockaddr*>(&from), fromLength);
        }
    }

    // The question's header and question section, marked as an answer, with one address record
    // pointing back at the question's name when it asked for an address.
    static std::string Answer(const std::string& question) {
        size_t at = 12;
        while (at < question.size() && question[at] != 0) at += 1 + size_t(uint8_t(question[at]));
        if (at + 5 > question.size()) return "";
        std::string answer = question.substr(0, at + 5);
        bool asksAddress = answer[at + 1] == 0 && answer[at + 2] == 1;
        answer[2] = char(uint8_t(answer[2]) | 0x80);  // an answer, the question's "recursion desired" kept
        answer[3] = char(0x80);                       // recursion available, no error
        answer.replace(6, 6, std::string{0, char(asksAddress ? 1 : 0), 0, 0, 0, 0});
        if (asksAddress) answer += std::string{char(0xC0), 12, 0, 1, 0, 1, 0, 0, 0, 60, 0, 4, 127, 0, 0, 1};
        return answer;
    }

    SOCKET socket_ = INVALID_SOCKET;
    const int answerMilliseconds_;
    bool ok_ = false;
    std::atomic<bool> stop_{false};
    std::atomic<int> questions_{0};
    std::thread thread_;
};

// How many connections to the loopback port wait for the other side's answer to their first packet.
int ConnectionsUnderWay(uint16_t port) {
    ULONG size = 0;
    GetTcpTable(nullptr, &size, FALSE);
    std::vector<char> buffer(size + 4096);
    size = ULONG(buffer.size());
    auto* table = reinterpret_cast<MIB_TCPTABLE*>(buffer.data());
    if (GetTcpTable(table, &size, FALSE) != NO_ERROR) return -1;
    int count = 0;
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        const MIB_TCPROW& row = table->table[i];
        if (row.dwState == MIB_TCP_STATE_SYN_SENT && ntohs(uint16_t(row.dwRemotePort)) == port) ++count;
    }
    return count;
}

// A loopback port whose queue of connections waiting to be accepted is full: the system drops
// every further connection request, so a connection there never completes.
class FullListener {
public:
    FullListener() {
        listener_ = ListenOnLoopback(1, port_);
        if (listener_ == INVALID_SOCKET) return;
        sockaddr_in address = LoopbackAddress("127.0.0.1", port_);
        for (int tries = 0; tries < 16 && !full_; ++tries) {
            SOCKET filler = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
            u_long on = 1;
            ioctlsocket(filler, FIONBIO, &on);
            connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
            fillers_.push_back(filler);
            fd_set writable;
            FD_ZERO(&writable);
            FD_SET(filler, &writable);
            timeval limit{0, 300000};
            full_ = select(0, nullptr, &writable, nullptr, &limit) == 0;
        }
    }
    ~FullListener() {
        for (SOCKET filler : fillers_) closesocket(filler);
        closesocket(listener_);
    }
    FullListener(const FullListener&) = delete;
    FullListener& operator=(const FullListener&) = delete;

    bool full() const { return full_; }
    uint16_t port() const { return port_; }

private:
    SOCKET listener_ = INVALID_SOCKET;
    std::vector<SOCKET> fillers_;
    uint16_t port_ = 0;
    bool full_ = false;
};

// Answers one request on a loopback port with the body "1.2.3.4\n".
class OneAnswer {
public:
    OneAnswer() {
        listener_ = ListenOnLoopback(4, port_);
        if (listener_ != INVALID_SOCKET) thread_ = std::thread([this] { Serve(); });
    }
    ~OneAnswer() {
        if (thread_.joinable()) thread_.join();
        closesocket(listener_);
    }
    OneAnswer(const OneAnswer&) = delete;
    OneAnswer& operator=(const OneAnswer&) = delete;

    uint16_t port() const { return port_; }

private:
    void Serve() {
        if (!Readable(listener_, 15000)) return;
        SOCKET peer = accept(listener_, nullptr, nullptr);
        std::string request;
        char piece[512];
        while (request.find("\r\n\r\n") == std::string::npos && Readable(peer, 5000)) {
            int got = recv(peer, piece, sizeof piece, 0);
            if (got <= 0) break;
            request.append(piece, size_t(got));
        }
        std::string answer = "HTTP/1.1 200 OK\r\nContent-Length: 8\r\n\r\n1.2.3.4\n";
        send(peer, answer.data(), int(answer.size()), 0);
        shutdown(peer, SD_SEND);
        while (Readable(peer, 2000) && recv(peer, piece, sizeof piece, 0) > 0) {
        }
        closesocket(peer);
    }

    SOCKET listener_ = INVALID_SOCKET;
    uint16_t port_ = 0;
    std::thread thread_;
};

// The download's time limit in these cases, and the room a busy machine gets over it.
constexpr int caseLimit = 3000;
constexpr double slack = 1.0;

class DownloadLookup : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(InitNetwork()); }
    TempDir dir;
    std::string out = dir.path() + "\\ip.txt";
};

// Each case asks for a name of its own: a lookup still under way would be waited for again.
TEST_F(DownloadLookup, StalledNameLookupStillEndsWithinTheTimeLimit) {
    StandInNameServer names(StandInNameServer::never);
    ASSERT_TRUE(names.ok()) << "port 53 could not be bound (root is needed, and no other name server here)";
    Clock::time_point start = Clock::now();
    EXPECT_FALSE(DownloadToFile("http://lumora-stalled.test/ip.php", out, caseLimit));
    double seconds = SecondsSince(start);
    EXPECT_GE(seconds, caseLimit / 1000.0 - 0.1);
    EXPECT_LT(seconds, caseLimit / 1000.0 + slack) << "the unbounded lookup took 30 s";
    EXPECT_GE(names.questions(), 1) << "the lookup never asked the stand-in: not run by private-resolver?";
    EXPECT_FALSE(PathExists(out));
}

TEST_F(DownloadLookup, SlowLookupLeavesTheConnectionOnlyWhatIsLeft) {
    FullListener nobody;
    ASSERT_TRUE(nobody.full()) << "the listener's queue could not be filled";
    StandInNameServer names(1800);
    ASSERT_TRUE(names.ok()) << "port 53 could not be bound (root is needed, and no other name server here)";
    const int fillersUnderWay = ConnectionsUnderWay(nobody.port());
    ASSERT_GE(fillersUnderWay, 1);
    Clock::time_point start = Clock::now();
    std::atomic<bool> done{false};
    std::atomic<double> tried{-1};
    std::thread watch([&] {
        while (!done && tried < 0) {
            if (ConnectionsUnderWay(nobody.port()) > fillersUnderWay) tried = SecondsSince(start);
            std::this_thread::sleep_for(Milliseconds(20));
        }
    });
    std::string address = "http://lumora-slow.test:" + std::to_string(nobody.port()) + "/ip.php";
    EXPECT_FALSE(DownloadToFile(address, out, caseLimit));
    double seconds = SecondsSince(start);
    done = true;
    watch.join();
    EXPECT_GE(tried, 0.0) << "the late address was never tried";
    EXPECT_GE(tried, 1.7) << "a connection began before the lookup's answer";
    EXPECT_LT(tried, 1.8 + slack) << "the late address was not tried at once";
    EXPECT_GE(seconds, caseLimit / 1000.0 - 0.1);
    EXPECT_LT(seconds, caseLimit / 1000.0 + slack) << "the connection had more than what the lookup left";
    EXPECT_GE(names.questions(), 1);
}

TEST_F(DownloadLookup, LateAnswerOfTheLookupIsUsed) {
    OneAnswer service;
    StandInNameServer names(1000);
    ASSERT_TRUE(names.ok()) << "port 53 could not be bound (root is needed, and no other name server here)";
    Clock::time_point start = Clock::now();
    ASSERT_TRUE(DownloadToFile("http://lumora-late.test:" + std::to_string(service.port()) + "/ip.php", out));
    EXPECT_GE(SecondsSince(start), 1.0);
    EXPECT_EQ(ReadFileText(out), "1.2.3.4\n");
}

}  // namespace
