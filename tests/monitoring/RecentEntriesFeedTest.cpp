// The feed's listener with real UDP sockets: its own receiver thread, the hand-over to the thread
// that made it, the bounds, and the port errors.
#include "monitoring/RecentEntriesFeed.h"
#include "support/FreePort.h"
#include "util/TextCodec.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

using namespace vek;

namespace {

// A UDP socket of the test's, closed on every path.
class Socket {
public:
    Socket() : fd(::socket(AF_INET, SOCK_DGRAM, 0)) {}
    ~Socket() {
        if (fd >= 0) ::close(fd);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    bool bindTo(int port) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_ANY);
        a.sin_port = htons(static_cast<std::uint16_t>(port));
        return ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    }
    int boundPort() const {
        sockaddr_in a{};
        socklen_t n = sizeof a;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
        return ntohs(a.sin_port);
    }
    void sendTo(int port, const std::string& bytes) const {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(static_cast<std::uint16_t>(port));
        ASSERT_GE(::sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    }
    int fd;
};

// Runs this thread's events until the condition holds or a generous deadline passes.
template <class F>
bool processUntil(F done, int ms = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return done();
}

struct Recorder {
    std::vector<std::string> datagrams;
    std::vector<std::thread::id> threads;
    int depth = 0;
    int deepest = 0;
    RecentEntriesFeed::Handler handler() {
        return [this](std::string_view d) {
            ++depth;
            deepest = std::max(deepest, depth);
            datagrams.emplace_back(d);
            threads.push_back(std::this_thread::get_id());
            --depth;
        };
    }
};

std::string reason(int error) {
    return fromQString(QString::fromLocal8Bit(std::strerror(error)));
}

TEST(RecentEntriesFeed, DatagramsReachTheCreatingThreadInArrivalOrder) {
    Recorder rec;
    const int port = vek::test::freePort(SOCK_DGRAM);
    RecentEntriesFeed feed(port, rec.handler());
    EXPECT_EQ(feed.port(), port);
    Socket sender;
    std::vector<std::string> sent;
    for (int i = 0; i < 50; ++i) {
        sent.push_back("{\"n\":" + std::to_string(i) + "}");
        sender.sendTo(port, sent.back());
    }
    sender.sendTo(port, ""); // an empty datagram is handed over too
    sent.emplace_back();
    ASSERT_TRUE(processUntil([&] { return rec.datagrams.size() == sent.size(); }));
    EXPECT_EQ(rec.datagrams, sent);
    for (const auto& id : rec.threads) {
        EXPECT_EQ(id, std::this_thread::get_id());
    }
    EXPECT_EQ(feed.handledCount(), sent.size());
}

TEST(RecentEntriesFeed, OneDatagramAtATimeEvenWhenTheHandlerRunsEvents) {
    Recorder rec;
    const int port = vek::test::freePort(SOCK_DGRAM);
    Socket sender;
    int nested = 0;
    RecentEntriesFeed feed(port, [&](std::string_view d) {
        rec.handler()(d);
        ++rec.depth;
        if (d == "first") {
            // The second arrives while the first is still being handled, and a nested loop runs.
            sender.sendTo(port, "second");
            processUntil([&] { return ++nested > 100; });
        }
        --rec.depth;
    });
    sender.sendTo(port, "first");
    ASSERT_TRUE(processUntil([&] { return rec.datagrams.size() == 2; }));
    EXPECT_EQ(rec.datagrams, (std::vector<std::string>{"first", "second"}));
    EXPECT_EQ(rec.deepest, 1); // never handled inside another datagram's handling
}

TEST(RecentEntriesFeed, ReceivesAtMost8192BytesOfADatagram) {
    Recorder rec;
    const int port = vek::test::freePort(SOCK_DGRAM);
    RecentEntriesFeed feed(port, rec.handler());
    Socket sender;
    for (std::size_t size : {8191u, 8192u, 8193u, 20000u}) {
        SCOPED_TRACE(size);
        rec.datagrams.clear();
        std::string big(size, 'a');
        big.front() = '{';
        sender.sendTo(port, big);
        ASSERT_TRUE(processUntil([&] { return rec.datagrams.size() == 1; }));
        EXPECT_EQ(rec.datagrams[0], big.substr(0, 8192));
    }
}

TEST(RecentEntriesFeed, APortThatCannotBeOpenedRaisesTheSystemsReason) {
    Socket holder;
    ASSERT_TRUE(holder.bindTo(0));
    const int taken = holder.boundPort();
    const int free = vek::test::freePort(SOCK_DGRAM);
    struct Case {
        int port;
        std::string reason;
    } cases[] = {
        {taken, reason(EADDRINUSE)},    {0, reason(EINVAL)}, {-1, reason(EINVAL)}, {65536, reason(EINVAL)},
        {free + 65536, reason(EINVAL)}, // not quietly the port 65536 below
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.port);
        Recorder rec;
        try {
            RecentEntriesFeed feed(c.port, rec.handler());
            ADD_FAILURE() << "opened";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()), "Porta UDP " + std::to_string(c.port) + ": " + c.reason);
        }
    }
    // The refused number did not take the port it would wrap to.
    Socket after;
    EXPECT_TRUE(after.bindTo(free));
}

