#include "support/TestDb.h"

#include "support/Box.h"

#include "db/Query.h"
#include "db/ScriptRunner.h"

#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <stdexcept>
#include <unistd.h>

namespace fs = std::filesystem;

namespace vek::test {

namespace {

std::string env(const char* name, const char* fallback) {
    const char* v = std::getenv(name);
    return v && *v ? v : fallback;
}

// One directory per test process, removed at exit.
struct RunDir {
    fs::path dir;
    RunDir() {
        dir = fs::temp_directory_path() / ("vek-tests-" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    ~RunDir() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

RunDir& runDir() {
    static RunDir d;
    return d;
}

const char* scriptOf(Schema s) {
    switch (s) {
    case Schema::Main:
        return "schema/main.sql";
    case Schema::Catalogue:
        return "schema/catalogue.sql";
    case Schema::Access:
        return "schema/access.sql";
    case Schema::Empty:
        break;
    }
    return nullptr;
}

std::string templateFor(Schema s) {
    static std::mutex mutex;
    static std::map<Schema, std::string> made;
    std::lock_guard lock(mutex);
    if (auto it = made.find(s); it != made.end()) {
        return it->second;
    }
    const fs::path file = runDir().dir / ("template-" + std::to_string(static_cast<int>(s)) + ".fdb");
    db::createDatabase(file.string(), "sysdba", "");
    if (const char* script = scriptOf(s)) {
        db::Connection c;
        c.setDatabase(file.string());
        db::runScriptFile(c, sourceDir() + "/" + script);
        c.close();
    }
    made[s] = file.string();
    return made[s];
}

} // namespace

std::string sourceDir() {
    return VEK_SOURCE_DIR;
}

std::string serverHost() {
    return "127.0.0.1/" + env("VEK_FB_PORT", "3050");
}

std::string serverPassword() {
    return env("VEK_FB_PASSWORD", "tovrak47");
}

TestDb::TestDb(Schema schema) {
    static int counter = 0;
    const fs::path dir = runDir().dir / ("db" + std::to_string(++counter));
    fs::create_directories(dir);
    m_dir = dir.string();
    m_path = (dir / "test.fdb").string();
    fs::copy_file(templateFor(schema), m_path);
}

TestDb::~TestDb() {
    std::error_code ec;
    fs::remove_all(m_dir, ec);
}

std::string TestDb::remoteLocation() const {
    return serverHost() + ":" + m_path;
}

std::unique_ptr<db::Connection> TestDb::connect() const {
    auto c = std::make_unique<db::Connection>();
    c->setDatabase(m_path);
    return c;
}

std::unique_ptr<db::Connection> TestDb::connectRemote() const {
    auto c = std::make_unique<db::Connection>();
    c->setDatabase(remoteLocation());
    c->setPassword(serverPassword());
    return c;
}

void TestDb::exec(const std::string& sql) const {
    auto c = connect();
    db::runScript(*c, sql);
}

std::vector<std::vector<std::string>> TestDb::rows(const std::string& sql, bool throughServer) const {
    auto c = throughServer ? connectRemote() : connect();
    db::Query q(*c);
    q.setSql(sql);
    q.open();
    std::vector<std::vector<std::string>> out;
    for (; !q.eof(); q.next()) {
        std::vector<std::string> r;
        for (std::size_t i = 0; i < q.columns().size(); ++i) r.push_back(q.fieldAt(i).asString());
        out.push_back(std::move(r));
    }
    return out;
}

int TestDb::count(const std::string& fromWhere) const {
    auto c = connect();
    db::Query q(*c);
    q.setSql("select count(*) as N from " + fromWhere);
    q.open();
    return q.field("N").asInt();
}

void addUsualBoxes(const TestDb& db, const std::vector<int>& codes, bool alarm) {
    for (int code : codes) {
        db.exec(Box::usual(code).sql());
    }
    for (const char* p : {"MSG_CONLUSAO", "ALERTA_SONORO"}) {
        if (alarm || std::string(p) == "MSG_CONLUSAO") {
            db.exec(std::string("insert into PARAM (GRUPO_PA, PARAM_PA, VALOR_PA) values ('ATU_CAIXA_UNITARIA', '") +
                    p + "', 'S')");
        }
    }
}

} // namespace vek::test
