// The connection layer's socket seam over Windows Sockets, on loopback under Wine: listening with
// the port held exclusively, accepting with the peer's address, peeking, reading, sending, the end
// of the stream, readiness for more sockets than select() handles by default, readiness to send,
// aborts, and the waker that ends a wait from another thread.
#include <gtest/gtest.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <chrono>
#include <thread>
#include <vector>

#include "core/platform.h"
#include "net/socket_seam.h"
#include "tests/support/free_port.h"

namespace {

using Clock = std::chrono::steady_clock;

class WindowsSockets : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(InitNetwork()); }

    SocketHandle AcceptWithin(SocketHandle listener, uint32_t& peer) {
        auto until = Clock::now() + std::chrono::seconds(5);
        while (Clock::now() < until) {
            SocketWatch watch{listener, false};
            WaitReadable(&watch, 1, 100);
            SocketHandle accepted = AcceptSocket(listener, peer);
            if (accepted != noSocket) return accepted;
        }
        return noSocket;
    }

    PeekResult PeekWithin(SocketHandle socket, PeekResult wanted) {
        PeekResult last = PeekSocket(socket);
        for (auto until = Clock::now() + std::chrono::seconds(5); last != wanted && Clock::now() < until;
             last = PeekSocket(socket)) {
            SocketWatch watch{socket, false};
            WaitReadable(&watch, 1, 50);
        }
        return last;
    }
};

TEST_F(WindowsSockets, ConversationFromAcceptToEndOfStream) {
    auto port = uint16_t(FreePort());
    SocketHandle listener = OpenListeningSocket(port, 16);
    ASSERT_NE(listener, noSocket);
    EXPECT_EQ(OpenListeningSocket(port, 16), noSocket) << "the port is held exclusively";
    uint32_t peer = 0;
    EXPECT_EQ(AcceptSocket(listener, peer), noSocket) << "nothing pending yet";

    SocketHandle client = ConnectLoopback("127.0.0.2", port);
    ASSERT_NE(client, noSocket);
    SocketHandle server = AcceptWithin(listener, peer);
    ASSERT_NE(server, noSocket);
    EXPECT_EQ(peer, 0x7F000002u);

    EXPECT_EQ(PeekSocket(server), PeekResult::Nothing);
    char buffer[64];
    EXPECT_EQ(ReceiveSocket(server, buffer, sizeof buffer), socketWouldBlock);
    ASSERT_EQ(SendSocket(client, "GET / HTTP/1.0\r\n\r\n", 18), 18);
    EXPECT_EQ(PeekWithin(server, PeekResult::Data), PeekResult::Data);
    EXPECT_EQ(ReceiveSocket(server, buffer, sizeof buffer), 18);
    EXPECT_EQ(std::string(buffer, 4), "GET ");

    EXPECT_TRUE(WaitWritable(server, 1000));
    EXPECT_EQ(SendSocket(server, "answer", 6), 6);
    ShutDownSending(server);
    std::string received;
    for (long n; (n = ReceiveSocket(client, buffer, sizeof buffer)) > 0;) received.append(buffer, size_t(n));
    EXPECT_EQ(received, "answer") << "the end of the stream follows the answer";

    CloseSocket(client);
    EXPECT_EQ(PeekWithin(server, PeekResult::Closed), PeekResult::Closed);
    CloseSocket(server);
    CloseSocket(listener);
}

TEST_F(WindowsSockets, ReadinessBeyondSixtyFourSockets) {
    auto port = uint16_t(FreePort());
    SocketHandle listener = OpenListeningSocket(port, 200);
    ASSERT_NE(listener, noSocket);
    std::vector<SocketHandle> clients;
    std::vector<SocketWatch> watches;
    for (int i = 0; i < 100; ++i) {
        SocketHandle client = ConnectLoopback("127.0.0.1", port);
        ASSERT_NE(client, noSocket) << i;
        clients.push_back(client);
        uint32_t peer;
        SocketHandle accepted = AcceptWithin(listener, peer);
        ASSERT_NE(accepted, noSocket) << i;
        watches.push_back({accepted, false});
    }
    EXPECT_FALSE(WaitReadable(watches.data(), watches.size(), 0));
    SendSocket(clients[90], "x", 1);
    EXPECT_TRUE(WaitReadable(watches.data(), watches.size(), 2000));
    for (size_t i = 0; i < watches.size(); ++i) EXPECT_EQ(watches[i].ready, i == 90) << i;
    for (SocketHandle client : clients) CloseSocket(client);
    for (SocketWatch& watch : watches) CloseSocket(watch.socket);
    CloseSocket(listener);
}

TEST_F(WindowsSockets, SendingReadinessAndAnAbortThatEndsTheConnection) {
    auto port = uint16_t(FreePort());
    SocketHandle listener = OpenListeningSocket(port, 16);
    ASSERT_NE(listener, noSocket);
    SocketHandle client = ConnectLoopback("127.0.0.1", port);
    ASSERT_NE(client, noSocket);
    uint32_t peer = 0;
    SocketHandle server = AcceptWithin(listener, peer);
    ASSERT_NE(server, noSocket);
    bool exhausted = true;
    EXPECT_EQ(AcceptSocket(listener, peer, &exhausted), noSocket);
    EXPECT_FALSE(exhausted) << "nothing pending is no lack of resources";

    // The listener has nothing to read; the connection has room to send; noSocket is skipped.
    SocketWatch watches[3] = {{listener, false, false}, {server, false, true}, {noSocket, false, true}};
    EXPECT_TRUE(WaitSockets(watches, 3, 2000));
    EXPECT_FALSE(watches[0].ready);
    EXPECT_TRUE(watches[1].ready);
    EXPECT_FALSE(watches[2].ready);

    ASSERT_EQ(SendSocket(server, "cut", 3), 3);
    AbortSocket(server);
    char buffer[16];
    int n = 0;
    for (auto until = Clock::now() + std::chrono::seconds(5); Clock::now() < until;) {
        n = recv(SOCKET(client), buffer, sizeof buffer, 0);
        if (n <= 0) break;
    }
    // Windows resets; Wine 8 ends the stream in order. Either way the connection ends at once.
    EXPECT_LE(n, 0);
    if (n == SOCKET_ERROR) {
        EXPECT_EQ(WSAGetLastError(), WSAECONNRESET);
    }
    CloseSocket(client);
    CloseSocket(listener);
}

TEST_F(WindowsSockets, AWakerEndsAnUnlimitedWaitFromAnotherThread) {
    SocketHandle waker = OpenWaker();
    ASSERT_NE(waker, noSocket);
    SocketWatch watch{waker, false};
    EXPECT_FALSE(WaitSockets(&watch, 1, 0));
    for (int round = 0; round < 2; ++round) {
        auto start = Clock::now();
        std::thread other([waker] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            WakeWaker(waker);
            WakeWaker(waker);
        });
        EXPECT_TRUE(WaitSockets(&watch, 1, -1)) << round;
        auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        other.join();
        EXPECT_GE(took, 150) << round;
        EXPECT_LT(took, 3000) << round;
        EXPECT_TRUE(WaitSockets(&watch, 1, 0)) << "readable until drained";
        DrainWaker(waker);
        EXPECT_FALSE(WaitSockets(&watch, 1, 0)) << "drained, round " << round;
    }
    CloseWaker(waker);
}

TEST_F(WindowsSockets, WaitingOnNoSocketsStillWaits) {
    auto start = Clock::now();
    EXPECT_FALSE(WaitReadable(nullptr, 0, 150));
    auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_GE(took, 100);
    EXPECT_LT(took, 2000);
}

}  // namespace
