// What a scan costs on the wire: the exchanges with the server, counted by a relay between the
// station and the test server. A statement, a count or a second fetch that creeps back into the
// scan shows here, long before a branch plant's stations feel it over their VPN.
#include "support/Box.h"
#include "support/ScanStation.h"
#include "support/TcpProxy.h"
#include "support/TestDb.h"

#include <gtest/gtest.h>

#include <string>

using namespace vek;
using vek::test::TcpProxy;
using vek::test::TestDb;

namespace {

int serverPort() {
    const std::string host = vek::test::serverHost(); // "127.0.0.1/PORT"
    return std::stoi(host.substr(host.find('/') + 1));
}

} // namespace

// The box and the server's clock, the transaction's start, the write-off, the ticket's lock and
// count (it is recorded in a sector when complete), the commit: five exchanges.
TEST(ScanRoundTrips, AConveyorScanCostsAtMostFiveExchanges) {
    TestDb db;
    for (int code : {1, 2, 3}) db.exec(vek::test::Box::usual(code).sql());
    TcpProxy proxy(serverPort());
    vek::test::ScanStation station("127.0.0.1/" + std::to_string(proxy.port()) + ":" + db.path(),
                                   vek::test::serverPassword());
    station.ctx.settings.SETOR_ATU_PRODUCAO_SETOR = "40";
    // The first scan prepares its statements; the second is every scan after it.
    ASSERT_EQ(station.scan.ProcessScan("1").result, ScanResult::Booked);
    const std::size_t before = proxy.exchanges().size();
    ASSERT_EQ(station.scan.ProcessScan("2").result, ScanResult::Booked);
    EXPECT_LE(proxy.exchanges().size() - before, 5u);
    const auto written =
        db.rows("select count(*) from CODCXUNIT where DTBAIXA_CX is not null and ESTEIRA_CX = '01'", true);
    EXPECT_EQ(written.at(0).at(0), "2");
}
