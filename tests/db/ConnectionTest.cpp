#include "db/Connection.h"
#include "db/DbError.h"
#include "db/Query.h"
#include "db/ScriptRunner.h"
#include "db/UnitOfWork.h"
#include "support/TestDb.h"
#include "support/Thrown.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

using namespace vek;
using namespace vek::db;
using vek::test::Schema;
using vek::test::TestDb;
using vek::test::thrown;

namespace {

enum class Mode { Embedded, Remote };

class DbLayer : public ::testing::TestWithParam<Mode> {
protected:
    void SetUp() override {
        exec("create table T (ID integer not null primary key, TXT varchar(300), CH char(6), "
             "NUM numeric(15,3), NUM2 numeric(4,2), BIG bigint, DBL double precision, TS timestamp, "
             "DT date, BL blob sub_type 0, FLAG smallint)");
    }

    std::unique_ptr<Connection> connect() const {
        return GetParam() == Mode::Embedded ? m_db.connect() : m_db.connectRemote();
    }

    // Through the same engine as the test's connections: a file open in the server cannot also be
    // opened in-process.
    void exec(const std::string& sql) const { vek::db::runScript(*connect(), sql); }

    // Blocks until a statement containing `marker` is running on the server, i.e. waiting for the lock.
    void waitUntilRunning(const std::string& marker) {
        auto probe = connect();
        Query q(*probe);
        q.setSql("select count(*) as N from MON$STATEMENTS where MON$STATE = 1 and MON$SQL_TEXT containing :M");
        q.param("M").setString(marker);
        for (int i = 0; i < 500; ++i) {
            q.open();
            if (q.field("N").asInt() > 0) {
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        FAIL() << "statement never started: " << marker;
    }

    std::int64_t count(Connection& c, const std::string& where = "1=1") {
        Query q(c);
        q.setSql("select count(*) as N from T where " + where);
        q.open();
        return q.field("N").asInt64();
    }

    TestDb m_db{Schema::Empty};
};

TEST_P(DbLayer, ParametersByNameInAnyCaseAndRepeated) {
    auto c = connect();
    Query ins(*c);
    ins.setSql("insert into T (ID, TXT, BIG) values (:id, :Txt, :ID * 10)");
    ins.param("ID").setInt(7);
    ins.param("txt").setString("seven: 7");
    EXPECT_EQ(ins.execSql(), 1u);

    Query q(*c);
    q.setSql("select TXT, BIG, ':ID' as LIT from T where ID = :Id and TXT = :TXT -- :NOT_A_PARAM");
    EXPECT_EQ(q.params().size(), 2u);
    q.param("id").setInt(7);
    q.param("TXT").setString("seven: 7");
    q.open();
    ASSERT_FALSE(q.eof());
    EXPECT_EQ(q.field("txt").asString(), "seven: 7");
    EXPECT_EQ(q.field("Big").asInt64(), 70);
    EXPECT_EQ(q.field("LIT").asString(), ":ID");
    EXPECT_THROW(q.param("NOPE"), DbError);
    EXPECT_THROW(q.field("NOPE"), DbError);
}

TEST_P(DbLayer, EveryColumnTypeRoundTrips) {
    auto c = connect();
    std::string bytes;
    for (int i = 1; i < 256; ++i) {
        bytes.push_back(static_cast<char>(i));
    }
    std::string blob(1024 * 1024, '\0');
    for (std::size_t i = 0; i < blob.size(); ++i) {
        blob[i] = static_cast<char>((i * 7919) & 0xFF);
    }
    const DateTime ts = DateTime::fromDateTime(2024, 3, 5, 17, 45, 12, 340);

    Query ins(*c);
    ins.setSql("insert into T (ID, TXT, CH, NUM, NUM2, BIG, DBL, TS, DT, BL, FLAG) "
               "values (:ID, :TXT, :CH, :NUM, :NUM2, :BIG, :DBL, :TS, :DT, :BL, :FLAG)");
    ins.param("ID").setInt(1);
    ins.param("TXT").setString(bytes);
    ins.param("CH").setString("ab");
    ins.param("NUM").setDecimal(Decimal{-1234567891, 3});
    ins.param("NUM2").setString("12.34");
    ins.param("BIG").setInt64(9000000000123LL);
    ins.param("DBL").setDouble(0.1);
    ins.param("TS").setDateTime(ts);
    ins.param("DT").setDate(ts);
    ins.param("BL").setBlob(blob);
    ins.param("FLAG").setNull();
    ins.execSql();

    Query q(*c);
    q.setSql("select * from T where ID = 1");
    q.open();
    EXPECT_EQ(q.field("TXT").asString(), bytes);
    EXPECT_EQ(q.field("CH").asString(), "ab    ") << "CHAR keeps its trailing blanks";
    EXPECT_EQ(q.field("NUM").asString(), "-1234567.891");
    EXPECT_EQ(std::get<Decimal>(q.field("NUM").storage()), (Decimal{-1234567891, 3}));
    EXPECT_EQ(q.field("NUM2").asString(), "12.34");
    EXPECT_EQ(q.field("BIG").asInt64(), 9000000000123LL);
    EXPECT_DOUBLE_EQ(q.field("DBL").asDouble(), 0.1);
    EXPECT_EQ(q.field("TS").asDateTime(), ts);
    EXPECT_EQ(q.field("DT").asDateTime(), ts.datePart());
    EXPECT_EQ(q.field("BL").asBlob().size(), blob.size());
    EXPECT_TRUE(q.field("BL").asBlob() == blob);
    EXPECT_TRUE(q.field("FLAG").isNull());
    EXPECT_EQ(q.field("FLAG").asInt(), 0);
}

TEST_P(DbLayer, PreparedOnceExecutedManyTimes) {
    auto c = connect();
    Query ins(*c);
    ins.setSql("insert into T (ID, TXT) values (:ID, :TXT)");
    ins.prepare();
    for (int i = 1; i <= 20; ++i) {
        ins.param("ID").setInt(i);
        // Lengths vary so the bound format is rebuilt and reused.
        ins.param("TXT").setString(std::string(static_cast<std::size_t>(i * 13), 'x'));
        ins.execSql();
    }
    Query upd(*c);
    upd.setSql("update T set TXT = 'y' where ID > :N");
    upd.param("N").setInt(15);
    EXPECT_EQ(upd.execSql(), 5u);
    EXPECT_EQ(upd.rowsAffected(), 5u);
    Query del(*c);
    del.setSql("delete from T where ID = :N");
    del.param("N").setInt(99);
    EXPECT_EQ(del.execSql(), 0u);
    EXPECT_EQ(count(*c), 20);
}

TEST_P(DbLayer, StatementOutsideTransactionCommitsAtOnce) {
    auto a = connect();
    auto b = connect();
    Query ins(*a);
    ins.setSql("insert into T (ID) values (1)");
    ins.execSql();
    EXPECT_FALSE(a->inTransaction());
    EXPECT_EQ(count(*b), 1);
}

TEST_P(DbLayer, ExplicitTransactionRollbackRemovesEverything) {
    auto a = connect();
    auto b = connect();
    a->startTransaction();
    EXPECT_TRUE(a->inTransaction());
    Query ins(*a);
    ins.setSql("insert into T (ID) values (:ID)");
    for (int i = 1; i <= 3; ++i) {
        ins.param("ID").setInt(i);
        ins.execSql();
    }
    EXPECT_EQ(count(*a), 3) << "statements inside the transaction see its rows";
    EXPECT_EQ(count(*b), 0) << "another connection does not";
    a->rollback();
    EXPECT_FALSE(a->inTransaction());
    EXPECT_EQ(count(*a), 0);
    EXPECT_THROW(a->commit(), DbError);
}

TEST_P(DbLayer, ReadCommittedSeesAnotherConnectionsCommit) {
    auto a = connect();
    auto b = connect();
    a->startTransaction();
    EXPECT_EQ(count(*a), 0);
    b->startTransaction();
    Query ins(*b);
    ins.setSql("insert into T (ID) values (5)");
    ins.execSql();
    EXPECT_EQ(count(*a), 0);
    b->commit();
    EXPECT_EQ(count(*a), 1);
    a->commit();
}

TEST_P(DbLayer, LockedRowWaitsThenSucceedsOrTimesOut) {
    exec("insert into T (ID, TXT) values (1, 'a')");
    auto holder = connect();
    holder->startTransaction();
    Query hold(*holder);
    hold.setSql("update T set TXT = 'held' where ID = 1");
    hold.execSql();

    // The lock goes while the other connection waits: its update succeeds.
    auto waiter = connect();
    waiter->setLockTimeout(10);
    auto result = std::async(std::launch::async, [&] {
        Query upd(*waiter);
        upd.setSql("update T set TXT = 'waited' where ID = 1");
        return upd.execSql();
    });
    waitUntilRunning("'waited'");
    EXPECT_EQ(result.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout) << "the update waits";
    holder->rollback();
    EXPECT_EQ(result.get(), 1u);

    // The holder commits while the other waits: the server reports the conflict, it is not lost.
    holder->startTransaction();
    hold.execSql();
    auto second = std::async(std::launch::async, [&] {
        Query upd(*waiter);
        upd.setSql("update T set TXT = 'second' where ID = 1");
        return upd.execSql();
    });
    waitUntilRunning("'second'");
    EXPECT_EQ(second.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
    holder->commit();
    const auto conflict = thrown<DbError>([&] { second.get(); });
    ASSERT_TRUE(conflict) << "update over a concurrent commit succeeded";
    EXPECT_TRUE(conflict->isLockConflict()) << conflict->what();

    // The lock stays: the update fails with the lock-conflict error after the timeout.
    holder->startTransaction();
    hold.execSql();
    auto impatient = connect();
    impatient->setLockTimeout(2);
    Query upd(*impatient);
    upd.setSql("update T set TXT = 'never' where ID = 1");
    const auto start = std::chrono::steady_clock::now();
    const auto timedOut = thrown<DbError>([&] { upd.execSql(); });
    ASSERT_TRUE(timedOut) << "update of a locked row succeeded";
    EXPECT_TRUE(timedOut->isLockConflict()) << timedOut->what();
    EXPECT_NE(std::string(timedOut->what()).find("lock"), std::string::npos) << timedOut->what();
    // The server counts the timeout in whole seconds on a one-second clock, so 2 s waits between
    // one and two seconds: long enough to tell from not waiting at all.
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(500));
    EXPECT_LT(waited, std::chrono::seconds(5));
    EXPECT_FALSE(impatient->inTransaction());
    holder->rollback();
}

TEST_P(DbLayer, ServerErrorsCarryTheServersMessage) {
    auto c = connect();
    Query q(*c);
    q.setSql("select NOPE from T");
    const auto unknownColumn = thrown<DbError>([&] { q.open(); });
    ASSERT_TRUE(unknownColumn);
    const std::string msg = unknownColumn->what();
    EXPECT_NE(msg.find("Column unknown"), std::string::npos) << msg;
    EXPECT_NE(msg.find("NOPE"), std::string::npos) << msg;
    EXPECT_NE(unknownColumn->gdsCode(), 0);
    exec("insert into T (ID) values (1)");
    Query dup(*c);
    dup.setSql("insert into T (ID) values (1)");
    const auto duplicate = thrown<DbError>([&] { dup.execSql(); });
    ASSERT_TRUE(duplicate);
    EXPECT_NE(std::string(duplicate->what()).find("PRIMARY"), std::string::npos) << duplicate->what();
    EXPECT_FALSE(c->inTransaction());
}

TEST_P(DbLayer, ConnectionReopensAfterClose) {
    auto c = connect();
    Query q(*c);
    q.setSql("select count(*) as N from T where ID > :X");
    q.param("X").setInt(0);
    q.open();
    EXPECT_TRUE(c->isOpen());
    EXPECT_TRUE(q.isPrepared());
    c->close();
    EXPECT_FALSE(c->isOpen());
    EXPECT_FALSE(q.isPrepared());
    q.open(); // opens the connection again and prepares anew
    EXPECT_TRUE(c->isOpen());
    EXPECT_EQ(q.field("N").asInt(), 0);
    c->close();
    c->close();
}

TEST_P(DbLayer, ReadsOutsideAUnitCommitNothingAndWritesCommitTheirOwn) {
    // A commit trigger that fails shows which statements commit a transaction of their own.
    exec("create exception E_NO_COMMIT 'commit refused';\n"

         "set term ^ ;\n"
         "create trigger T_NO_COMMIT on transaction commit as begin\n"
         "  if (rdb$get_context('USER_SESSION', 'REFUSE') = '1') then exception E_NO_COMMIT;\n"
         "end^\n"
         "set term ; ^\n");
    auto c = connect();
    Query refuse(*c);
    refuse.setSql("select rdb$set_context('USER_SESSION', 'REFUSE', '1') as X from rdb$database");
    EXPECT_NO_THROW(refuse.open()) << "a read shares the kept read-only transaction";
    Query q(*c);
    q.setSql("select count(*) as N from T where ID > :X");
    q.param("X").setInt(0);
    EXPECT_NO_THROW(q.prepare());
    EXPECT_NO_THROW(q.open());
    Query ins(*c);
    ins.setSql("insert into T (ID) values (1)");
    EXPECT_THROW(ins.execSql(), DbError) << "a write outside a unit commits on its own, and is refused";
    Query off(*c);
    off.setSql("select rdb$set_context('USER_SESSION', 'REFUSE', null) as X from rdb$database");
    off.open();
    q.open();
    EXPECT_EQ(q.field("N").asInt(), 0) << "the refused insert left nothing";
    EXPECT_EQ(ins.execSql(), 1u);
    q.open();
    EXPECT_EQ(q.field("N").asInt(), 1) << "the kept read transaction sees what committed since";
}

TEST_P(DbLayer, ClosingTheConnectionClosesItsQueries) {
    exec("insert into T (ID) values (1)");
    auto c = connect();
    Query q(*c);
    q.setSql("select ID from T");
    q.open();
    EXPECT_EQ(q.recordCount(), 1u);
    c->close();
    EXPECT_FALSE(q.isActive());
    EXPECT_EQ(q.recordCount(), 0u);
    EXPECT_TRUE(q.eof());
}

TEST_P(DbLayer, GeneratorsAndProcedures) {
    exec("create generator G_TEST;\n"
         "create table LOGT (A varchar(10), B timestamp);\n"
         "set term ^ ;\n"
         "create procedure P_LOG (A varchar(10), B timestamp) as\n"
         "begin\n  insert into LOGT values (:A, :B);\nend^\n"
         "set term ; ^\n");
    auto c = connect();
    EXPECT_EQ(c->nextGeneratorValue("G_TEST"), 1);
    EXPECT_EQ(c->nextGeneratorValue("G_TEST"), 2);
    EXPECT_THROW(c->nextGeneratorValue("G_TEST, 1) from rdb$database; --"), DbError);
    EXPECT_THROW(c->nextGeneratorValue(""), DbError);
    // An id column of 32 bits: the last value that fits is given, the next one raises, never wraps.
    c->executeImmediate("set generator G_TEST to 2147483646");
    EXPECT_EQ(c->nextId("G_TEST"), 2147483647);
    EXPECT_THROW(c->nextId("G_TEST"), DbError);
    Query p(*c);
    p.setSql("execute procedure P_LOG(:A, :B)");
    p.param("A").setString("x");
    p.param("B").setDateTime(DateTime::fromDate(2024, 1, 2));
    p.execSql();
    Query q(*c);
    q.setSql("select A, B from LOGT");
    q.open();
    EXPECT_EQ(q.recordCount(), 1u);
    EXPECT_EQ(q.field("A").asString(), "x");
}

INSTANTIATE_TEST_SUITE_P(Engines, DbLayer, ::testing::Values(Mode::Embedded, Mode::Remote),
                         [](const auto& info) { return info.param == Mode::Embedded ? "Embedded" : "Remote"; });

TEST(DbServer, WrongPasswordGivesTheServersText) {
    TestDb db(Schema::Empty);
    Connection c;
    c.setDatabase(db.remoteLocation());
    c.setPassword("wrong");
    const auto refused = thrown<DbError>([&] { c.open(); });
    ASSERT_TRUE(refused);
    EXPECT_NE(std::string(refused->what()).find("user name and password are not defined"), std::string::npos)
        << refused->what();
    EXPECT_FALSE(c.isOpen());
    c.setPassword("");
    EXPECT_THROW(c.open(), DbError) << "no password parameter at all";
}

} // namespace

namespace {

TEST(Values, DecimalsConvertToIntegersWithoutLosingDigits) {
    EXPECT_EQ(vek::db::Value(vek::db::Decimal{9007199254740993LL * 10 + 5, 1}).asInt64(), 9007199254740994LL);
    EXPECT_EQ(vek::db::Value(vek::db::Decimal{-25, 1}).asInt64(), -3) << "half away from zero";
    EXPECT_EQ(vek::db::Value(vek::db::Decimal{24, 1}).asInt64(), 2);
    EXPECT_EQ(vek::db::Value(vek::db::Decimal{-1234567891, 3}).asInt64(), -1234568);
    EXPECT_THROW(vek::db::Value(std::string("12a")).asInt64(), vek::db::DbError);
}

// Eight conveyors on one ticket meet one conflict after another; within the lock timeout each is
// run again, while a connection that waits without a timeout keeps its count of tries.
TEST(ConflictRetries, TheLockTimeoutBoundsTheTriesNotTheirCount) {
    Connection withTimeout;
    ConflictRetry busy(withTimeout, kConflictAttempts);
    for (int i = 0; i < 4 * kConflictAttempts; ++i) EXPECT_TRUE(busy.again(true)) << "try " << i + 2;
    EXPECT_FALSE(busy.again(false));

    Connection waitsForEver;
    waitsForEver.setLockTimeout(0);
    ConflictRetry counted(waitsForEver, kConflictAttempts);
    for (int i = 1; i < kConflictAttempts; ++i) EXPECT_TRUE(counted.again(true));
    EXPECT_FALSE(counted.again(true));
}

} // namespace