TEST(RecentEntriesFeed, StopsAndJoinsWithADatagramWaiting) {
    Recorder rec;
    const int port = vek::test::freePort(SOCK_DGRAM);
    {
        RecentEntriesFeed feed(port, rec.handler());
        Socket sender;
        sender.sendTo(port, "never handled");
        sender.sendTo(port, "nor this");
        // Give the receiver time to hand the first over and wait for it (set-up, not a measurement).
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        feed.stop();
        EXPECT_FALSE(feed.running());
        processUntil([] { return false; }, 50); // a datagram handed over before the stop stays unhandled
        EXPECT_TRUE(rec.datagrams.empty());
        EXPECT_FALSE(feed.sendToSelf("late", 50));
    }
    QCoreApplication::processEvents();
    EXPECT_TRUE(rec.datagrams.empty());
    // The port is free again once the listener is gone.
    Socket again;
    EXPECT_TRUE(again.bindTo(port));
}

TEST(RecentEntriesFeed, AFloodWaitsInTheSystemNotInsideTheStation) {
    const int port = vek::test::freePort(SOCK_DGRAM);
    Socket sender;
    const int total = 2000;
    std::vector<std::string> handled;
    std::uint64_t mostAhead = 0; // datagrams read from the socket beyond those handled
    RecentEntriesFeed* feed = nullptr;
    const auto lookAhead = [&] { mostAhead = std::max(mostAhead, feed->readCount() - feed->handledCount()); };
    RecentEntriesFeed listener(port, [&](std::string_view d) {
        lookAhead();
        handled.emplace_back(d);
        if (handled.size() == 1) {
            // The rest arrive while the first is held; what the system buffer cannot take is dropped there.
            for (int i = 1; i < total; ++i) {
                sender.sendTo(port, std::to_string(i));
            }
            // Time for a listener that queues to run ahead (set-up, not a measurement).
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            lookAhead();
        }
    });
    feed = &listener;
    sender.sendTo(port, "0");
    std::size_t seen = 0;
    int quiet = 0;
    processUntil(
        [&] {
            // Done once nothing new came for a while.
            quiet = handled.size() == seen ? quiet + 1 : 0;
            seen = handled.size();
            return quiet > 200;
        },
        20000);
    EXPECT_EQ(mostAhead, 1u) << "only the datagram being handled may have left the socket";
    ASSERT_GE(handled.size(), 2u);
    EXPECT_EQ(handled.front(), "0");
    for (std::size_t i = 1; i < handled.size(); ++i) {
        ASSERT_LT(std::stoi(handled[i - 1]), std::stoi(handled[i]));
    }
    EXPECT_EQ(listener.handledCount(), handled.size());
    EXPECT_EQ(listener.readCount(), handled.size());
    // Still listening afterwards.
    EXPECT_TRUE(listener.sendToSelf("after"));
    EXPECT_EQ(handled.back(), "after");
}

TEST(RecentEntriesFeed, ADatagramWaitsWhileAnotherEventIsUnderWay) {
    Recorder rec;
    const int port = vek::test::freePort(SOCK_DGRAM);
    RecentEntriesFeed feed(port, rec.handler());
    bool busy = true;
    feed.setReadyCheck([&] { return !busy; });
    Socket sender;
    sender.sendTo(port, "one");
    sender.sendTo(port, "two");
    // The events run (as a scan's painting lets them) but the datagrams are not handled inside.
    processUntil([] { return false; }, 100);
    EXPECT_TRUE(rec.datagrams.empty());
    busy = false;
    ASSERT_TRUE(processUntil([&] { return rec.datagrams.size() == 2; }));
    EXPECT_EQ(rec.datagrams, (std::vector<std::string>{"one", "two"}));
}

TEST(RecentEntriesFeed, SendToSelfReturnsOnceTheDatagramWasHandled) {
    Recorder rec;
    const int port = vek::test::freePort(SOCK_DGRAM);
    RecentEntriesFeed feed(port, [&](std::string_view d) {
        rec.handler()(d);
        throw std::runtime_error("a handler's error stays inside");
    });
    for (const std::string& text : {std::string("{\"a\":1}"), std::string("\xe3o", 2), std::string()}) {
        ASSERT_TRUE(feed.sendToSelf(text));
        EXPECT_EQ(rec.datagrams.back(), text);
    }
    EXPECT_EQ(rec.datagrams.size(), 3u);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
