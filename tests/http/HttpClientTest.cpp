// The HTTP client's limits on a server that answers slowly, never, or without end.
#include "http/HttpClient.h"
#include "support/OneShotServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using vek::http::HttpClient;
using vek::http::HttpError;
using vek::test::okHead;
using vek::test::OneShotServer;
using vek::test::sendAll;

namespace {

TEST(HttpClientReadTimeout, OnlySilenceEndsAnAnswerAndItsSizeStaysCapped) {
    HttpClient http;
    // Gaps well inside the timeout: a loaded machine may hold a sender's thread back for a while.
    http.setReadTimeout(std::chrono::milliseconds(3000));
    {
        // Longer in all than the timeout, but never silent that long: read to its end.
        const std::string piece(1000, 'x');
        constexpr int kPieces = 20;
        OneShotServer server([&](int c) {
            sendAll(c, okHead(kPieces * piece.size()));
            for (int i = 0; i < kPieces; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
                sendAll(c, piece);
            }
        });
        EXPECT_EQ(http.get(server.url()).size(), kPieces * piece.size());
    }
    {
        // Connected, then silent until the client gives up.
        OneShotServer server([](int c) {
            char byte = 0;
            while (::recv(c, &byte, 1, 0) > 0) {}
        });
        EXPECT_THROW(http.get(server.url()), HttpError);
    }
    {
        // An answer without end is refused at the size cap, with no time limit left to stop it.
        OneShotServer server([](int c) {
            const std::string block(64 * 1024, 'x');
            if (!sendAll(c, "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n")) return;
            while (sendAll(c, block)) {}
        });
        try {
            http.get(server.url());
            ADD_FAILURE() << "an endless answer was taken";
        } catch (const HttpError& e) {
            EXPECT_NE(std::string(e.what()).find("grande demais"), std::string::npos) << e.what();
        }
    }
}

} // namespace
