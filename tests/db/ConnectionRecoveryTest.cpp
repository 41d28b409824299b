// Connections that lose their server, errors that must not cost the attachment, and lock waits.
// These tests stop and start a database server of their own, never the shared one.
#include "db/Connection.h"
#include "db/DbError.h"
#include "db/Query.h"
#include "db/ScriptRunner.h"
#include "support/PrivateServer.h"
#include "support/TcpProxy.h"
#include "support/TestDb.h"

#include <gtest/gtest.h>

#include <ibase.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace vek;
using namespace vek::db;
using vek::test::Schema;
using vek::test::TestDb;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

class PrivateServer : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_server = std::make_unique<test::PrivateServer>(); }
    static void TearDownTestSuite() { s_server.reset(); }
    static test::PrivateServer& server() { return *s_server; }

    void SetUp() override {
        ASSERT_TRUE(s_server) << "the server did not start";
        server().start(); // when a failed test left it stopped
        auto c = connect();
        runScript(*c, "create table T (ID integer not null primary key, TXT varchar(20));\n"
                      "create generator G_T;\n");
    }

    std::unique_ptr<Connection> connect() const {
        auto c = std::make_unique<Connection>();
        c->setDatabase(server().location(m_db));
        c->setPassword(test::serverPassword());
        return c;
    }

    // The test database through a relay that the test can silence.
    std::string locationThrough(const test::TcpProxy& proxy) const {
        return "127.0.0.1/" + std::to_string(proxy.port()) + ":" + m_db.path();
    }
    std::unique_ptr<Connection> connectThrough(const test::TcpProxy& proxy) const {
        auto c = connect();
        c->setDatabase(locationThrough(proxy));
        return c;
    }

    static std::int64_t attachmentId(Connection& c) {
        Query q(c);
        q.setSql("select current_connection as ID from rdb$database");
        q.open();
        return q.field("ID").asInt64();
    }

    TestDb m_db{Schema::Empty};
    static std::unique_ptr<test::PrivateServer> s_server;
};

std::unique_ptr<test::PrivateServer> PrivateServer::s_server;

TEST_F(PrivateServer, StatementAfterTheServerCameBackRunsOnTheSameObjects) {
    // Which call meets the dead connection first; `inTransaction` opens an explicit transaction
    // (with a row of its own) before the server goes.
    struct Case {
        const char* what;
        bool inTransaction;
        std::function<void(Connection&, Query& sel, Query& ins)> fail;
    };
    const Case cases[] = {
        {"select", false, [](Connection&, Query& sel, Query&) { sel.open(); }},
        {"insert", false,
         [](Connection&, Query&, Query& ins) {
             ins.param("ID").setInt(90);
             ins.execSql();
         }},
        {"prepare of a new statement", false,
         [](Connection& c, Query&, Query&) {
             Query q(c);
             q.setSql("select TXT from T");
             q.prepare();
         }},
        {"statement text run as it stands", false,
         [](Connection& c, Query&, Query&) { c.executeImmediate("update T set TXT = 'x'"); }},
        {"generator", false, [](Connection& c, Query&, Query&) { c.nextGeneratorValue("G_T"); }},
        {"start of a transaction", false, [](Connection& c, Query&, Query&) { c.startTransaction(); }},
        {"statement inside a transaction", true,
         [](Connection&, Query&, Query& ins) {
             ins.param("ID").setInt(91);
             ins.execSql();
         }},
        {"commit", true, [](Connection& c, Query&, Query&) { c.commit(); }},
    };
    int id = 0;
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        auto c = connect();
        Query sel(*c);
        sel.setSql("select count(*) as N from T where ID < :LIMIT");
        sel.param("LIMIT").setInt(50);
        Query ins(*c);
        ins.setSql("insert into T (ID) values (:ID)");
        ins.param("ID").setInt(++id);
        ins.execSql();
        sel.open();
        const int before = sel.field("N").asInt();
        if (k.inTransaction) {
            c->startTransaction();
            ins.param("ID").setInt(60);
            ins.execSql();
        }

        server().stop();
        try {
            k.fail(*c, sel, ins);
            ADD_FAILURE() << "a statement on a stopped server succeeded";
        } catch (const DbError& e) {
            EXPECT_TRUE(e.isConnectionLost()) << e.what();
        }
        EXPECT_FALSE(c->isOpen()) << "the dead attachment is dropped";
        EXPECT_EQ(c->inTransaction(), k.inTransaction) << "a lost transaction stays until rolled back";
        EXPECT_FALSE(sel.isPrepared());
        EXPECT_FALSE(ins.isPrepared());
        EXPECT_FALSE(sel.isActive());
        // While the server is down every statement fails; none is stuck on the old handle.
        EXPECT_THROW(sel.open(), DbError);
        EXPECT_FALSE(c->isOpen());

        server().start();
        if (k.inTransaction) {
            // The unit of work that lost its transaction must not go on in transactions of its own.
            ins.param("ID").setInt(61);
            EXPECT_THROW(ins.execSql(), DbError);
            EXPECT_THROW(c->startTransaction(), DbError);
            c->rollback();
        }
        ins.param("ID").setInt(++id);
        EXPECT_EQ(ins.execSql(), 1u);
        sel.open();
        EXPECT_EQ(sel.field("N").asInt(), before + 1);
        EXPECT_TRUE(sel.isPrepared());
        EXPECT_TRUE(c->isOpen());
        EXPECT_FALSE(c->inTransaction());
        Query lost(*c);
        lost.setSql("select count(*) as N from T where ID >= 60");
        lost.open();
        EXPECT_EQ(lost.field("N").asInt(), 0) << "the interrupted transaction's row was not committed";
        c->startTransaction();
        ins.param("ID").setInt(++id);
        ins.execSql();
        c->commit();
        sel.open();
        EXPECT_EQ(sel.field("N").asInt(), before + 2);
    }
}

