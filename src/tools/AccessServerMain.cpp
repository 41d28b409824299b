// vek-access-server: the reference access server. See usage() for its command line.
#include "access/AccessServer.h"
#include "access/DatabaseList.h"
#include "access/ResponseKeyTable.h"

#include <charconv>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>

namespace {

void usage() {
    std::cerr << "Usage: vek-access-server --port PORT --list FILE [--bind ADDRESS] [--offset N] [--plain]\n"
                 "  --port PORT     port to listen on; 0 picks a free one (the line printed on start names it)\n"
                 "  --list FILE     JSON array of companies answered to the list request\n"
                 "  --bind ADDRESS  address to listen on (default 127.0.0.1)\n"
                 "  --offset N      start every answer at offset N (0-4095) of the key table (default: random)\n"
                 "  --plain         answer without encoding, for clients whose Encrypt is off\n";
}

bool parseInt(std::string_view text, int& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

} // namespace

int main(int argc, char** argv) {
    vek::access::AccessServer::Options options;
    std::string address = "127.0.0.1";
    std::string listFile;
    int port = -1;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--port" && hasValue) {
            if (!parseInt(argv[++i], port) || port < 0 || port > 65535) port = -2;
        } else if (arg == "--list" && hasValue) {
            listFile = argv[++i];
        } else if (arg == "--bind" && hasValue) {
            address = argv[++i];
        } else if (arg == "--offset" && hasValue) {
            int offset = -1;
            if (!parseInt(argv[++i], offset) || offset < 0 ||
                offset >= static_cast<int>(vek::access::kResponseKeyTableSize)) {
                std::cerr << "vek-access-server: the offset must be 0 to 4095\n";
                return 2;
            }
            options.offset = offset;
        } else if (arg == "--plain") {
            options.encrypt = false;
        } else {
            usage();
            return 2;
        }
    }
    if (port < 0 || listFile.empty()) {
        usage();
        return 2;
    }

    std::ifstream in(listFile, std::ios::binary);
    if (!in) {
        std::cerr << "vek-access-server: cannot read " << listFile << "\n";
        return 1;
    }
    std::ostringstream text;
    text << in.rdbuf();
    options.listText = text.str();
    try {
        // Served only if the station would accept it: a broken file shows here, not as an empty list there.
        (void)vek::access::ParseDatabaseList(options.listText);
    } catch (const std::exception& e) {
        // A parse error quotes the whole text, passwords included: keep only its cause.
        std::string cause = e.what();
        cause = cause.substr(0, cause.find(" at character "));
        std::cerr << "vek-access-server: " << listFile << " is not a valid company list: " << cause << "\n";
        return 1;
    }

    vek::access::AccessServer server(std::move(options));
    const bool served = server.run(address, port, [&](int bound) {
        std::cout << "vek-access-server: listening on " << address << ":" << bound << std::endl;
    });
    if (!served) {
        std::cerr << "vek-access-server: cannot listen on " << address << ":" << port << "\n";
        return 1;
    }
    return 0;
}
