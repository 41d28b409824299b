// vek-mkdb FILE SCRIPT...: creates a database (WIN1252, dialect 3) and runs the scripts on it.
// Used by the demo to build its databases from the reference schema.
#include "db/Connection.h"
#include "db/DbError.h"
#include "db/ScriptRunner.h"

#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: vek-mkdb DATABASE [SCRIPT...]\n");
        return 2;
    }
    try {
        vek::db::createDatabase(argv[1], "sysdba", "");
        vek::db::Connection c;
        c.setDatabase(argv[1]);
        for (int i = 2; i < argc; ++i) {
            vek::db::runScriptFile(c, argv[i]);
        }
        c.close();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vek-mkdb: %s\n", e.what());
        return 1;
    }
    return 0;
}
