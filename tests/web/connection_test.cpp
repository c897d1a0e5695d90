// The connection layer on its own, driven from the test thread over loopback: which event a
// poll reports and in what order, the limits on open connections, and refused ports.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <algorithm>
#include <memory>
#include <numeric>
#include <thread>
#include <vector>

#include "tests/support/loopback_client.h"
#include "web/connection.h"
#include "web/monotonic_clock.h"

namespace {

using Clock = std::chrono::steady_clock;

// Polls until something other than None happens, for at most `timeoutMs`.
NetPoll NextEvent(int timeoutMs = 2000) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < deadline) {
        NetPoll event = PollServer();
        if (event.kind != NetEvent::None) return event;
        WaitForActivity(MonotonicMilliseconds() + 20);
    }
    return {};
}

class ConnectionLayer : public testing::Test {
protected:
    void SetUp() override {
        for (int attempt = 0; attempt < 20 && port == 0; ++attempt) {
            int candidate = FreePort();
            if (CreateServer(candidate)) port = candidate;
        }
        ASSERT_NE(port, 0);
    }
    void TearDown() override { CloseServer(); }

    // Opens `count` browsers that each send their number before the server looks, then serves
    // until nothing more happens: the numbers in the order their Data came.
    std::vector<int> ServeBurst(int count, int& connects) {
        std::vector<std::unique_ptr<ClientSocket>> clients;
        for (int i = 0; i < count; ++i) {
            clients.push_back(std::make_unique<ClientSocket>("127.0.0.2", port));
            EXPECT_TRUE(clients.back()->Send(std::to_string(i)));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        std::vector<int> order;
        connects = 0;
        for (NetPoll event = NextEvent(); event.kind != NetEvent::None; event = NextEvent(300)) {
            if (event.kind == NetEvent::Connect) ++connects;
            if (event.kind != NetEvent::Data) continue;
            char buffer[16];
            size_t n = ReceiveRequest(*event.connection, buffer, sizeof buffer);
            order.push_back(std::stoi(std::string(buffer, n)));
            CloseConnection(event.connection);
        }
        return order;
    }

    int port = 0;
};

}  // namespace

TEST(ConnectionLayerPorts, RefusesPortsOutsideTheRange) {
    EXPECT_FALSE(CreateServer(70000));
    EXPECT_FALSE(CreateServer(65536));
    EXPECT_FALSE(CreateServer(0));
    EXPECT_FALSE(CreateServer(-80));
    EXPECT_EQ(PollServer().kind, NetEvent::None);
}

TEST(ConnectionLayerPorts, RefusesAPortSomebodyListensOnAndLeavesNoServer) {
    auto other = std::make_unique<BusyPort>();
    ASSERT_GT(other->port(), 0);
    EXPECT_FALSE(CreateServer(other->port()));
    other.reset();

    int freePort = FreePort();
    ASSERT_TRUE(CreateServer(freePort));
    EXPECT_TRUE(PortAccepts(freePort));
    CloseServer();
    EXPECT_FALSE(PortAccepts(freePort));
}

TEST_F(ConnectionLayer, ConnectThenCloseWithoutSendingIsConnectAndDisconnectNeverData) {
    auto client = std::make_unique<ClientSocket>("127.0.0.2", port);
    ASSERT_TRUE(client->isOpen());
    NetPoll connected = NextEvent();
    ASSERT_EQ(connected.kind, NetEvent::Connect);
    EXPECT_EQ(PeerAddress(*connected.connection), 0x7F000002u);
    client.reset();
    EXPECT_EQ(NextEvent().kind, NetEvent::Disconnect);
    EXPECT_EQ(NextEvent(200).kind, NetEvent::None);
}

