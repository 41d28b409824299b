#include "AccessFixtures.h"

#include "access/AccessClient.h"
#include "access/ResponseCodec.h"
#include "http/HttpClient.h"
#include "support/OneShotServer.h"
#include "support/Thrown.h"
#include "json/TJSONObject.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <thread>

using namespace vek::access;
using vek::access::testing::kTwoCompanies;
using vek::access::testing::ServedClient;
using vek::http::HttpClient;
using vek::http::HttpError;
using vek::test::okHead;
using vek::test::OneShotServer;
using vek::test::sendAll;
using vek::test::TcpSocket;
using vek::test::thrown;

namespace {

// A port the system gave out a moment ago and took back: nothing listens there.
int closedPort() {
    return TcpSocket().port();
}

} // namespace

TEST(TVEKConnectionHost, AddressGivesHostPortAndBaseUrl) {
    const struct {
        const char* address;
        const char* host;
        int port;
    } cases[] = {
        {"acesso", "acesso", 8080},
        {"acesso:9090", "acesso", 9090},
        {"acesso:abc", "acesso", 8080},
        {"acesso:", "acesso", 8080},
        {"acesso:90a", "acesso", 8080},
        {"acesso: 90", "acesso", 8080},
        {"acesso:1:2", "acesso", 8080},
        // Any whole number of 32 bits is the port, whatever the network makes of it.
        {"acesso:-1", "acesso", -1},
        {"acesso:0", "acesso", 0},
        {"acesso:65536", "acesso", 65536},
        {"acesso:+81", "acesso", 81},
        {"acesso:2147483647", "acesso", 2147483647},
        {"acesso:2147483648", "acesso", 8080},
        {"acesso:99999999999", "acesso", 8080},
        {"10.0.0.5:8081", "10.0.0.5", 8081},
        {"[::1]:8081", "[::1]", 8081},
        // No scheme is expected: one is split at its own colon.
        {"http://acesso:9090", "http", 8080},
        {"https://acesso", "https", 8080},
        {"", "", 8080},
    };
    TVEKConnection client;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        client.setHost(c.address);
        EXPECT_EQ(client.Host(), c.host);
        EXPECT_EQ(client.Port(), c.port);
        EXPECT_EQ(client.BaseUrl(), "http://" + std::string(c.host) + ":" + std::to_string(c.port));
    }
    // Anything else would change what is asked of whom; the last good host stays.
    for (const char* bad : {"vek@evil.example:80", "acesso/x:9090", "ac esso"}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(client.setHost(bad), std::invalid_argument);
        EXPECT_EQ(client.Host(), "");
    }
}

TEST(TVEKConnectionHost, APortTheNetworkCannotUseListsNothing) {
    ServedClient served(ServedClient::serving(kTwoCompanies));
    // Not even the server's own port once the number is cut to 16 bits.
    for (const std::int64_t port : {std::int64_t{0}, std::int64_t{-1}, served.port + std::int64_t{65536}}) {
        SCOPED_TRACE(port);
        served.client->setHost("127.0.0.1:" + std::to_string(port));
        served.client->LoadDatabaseList();
        EXPECT_TRUE(served.client->Offline());
        EXPECT_EQ(served.client->CompanyCount(), 0);
    }
    EXPECT_EQ(served.server->listRequests(), 0);
}

TEST(TVEKConnectionList, StartsOfflineAndLoadsTheServersCompanies) {
    ServedClient served(ServedClient::serving(kTwoCompanies));
    TVEKConnection& client = *served.client;
    EXPECT_TRUE(client.Offline());
    EXPECT_EQ(client.CompanyCount(), 0);
    EXPECT_EQ(client.SelectedDatabase(), nullptr);

    client.LoadDatabaseList();
    EXPECT_FALSE(client.Offline());
    ASSERT_EQ(client.CompanyCount(), 2);
    EXPECT_EQ(client.Company(0).name, "Cal\xE7"
                                      "ados Vale");
    EXPECT_EQ(client.Company(1).code, 2);
    const TDatabaseInfo* main = TVEKConnection::FindDatabase(client.Company(0), TDatabaseKind::G, 0, false);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(main->host, "srv01:/dados/vale.fdb");
    EXPECT_EQ(main->password, "pw-vale");
    EXPECT_THROW(client.Company(2), std::out_of_range);
    EXPECT_THROW(client.Company(-1), std::out_of_range);
}