TEST_F(PrivateServer, AnAttachmentEndedByTheServerIsReplacedAtTheNextStatement) {
    // The server ends the attachment while it keeps running (an administrator, a monitoring tool).
    // Dropping the ended attachment must not wait: the server, having ended it, may never answer
    // the rollback its kept transaction's release asks for. The deadline bounds the rest.
    auto c = connect();
    c->setAnswerDeadline(10s);
    Query sel(*c);
    sel.setSql("select count(*) as N from T");
    sel.open();
    const std::int64_t ended = attachmentId(*c);
    connect()->executeImmediate("delete from MON$ATTACHMENTS where MON$ATTACHMENT_ID = " + std::to_string(ended));
    try {
        sel.open();
        ADD_FAILURE() << "a statement on an ended attachment succeeded";
    } catch (const DbError& e) {
        EXPECT_TRUE(e.isConnectionLost()) << e.what();
    }
    EXPECT_FALSE(c->isOpen());
    sel.open();
    EXPECT_EQ(sel.field("N").asInt(), 0);
    EXPECT_NE(attachmentId(*c), ended);
}

TEST_F(PrivateServer, ACallWithoutAnAnswerIsAbandonedAtTheDeadline) {
    // The network goes silent (nothing closed, nothing forwarded) while a call waits on the server.
    struct Case {
        const char* what;
        bool inTransaction;
        std::function<void(Connection&, Query& sel)> fail;
    };
    const Case cases[] = {
        {"select", false, [](Connection&, Query& sel) { sel.open(); }},
        {"commit", true, [](Connection& c, Query&) { c.commit(); }},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        test::TcpProxy proxy(server().port());
        auto c = connectThrough(proxy);
        c->setAnswerDeadline(2s);
        Query sel(*c);
        sel.setSql("select count(*) as N from T");
        sel.open();
        if (k.inTransaction) {
            c->startTransaction();
        }

        proxy.pause();
        proxy.resumeAfter(20s);
        const auto start = Clock::now();
        try {
            k.fail(*c, sel);
            ADD_FAILURE() << "a call through a silent network succeeded";
        } catch (const DbError& e) {
            EXPECT_TRUE(e.isNoAnswer()) << e.what();
            EXPECT_TRUE(e.isConnectionLost()) << e.what();
        }
        const auto waited = Clock::now() - start;
        EXPECT_GE(waited, 1s) << "ended by something else than the deadline";
        EXPECT_LT(waited, 8s);
        EXPECT_FALSE(c->isOpen()) << "the cut attachment is dropped";
        EXPECT_EQ(c->inTransaction(), k.inTransaction) << "a lost transaction stays until rolled back";

        proxy.resume();
        if (k.inTransaction) {
            EXPECT_THROW(sel.open(), DbError);
            c->rollback();
        }
        // (A commit without an answer is in doubt: the relay delivers it on resuming, and the
        // server commits it.)
        sel.open();
        EXPECT_EQ(sel.field("N").asInt(), 0);
        EXPECT_TRUE(c->isOpen());
        EXPECT_EQ(proxy.accepted(), 2) << "the next statement attached again, through the relay";
    }
}