TEST_F(ConnectionLayer, TheNewerOfTwoConnectionsWithDataComesFirst) {
    ClientSocket older("127.0.0.2", port);
    ASSERT_EQ(NextEvent().kind, NetEvent::Connect);
    ClientSocket newer("127.0.0.3", port);
    ASSERT_EQ(NextEvent().kind, NetEvent::Connect);
    ASSERT_TRUE(older.Send("first"));
    ASSERT_TRUE(newer.Send("second"));
    // Both must have arrived before the poll that decides.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    NetPoll event = NextEvent();
    ASSERT_EQ(event.kind, NetEvent::Data);
    EXPECT_EQ(PeerAddress(*event.connection), 0x7F000003u);

    char buffer[2048];
    ASSERT_EQ(ReceiveRequest(*event.connection, buffer, sizeof buffer), 6u);
    EXPECT_EQ(std::string(buffer, 6), "second");
    event = NextEvent();
    ASSERT_EQ(event.kind, NetEvent::Data);
    EXPECT_EQ(PeerAddress(*event.connection), 0x7F000002u);
}

TEST_F(ConnectionLayer, ABurstThatOneFetchHoldsComesNewestFirst) {
    int connects = 0;
    std::vector<int> order = ServeBurst(40, connects);
    std::vector<int> newestFirst(40);
    std::iota(newestFirst.rbegin(), newestFirst.rend(), 0);
    EXPECT_EQ(connects, 40);
    EXPECT_EQ(order, newestFirst);
}

TEST_F(ConnectionLayer, ABurstLargerThanOneAcceptIsReportedWholeEachConnectionOnce) {
    int connects = 0;
    std::vector<int> order = ServeBurst(200, connects);
    std::sort(order.begin(), order.end());
    std::vector<int> each(200);
    std::iota(each.begin(), each.end(), 0);
    EXPECT_EQ(connects, 200);
    EXPECT_EQ(order, each);
}

TEST_F(ConnectionLayer, DataStaysReportedUntilReadAndAReceiveTakesAtMostTheCount) {
    ClientSocket client("127.0.0.2", port);
    ASSERT_EQ(NextEvent().kind, NetEvent::Connect);
    ASSERT_TRUE(client.Send(std::string(3000, 'x')));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    NetPoll event = NextEvent();
    ASSERT_EQ(event.kind, NetEvent::Data);
    EXPECT_EQ(PollServer().connection, event.connection);
    std::vector<char> buffer(4096);
    EXPECT_EQ(ReceiveRequest(*event.connection, buffer.data(), 2048), 2048u);
    EXPECT_EQ(NextEvent().kind, NetEvent::Data);
    EXPECT_EQ(ReceiveRequest(*event.connection, buffer.data(), 2048), 952u);
    EXPECT_EQ(NextEvent(200).kind, NetEvent::None);
}

TEST_F(ConnectionLayer, ClosedConnectionsAreNoLongerReportedButTheirAnswerArrives) {
    ClientSocket client("127.0.0.2", port);
    NetPoll event = NextEvent();
    ASSERT_EQ(event.kind, NetEvent::Connect);
    ASSERT_TRUE(client.Send("more than was read"));
    ASSERT_TRUE(SendData(*event.connection, "answer", 6));
    CloseConnection(event.connection);
    // The unread request bytes are drained quietly, not reported.
    EXPECT_EQ(NextEvent(300).kind, NetEvent::None);
    EXPECT_EQ(client.ReadUntilClosed(2000), "answer");
}

TEST_F(ConnectionLayer, AtTheCapANewConnectionClosesTheOldest) {
    std::vector<std::unique_ptr<ClientSocket>> clients;
    for (size_t i = 0; i < maxConnections + 4; ++i) {
        clients.push_back(std::make_unique<ClientSocket>("127.0.0.2", port));
        ASSERT_TRUE(clients.back()->isOpen()) << i;
        ASSERT_EQ(NextEvent().kind, NetEvent::Connect) << i;
    }
    for (size_t i = 0; i < 4; ++i) EXPECT_TRUE(clients[i]->ClosedWithin(1000)) << i;
    for (size_t i = 4; i < clients.size(); ++i) EXPECT_FALSE(clients[i]->ReadableWithin(0)) << i;
}

TEST(SocketSeam, SendingToAClosedPeerFailsWithoutRaisingSigpipe) {
    // With the default action a raised SIGPIPE would end this test program.
    signal(SIGPIPE, SIG_DFL);
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    close(ends[1]);
    EXPECT_EQ(SendSocket(ends[0], "answer", 6), socketFailed);
    EXPECT_EQ(SendSocket(ends[0], "answer", 6), socketFailed);
    close(ends[0]);
}
