// Re-executes a prepared select by primary key and a prepared single-row update, each in its own
// committed transaction, through the database layer and through a bare loop on the client library.
#include "db/Connection.h"
#include "db/FbApi.h"
#include "db/Query.h"
#include "db/ScriptRunner.h"

#include <firebird/Interface.h>
#include <ibase.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <unistd.h>

using namespace Firebird;
using namespace vek::db;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRows = 1000;
constexpr int kIterations = 10000;

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

struct Bare {
    IAttachment* att = nullptr;
    std::vector<unsigned char> tpb;

    explicit Bare(const std::string& path) {
        fb::call([&](auto* st) {
            IXpbBuilder* dpb = fb::util()->getXpbBuilder(st, IXpbBuilder::DPB, nullptr, 0);
            dpb->insertString(st, isc_dpb_user_name, "sysdba");
            dpb->insertString(st, isc_dpb_lc_ctype, "NONE");
            att = fb::provider()->attachDatabase(st, path.c_str(), dpb->getBufferLength(st), dpb->getBuffer(st));
            dpb->dispose();
            IXpbBuilder* t = fb::util()->getXpbBuilder(st, IXpbBuilder::TPB, nullptr, 0);
            t->insertTag(st, isc_tpb_write);
            t->insertTag(st, isc_tpb_read_committed);
            t->insertTag(st, isc_tpb_rec_version);
            t->insertTag(st, isc_tpb_wait);
            t->insertInt(st, isc_tpb_lock_timeout, 30);
            tpb.assign(t->getBuffer(st), t->getBuffer(st) + t->getBufferLength(st));
            t->dispose();
        });
    }
    ~Bare() {
        fb::call([&](auto* st) { att->detach(st); });
    }

    // The same work as the layer: one transaction per execution, the row fetched and decoded.
    double selectLoop() {
        return fb::call([&](auto* st) {
            ITransaction* tra = att->startTransaction(st, tpb.size(), tpb.data());
            IStatement* stmt = att->prepare(st, tra, 0, "select ID, NAME, QTY from ITEMS where ID = ?", 3,
                                            IStatement::PREPARE_PREFETCH_METADATA);
            tra->commit(st);
            IMessageMetadata* in = stmt->getInputMetadata(st);
            IMessageMetadata* out = stmt->getOutputMetadata(st);
            std::vector<unsigned char> inBuf(in->getMessageLength(st)), outBuf(out->getMessageLength(st));
            const unsigned inOff = in->getOffset(st, 0), inNull = in->getNullOffset(st, 0);
            const unsigned nameOff = out->getOffset(st, 1);
            std::size_t checksum = 0;
            const auto start = Clock::now();
            for (int i = 0; i < kIterations; ++i) {
                const ISC_LONG id = i % kRows + 1;
                std::memcpy(inBuf.data() + inOff, &id, sizeof id);
                std::memset(inBuf.data() + inNull, 0, 2);
                ITransaction* t = att->startTransaction(st, tpb.size(), tpb.data());
                IResultSet* rs = stmt->openCursor(st, t, in, inBuf.data(), out, 0);
                while (rs->fetchNext(st, outBuf.data()) == IStatus::RESULT_OK) {
                    unsigned short len;
                    std::memcpy(&len, outBuf.data() + nameOff, 2);
                    std::string name(reinterpret_cast<char*>(outBuf.data() + nameOff + 2), len);
                    checksum += name.size();
                }
                rs->close(st);
                t->commit(st);
            }
            const double s = seconds(Clock::now() - start);
            in->release();
            out->release();
            stmt->free(st);
            if (checksum == 0) std::puts("no rows?");
            return s;
        });
    }