TEST(TVEKConnectionList, EveryOffsetOfTheServerDecodes) {
    // The server picks a fresh offset per answer; many answers cross the table's end.
    ServedClient served(ServedClient::serving(kTwoCompanies));
    for (int i = 0; i < 40; ++i) {
        served.client->LoadDatabaseList();
        ASSERT_FALSE(served.client->Offline()) << "answer " << i;
        ASSERT_EQ(served.client->CompanyCount(), 2);
    }
    EXPECT_EQ(served.server->listRequests(), 40);
}

TEST(TVEKConnectionList, EmptyArrayIsOnlineWithNoCompanies) {
    ServedClient served(ServedClient::serving("[]"));
    served.client->LoadDatabaseList();
    EXPECT_FALSE(served.client->Offline());
    EXPECT_EQ(served.client->CompanyCount(), 0);
}

TEST(TVEKConnectionList, FailuresLeaveNoCompaniesAndOffline) {
    struct Case {
        const char* name;
        AccessServer::Options options;
    };
    std::vector<Case> cases;
    {
        Case c{"a company without bancos", ServedClient::serving(R"([{"codigo":1,"nome":"E"}])")};
        cases.push_back(c);
    }
    {
        Case c{"wrong system key (401)", ServedClient::serving(kTwoCompanies)};
        c.options.password = "another key";
        cases.push_back(c);
    }
    {
        Case c{"wrong user name (401)", ServedClient::serving(kTwoCompanies)};
        c.options.userName = "outro";
        cases.push_back(c);
    }
    {
        Case c{"plain answer where an encoded one is due", ServedClient::serving(kTwoCompanies)};
        c.options.encrypt = false;
        cases.push_back(c);
    }
    {
        Case c{"not a list", ServedClient::serving("{\"erro\":1}")};
        cases.push_back(c);
    }
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        ServedClient served(std::move(c.options));
        TVEKConnection& client = *served.client;
        // A good listing first, so that the failure has something to empty.
        AccessServer good(ServedClient::serving(kTwoCompanies));
        const int goodPort = good.start("127.0.0.1", 0);
        client.setHost("127.0.0.1:" + std::to_string(goodPort));
        client.LoadDatabaseList();
        ASSERT_EQ(client.CompanyCount(), 2);
        const TDatabaseInfo* held = client.Company(0).databases.at(1).get();
        client.setSelectedDatabase(held);

        client.setHost("127.0.0.1:" + std::to_string(served.port));
        EXPECT_NO_THROW(client.LoadDatabaseList());
        EXPECT_TRUE(client.Offline());
        EXPECT_EQ(client.CompanyCount(), 0);
        // Entries of the earlier listing live on.
        ASSERT_EQ(client.SelectedDatabase(), held);
        EXPECT_EQ(held->host, "srv01:/dados/teste.fdb");
        EXPECT_EQ(held->company->name, "Cal\xE7"
                                       "ados Vale");
    }
}

TEST(TVEKConnectionList, AnotherSystemLoadsNothingFromAServerThatAnswers) {
    // The server answers anyone with a good list: only the system rule can leave it empty.
    const std::string list = EncodeResponse(kTwoCompanies, 7);
    for (const TSistema sistema : {TSistema::Sistema2, TSistema::Sistema3, TSistema::Sistema4, TSistema::VEK}) {
        SCOPED_TRACE(static_cast<int>(sistema));
        OneShotServer server([&](int c) { sendAll(c, okHead(list.size()) + list); });
        TVEKConnection client;
        client.setSistema(sistema);
        client.setHost(server.address());
        client.LoadDatabaseList();
        EXPECT_TRUE(server.requested());
        const bool vek = sistema == TSistema::VEK;
        EXPECT_EQ(client.Offline(), !vek);
        EXPECT_EQ(client.CompanyCount(), vek ? 2 : 0);
    }
}

TEST(TVEKConnectionList, UnreachableServerIsOffline) {
    // A port that was just free: nothing listens there any more.
    int port = 0;
    {
        AccessServer closed(ServedClient::serving("[]"));
        port = closed.start("127.0.0.1", 0);
    }
    TVEKConnection client;
    client.setHost("127.0.0.1:" + std::to_string(port));
    client.LoadDatabaseList();
    EXPECT_TRUE(client.Offline());
    EXPECT_EQ(client.CompanyCount(), 0);
}

TEST(TVEKConnectionList, PlainAnswersWhenEncryptIsOff) {
    AccessServer::Options options = ServedClient::serving(kTwoCompanies);
    options.encrypt = false;
    ServedClient served(std::move(options));
    served.client->setEncrypt(false);
    served.client->LoadDatabaseList();
    EXPECT_FALSE(served.client->Offline());
    EXPECT_EQ(served.client->CompanyCount(), 2);
}

