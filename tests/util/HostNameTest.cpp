// Hosts named by settings and parameters end up inside request addresses: only a host passes.
#include "util/HostName.h"

#include <gtest/gtest.h>

namespace {

TEST(HostName, OnlyNamesAndAddressesPass) {
    const struct {
        const char* text;
        bool host;
    } cases[] = {
        {"acesso", true},
        {"srv-01.fabrica.local", true},
        {"SERVIDOR_NODE", true},
        {"10.0.0.5", true},
        {"[::1]", true},
        {"[fe80::1:2]", true},
        {"", false},
        {"10.0.0.300", false},
        {"10.0.0", false},
        {"::1", false},
        {"[::1", false},
        {"[acesso]", false},
        {"user@acesso", false},
        {"acesso/api", false},
        {"ac esso", false},
        {" acesso", false},
        {"acesso.", false},
        {"-acesso", false},
        {"a..b", false},
        {"http://acesso", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(vek::isHostName(c.text), c.host);
    }
}

TEST(HostName, APortFollowsTheHostOrItsBrackets) {
    const struct {
        const char* text;
        const char* host;
        const char* port;
    } cases[] = {
        {"acesso", "acesso", ""},        {"acesso:9090", "acesso", "9090"},
        {"acesso:1:2", "acesso", "1:2"}, {"[::1]:9090", "[::1]", "9090"},
        {"[::1]", "[::1]", ""},          {"[::1", "[::1", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::string_view host, port;
        vek::splitHostAndPort(c.text, host, port);
        EXPECT_EQ(host, c.host);
        EXPECT_EQ(port, c.port);
    }
}

} // namespace