TEST_F(PrivateServer, AnAttachWithoutAnAnswerEndsWithinTheConnectTimeout) {
    // Silent from the start (the client's own timeout), and silent after the server's first answer
    // (which the client's timeout does not cover); the probe meets the same.
    for (bool afterFirstAnswer : {false, true}) {
        SCOPED_TRACE(afterFirstAnswer ? "silent after the first answer" : "silent from the start");
        test::TcpProxy proxy(server().port());
        auto silence = [&] {
            afterFirstAnswer ? proxy.pauseAfterReply() : proxy.pause();
            proxy.resumeAfter(20s);
        };
        auto c = connectThrough(proxy);
        EXPECT_EQ(c->connectTimeout(), Connection::kDefaultConnectTimeoutSeconds);
        c->setConnectTimeout(2);
        silence();
        auto start = Clock::now();
        try {
            c->open();
            ADD_FAILURE() << "an attach through a silent network succeeded";
        } catch (const DbError& e) {
            EXPECT_TRUE(e.isNoAnswer()) << e.what();
            EXPECT_TRUE(e.isConnectionLost()) << e.what();
        }
        EXPECT_LT(Clock::now() - start, 7s);
        EXPECT_FALSE(c->isOpen());

        proxy.resume();
        silence();
        start = Clock::now();
        EXPECT_THROW(probeDatabase(locationThrough(proxy), "sysdba", test::serverPassword(), 2), DbError);
        EXPECT_LT(Clock::now() - start, 7s);

        proxy.resume();
        EXPECT_NO_THROW(probeDatabase(locationThrough(proxy), "sysdba", test::serverPassword(), 2));
        EXPECT_GT(attachmentId(*c), 0) << "the connection attaches once the network answers";
    }
}

// A server that is stopping refuses attaches as a passing fault, the station's connection lost; a
// wrong password stays a fault of the settings.
TEST_F(PrivateServer, AnAttachRefusedWhileTheServerStopsIsALostConnectionAWrongPasswordIsNot) {
    auto c = connect();
    c->setPassword("not-the-password");
    try {
        c->open();
        ADD_FAILURE() << "attached with a wrong password";
    } catch (const DbError& e) {
        EXPECT_FALSE(e.isConnectionLost()) << e.what();
    }
    for (std::intptr_t code : {isc_login_error, isc_connect_reject}) {
        const DbError refused("refused", {isc_arg_gds, code, isc_arg_end});
        EXPECT_TRUE(refused.isConnectionLost()) << code;
    }
}

TEST_F(PrivateServer, ClosingAConnectionThatIsGone) {
    // Closing (and destroying) a connection whose server went away, with and without a transaction
    // and an open query: nothing is raised from the destructor, and closing twice is harmless.
    for (bool inTransaction : {false, true}) {
        SCOPED_TRACE(inTransaction ? "in a transaction" : "no transaction");
        auto c = connect();
        Query q(*c);
        q.setSql("select ID from T");
        q.open();
        if (inTransaction) {
            c->startTransaction();
            c->executeImmediate("insert into T (ID) values (70)");
        }
        server().stop();
        try {
            c->close();
        } catch (const DbError& e) {
            EXPECT_TRUE(e.isConnectionLost()) << e.what();
        }
        EXPECT_FALSE(c->isOpen());
        EXPECT_FALSE(c->inTransaction());
        EXPECT_FALSE(q.isActive());
        EXPECT_NO_THROW(c->close());
        server().start();
        q.open();
        EXPECT_TRUE(q.eof()) << "the transaction's row went with the server";
        if (inTransaction) {
            c->startTransaction();
        }
        server().stop();
        c.reset(); // the destructor meets the dead connection
        EXPECT_FALSE(q.isPrepared());
        EXPECT_THROW(q.open(), DbError) << "the query outlived its connection";
        server().start();
    }
}