    double updateLoop() {
        return fb::call([&](auto* st) {
            ITransaction* tra = att->startTransaction(st, tpb.size(), tpb.data());
            IStatement* stmt = att->prepare(st, tra, 0, "update ITEMS set QTY = QTY + ? where ID = ?", 3,
                                            IStatement::PREPARE_PREFETCH_METADATA);
            tra->commit(st);
            IMessageMetadata* in = stmt->getInputMetadata(st);
            std::vector<unsigned char> inBuf(in->getMessageLength(st));
            const unsigned o0 = in->getOffset(st, 0), n0 = in->getNullOffset(st, 0);
            const unsigned o1 = in->getOffset(st, 1), n1 = in->getNullOffset(st, 1);
            std::memset(inBuf.data() + n0, 0, 2);
            std::memset(inBuf.data() + n1, 0, 2);
            const auto start = Clock::now();
            for (int i = 0; i < kIterations; ++i) {
                const ISC_LONG one = 1, id = i % kRows + 1;
                std::memcpy(inBuf.data() + o0, &one, sizeof one);
                std::memcpy(inBuf.data() + o1, &id, sizeof id);
                ITransaction* t = att->startTransaction(st, tpb.size(), tpb.data());
                stmt->execute(st, t, in, inBuf.data(), nullptr, nullptr);
                if (stmt->getAffectedRecords(st) != 1) std::puts("no row updated?");
                t->commit(st);
            }
            const double s = seconds(Clock::now() - start);
            in->release();
            stmt->free(st);
            return s;
        });
    }
};

double layerSelect(Connection& c) {
    Query q(c);
    q.setSql("select ID, NAME, QTY from ITEMS where ID = :ID");
    q.prepare();
    std::size_t checksum = 0;
    const auto start = Clock::now();
    for (int i = 0; i < kIterations; ++i) {
        q.param("ID").setInt(i % kRows + 1);
        q.open();
        checksum += q.field("NAME").asString().size();
    }
    const double s = seconds(Clock::now() - start);
    if (checksum == 0) std::puts("no rows?");
    return s;
}

double layerUpdate(Connection& c) {
    Query q(c);
    q.setSql("update ITEMS set QTY = QTY + :N where ID = :ID");
    q.prepare();
    const auto start = Clock::now();
    for (int i = 0; i < kIterations; ++i) {
        q.param("N").setInt(1);
        q.param("ID").setInt(i % kRows + 1);
        if (q.execSql() != 1) std::puts("no row updated?");
    }
    return seconds(Clock::now() - start);
}

void report(const char* what, double layer, double bare) {
    std::printf("%-8s layer %7.3f s (%6.1f us/op)   bare %7.3f s (%6.1f us/op)   ratio %.3f\n", what, layer,
                layer * 1e6 / kIterations, bare, bare * 1e6 / kIterations, layer / bare);
}

} // namespace

int main() {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("vek-dbbench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string path = (dir / "bench.fdb").string();
    try {
        // Asynchronous writes: a synchronous disk flush per commit would swamp what is measured.
        fb::call([&](auto* st) {
            IXpbBuilder* dpb = fb::util()->getXpbBuilder(st, IXpbBuilder::DPB, nullptr, 0);
            dpb->insertString(st, isc_dpb_user_name, "sysdba");
            dpb->insertInt(st, isc_dpb_force_write, 0);
            dpb->insertInt(st, isc_dpb_sql_dialect, 3);
            IAttachment* a =
                fb::provider()->createDatabase(st, path.c_str(), dpb->getBufferLength(st), dpb->getBuffer(st));
            dpb->dispose();
            a->detach(st);
        });
        Connection c;
        c.setDatabase(path);
        std::string script =
            "create table ITEMS (ID integer not null primary key, NAME varchar(40), QTY integer);\ncommit;\n";
        for (int i = 1; i <= kRows; ++i) {
            script +=
                "insert into ITEMS values (" + std::to_string(i) + ", 'item number " + std::to_string(i) + "', 0);\n";
        }
        runScript(c, script);

        // Alternate the two so that cache warm-up favours neither.
        double ls = 0, bs = 0, lu = 0, bu = 0;
        {
            Bare bare(path);
            bs += bare.selectLoop();
            ls += layerSelect(c);
            bs += bare.selectLoop();
            ls += layerSelect(c);
            bu += bare.updateLoop();
            lu += layerUpdate(c);
            bu += bare.updateLoop();
            lu += layerUpdate(c);
        }
        std::printf("%d executions each, embedded engine, one committed transaction per execution\n", 2 * kIterations);
        report("select", ls, bs);
        report("update", lu, bu);
        c.close();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "benchmark failed: %s\n", e.what());
        fs::remove_all(dir);
        return 1;
    }
    fs::remove_all(dir);
    return 0;
}