TEST(TVEKConnectionList, ServerAsksForCredentialsWithoutThem) {
    ServedClient served(ServedClient::serving("[]"));
    HttpClient http;
    const std::string url = served.client->BaseUrl() + kListPath;
    const auto unauthorised = thrown<HttpError>([&] { http.get(url); });
    ASSERT_TRUE(unauthorised) << "answered without credentials";
    EXPECT_EQ(unauthorised->status(), 401);
    EXPECT_EQ(std::string(unauthorised->what()).find(kVekSystemKey), std::string::npos);
    http.setCredentials(kVekUserName, "wrong");
    const auto wrongKey = thrown<HttpError>([&] { http.get(url); });
    ASSERT_TRUE(wrongKey) << "answered with a wrong key";
    EXPECT_EQ(wrongKey->status(), 401);
    EXPECT_EQ(std::string(wrongKey->what()).find("wrong"), std::string::npos);
    http.setCredentials(kVekUserName, kVekSystemKey);
    EXPECT_EQ(DecodeResponse(http.get(url)), "[]");
}

TEST(TVEKConnectionRefresh, NothingIsSentWhileTheLoginIsEmpty) {
    ServedClient served(ServedClient::serving(kTwoCompanies), std::chrono::milliseconds(10));
    served.client->LoadDatabaseList();
    ASSERT_FALSE(served.client->Offline());
    served.client->setSelectedDatabase(served.client->Company(0).databases.at(0).get());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(served.server->refreshLog().count, 0);
}

TEST(TVEKConnectionRefresh, AFilledLoginIsRefreshedWithItsRecord) {
    ServedClient served(ServedClient::serving(kTwoCompanies), std::chrono::milliseconds(10));
    // Offline: not even a filled login is refreshed.
    served.client->setLogin({"maria", "producao", "turno 1"});
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(served.server->refreshLog().count, 0);

    served.client->LoadDatabaseList();
    served.client->setSelectedDatabase(served.client->Company(1).databases.at(0).get());
    for (int i = 0; i < 300 && served.server->refreshLog().count < 2; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const AccessServer::RefreshLog log = served.server->refreshLog();
    ASSERT_GE(log.count, 2);
    EXPECT_EQ(log.lastPath, std::string(kRefreshPath) + "/maria");
    const vek::json::TJSONObject body(log.lastBody);
    EXPECT_EQ(body.keyList(),
              (std::vector<std::string>{"username", "group", "database", "computer", "system", "info"}));
    EXPECT_EQ(body.requireText("username"), "maria");
    EXPECT_EQ(body.requireText("group"), "producao");
    EXPECT_EQ(body.requireText("database"), "21");
    EXPECT_EQ(body.requireInteger("system"), 5);
    EXPECT_EQ(body.requireText("info"), "turno 1");
}

TEST(TVEKConnectionRefresh, DestructionStopsTheThreadPromptly) {
    const auto started = std::chrono::steady_clock::now();
    { TVEKConnection client; }
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(1000));
}

TEST(AccessClientFactory, GivesTheStartUpWhatItNeeds) {
    AccessServer server(ServedClient::serving(kTwoCompanies));
    const int port = server.start("127.0.0.1", 0);
    std::unique_ptr<vek::AccessClient> client = vek::makeAccessClient();
    EXPECT_THROW(client->SelectedDatabase(), std::runtime_error);

    client->setHost("127.0.0.1:" + std::to_string(port));
    client->LoadDatabaseList();
    ASSERT_EQ(client->CompanyCount(), 2);
    const vek::ListedDatabase main = client->FindDatabase(client->Company(0), "G", 0, false);
    EXPECT_EQ(main.host, "srv01:/dados/vale.fdb");
    EXPECT_EQ(main.password, "pw-vale");
    EXPECT_EQ(client->FindDatabase(client->Company(0), "C", 0, false).host, "srv01:/dados/catalogo.fdb");
    EXPECT_THROW(client->FindDatabase(client->Company(1), "C", 0, false), std::runtime_error);
    EXPECT_THROW(client->Company(2), std::out_of_range);

    const vek::ListedDatabase other = client->FindDatabase(client->Company(1), "G", 0, false);
    client->setSelectedDatabase(other);
    EXPECT_EQ(client->SelectedDatabase().host, "srv02:/dados/sul.fdb");
    EXPECT_EQ(client->SelectedDatabase().password, "pw-sul");

    client->setHost("127.0.0.1:" + std::to_string(closedPort()));
    client->LoadDatabaseList();
    EXPECT_EQ(client->CompanyCount(), 0);
    EXPECT_THROW(client->Company(0), std::out_of_range);
}