TEST_F(PrivateServer, OtherErrorsKeepTheAttachmentAndItsStatements) {
    auto c = connect();
    Query ins(*c);
    ins.setSql("insert into T (ID, TXT) values (:ID, :TXT)");
    ins.param("ID").setInt(1);
    ins.param("TXT").setString("one");
    ins.execSql();
    Query sel(*c);
    sel.setSql("select count(*) as N from T");
    sel.open();
    const std::int64_t attachment = attachmentId(*c);

    struct Case {
        const char* what;
        std::function<void()> fail;
    };
    const Case cases[] = {
        {"syntax error",
         [&] {
             Query q(*c);
             q.setSql("selec ID from T");
             q.open();
         }},
        {"unknown column",
         [&] {
             Query q(*c);
             q.setSql("select NOPE from T");
             q.open();
         }},
        {"primary key violation",
         [&] {
             ins.param("ID").setInt(1);
             ins.execSql();
         }},
        {"value too long for the column",
         [&] {
             ins.param("ID").setInt(2);
             ins.param("TXT").setString(std::string(30, 'x'));
             ins.execSql();
         }},
        {"conversion error", [&] { c->executeImmediate("update T set ID = cast('x' as integer)"); }},
    };
    for (bool inTransaction : {false, true}) {
        for (const Case& k : cases) {
            SCOPED_TRACE(std::string(k.what) + (inTransaction ? " in a transaction" : ""));
            if (inTransaction) {
                c->startTransaction();
            }
            try {
                k.fail();
                ADD_FAILURE() << "the faulty statement succeeded";
            } catch (const DbError& e) {
                EXPECT_FALSE(e.isConnectionLost()) << e.what();
            }
            EXPECT_TRUE(c->isOpen());
            EXPECT_TRUE(ins.isPrepared());
            EXPECT_TRUE(sel.isPrepared());
            EXPECT_EQ(c->inTransaction(), inTransaction) << "the explicit transaction stays the caller's";
            EXPECT_EQ(attachmentId(*c), attachment);
            if (inTransaction) {
                c->rollback();
            }
        }
    }
    sel.open();
    EXPECT_EQ(sel.field("N").asInt(), 1);
}

TEST_F(PrivateServer, LockWaitEndsWithTheErrorAndTheConnectionGoesOn) {
    auto setup = connect();
    setup->executeImmediate("insert into T (ID, TXT) values (1, 'a')");
    setup->executeImmediate("insert into T (ID, TXT) values (2, 'b')");

    auto holder = connect();
    holder->startTransaction();
    Query hold(*holder);
    hold.setSql("update T set TXT = 'held' where ID = 1");
    hold.execSql();

    auto waiter = connect();
    EXPECT_EQ(waiter->lockTimeout(), Connection::kDefaultLockTimeoutSeconds);
    EXPECT_EQ(Connection::kDefaultLockTimeoutSeconds, 10);
    // The timeout the server applies to the connection's transactions, per setting.
    Query timeout(*waiter);
    timeout.setSql("select MON$LOCK_TIMEOUT as T from MON$TRANSACTIONS where MON$TRANSACTION_ID = CURRENT_TRANSACTION");
    for (int seconds : {Connection::kDefaultLockTimeoutSeconds, 1}) {
        SCOPED_TRACE(seconds);
        waiter->setLockTimeout(seconds);
        timeout.open();
        EXPECT_EQ(timeout.field("T").asInt(), seconds);
    }

    const std::int64_t attachment = attachmentId(*waiter);
    Query upd(*waiter);
    upd.setSql("update T set TXT = :TXT where ID = :ID");
    upd.param("ID").setInt(1);
    upd.param("TXT").setString("waiter");
    try {
        upd.execSql();
        ADD_FAILURE() << "update of a locked row succeeded";
    } catch (const DbError& e) {
        EXPECT_TRUE(e.isLockConflict()) << e.what();
        EXPECT_FALSE(e.isConnectionLost()) << e.what();
    }
    EXPECT_TRUE(waiter->isOpen());
    EXPECT_TRUE(upd.isPrepared());
    EXPECT_FALSE(waiter->inTransaction());
    EXPECT_EQ(attachmentId(*waiter), attachment);

    upd.param("ID").setInt(2);
    EXPECT_EQ(upd.execSql(), 1u) << "a row nobody holds is updated at once";
    holder->rollback();
    upd.param("ID").setInt(1);
    EXPECT_EQ(upd.execSql(), 1u) << "the row is free once its holder has ended";

    Query check(*setup);
    check.setSql("select count(*) as N from T where TXT = 'waiter'");
    check.open();
    EXPECT_EQ(check.field("N").asInt(), 2);
}

} // namespace
