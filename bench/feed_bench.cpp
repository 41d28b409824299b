// The recent-entries feed under a flood: 10,000 datagrams sent as fast as one local sender can to
// the real listener, handled on this thread against a main and a catalogue database (pictures on).
// Prints how many were handled, the handling time per datagram and the resident memory.
#include "db/Connection.h"
#include "db/Query.h"
#include "db/ScriptRunner.h"
#include "monitoring/ProductPictures.h"
#include "monitoring/RecentEntries.h"
#include "monitoring/RecentEntriesFeed.h"
#include "station/StationContext.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

namespace {

constexpr int kDatagrams = 10000;
constexpr int kTickets = 50;

// A display that shows nothing: the bench measures the handler, not painting.
class NoDisplay : public vek::OperatorDisplay {
public:
    void paintMessage(const std::string&, vek::MessageColour, bool) override {}
    void paintEnquiryMessage(const std::string&, vek::MessageColour, bool) override {}
    void ShowBoxFields(const vek::BoxFields&) override {}
    void ClearBoxFields() override {}
    void ShowTicketCount(const std::string&) override {}
    void paintScanField(bool) override {}
    void ShowCounters(const vek::CounterTexts&) override {}
    void ShowPreviousDay(const vek::PreviousDayTexts&) override {}
    void ShowClockHeader(const std::string&) override {}
    void ShowProductPicture(const std::string&) override {}
    void ShowOperatorAndSector(const std::string&) override {}
    void ShowStatusBar(const std::string&, const std::string&) override {}
    void HideTotals() override {}
    void ShowPictureArea(bool) override {}
    void SetSidePanelWidth(int) override {}
    void ApplyScanModeLayout(bool, bool, bool) override {}
    void ShowConnectionPanel(const std::string&) override {}
    void ShowLateRefusals(const std::vector<vek::LateRefusal>&) override {}
    void Repaint() override {}
};

long residentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

std::string ticket(int i) {
    std::string t = std::to_string(i % kTickets + 1);
    return std::string(4 - t.size(), '0') + t;
}

void createDatabases(const std::string& main, const std::string& catalogue) {
    vek::db::createDatabase(main, "sysdba", "", 8192, false);
    vek::db::createDatabase(catalogue, "sysdba", "", 8192, false);
    vek::db::Connection c;
    c.setDatabase(main);
    vek::db::runScriptFile(c, std::string(VEK_SOURCE_DIR) + "/schema/main.sql");
    c.executeImmediate("insert into TABELA (NUM_TA, COD_TA, DESC_TA) values ('70', 'M1', 'MARCA UM')");
    c.executeImmediate("execute block as declare i integer = 1; declare f varchar(4); begin\n"
                       "  while (i <= " +
                       std::to_string(kTickets) +
                       ") do begin\n"
                       "    f = lpad(cast(:i as varchar(4)), 4, '0');\n"
                       "    insert into PRODUTO (COD_PR, DESC_PR) values ('P' || :f, 'PRODUTO ' || :f);\n"
                       "    insert into PADRONIZ_PRODUTO (PROD_PP, PADRONIZ_PP, DESC_PP) values ('P' || :f, '00001', "
                       "'PADRAO');\n"
                       "    insert into ITENSPV (PEDIDO_IT, ITEM_IT, PROD_IT, PADRON_IT, MARCA_IT, PROG_IT, FICHA_IT, "
                       "OBSPROD_IT) values ('00000001', lpad(cast(:i as varchar(3)), 3, '0'), 'P' || :f, '00001', "
                       "'M1', '000123', :f, 'OBS');\n"
                       "    insert into PRODUCAO_SETOR (ID_PS, PROG_PS, FICHA_PS, SUBFICHA_PS, SETOR_PS, QTDE_PS) "
                       "values (:i, '000123', :f, '0000', '10', :i * 12);\n"
                       "    i = i + 1;\n  end\nend");
    c.close();

    vek::db::Connection cat;
    cat.setDatabase(catalogue);
    vek::db::runScriptFile(cat, std::string(VEK_SOURCE_DIR) + "/schema/catalogue.sql");
    QImage img(160, 120, QImage::Format_RGB32);
    img.fill(Qt::darkCyan);
    QByteArray png;
    QBuffer buf(&png);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "PNG");
    vek::db::Query q(cat);
    q.setSql("insert into PADRONIZ_PRODUTO (PRODUTO_PP, PADRONIZ_PP, THUMBM_PP) values (:P, '00001', :M)");
    for (int i = 0; i < kTickets; ++i) {
        q.param("P").setString(std::string(1, 'P').append(ticket(i)));
        q.param("M").setBlob(png.toStdString());
        q.execSql();
    }
    cat.close();
}

double percentile(std::vector<double> v, double p) {
    if (v.empty()) {
        return 0;
    }
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1))];
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const fs::path dir = fs::temp_directory_path() / ("vek-feedbench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    int rc = 0;
    try {
        const std::string mainDb = (dir / "main.fdb").string();
        const std::string catDb = (dir / "catalogue.fdb").string();
        createDatabases(mainDb, catDb);

        NoDisplay display;
        vek::StationContext ctx(display);
        ctx.sqlCon.setDatabase(mainDb);
        ctx.sqlConCat.setDatabase(catDb);
        ctx.ImagesOn = true;
        vek::ProductPictures pictures(ctx.sqlConCat);
        vek::RecentEntries entries(ctx, pictures);
        entries.Start(5);
        // Connections open and statements prepared before the measurement.
        entries.AddRecentEntry("000123", "0001");

        std::vector<double> times;
        times.reserve(kDatagrams);
        const int port = [] {
            const int s = ::socket(AF_INET, SOCK_DGRAM, 0);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
            socklen_t n = sizeof a;
            ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &n);
            ::close(s);
            return static_cast<int>(ntohs(a.sin_port));
        }();
        vek::RecentEntriesFeed feed(port, [&](std::string_view d) {
            const auto t0 = Clock::now();
            entries.HandleDatagram(d);
            times.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
        });
        QCoreApplication::processEvents();
        const long rssBefore = residentKb();

        std::atomic<int> sent{0};
        std::atomic<bool> finished{false};
        const auto start = Clock::now();
        std::thread sender([&] {
            const int s = ::socket(AF_INET, SOCK_DGRAM, 0);
            sockaddr_in to{};
            to.sin_family = AF_INET;
            to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            to.sin_port = htons(static_cast<std::uint16_t>(port));
            for (int i = 0; i < kDatagrams; ++i) {
                const std::string d =
                    "{\"prog\":\"000123\",\"ficha\":\"" + ticket(i) + "\",\"seq\":" + std::to_string(i) + "}";
                if (::sendto(s, d.data(), d.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) >= 0) {
                    ++sent;
                }
            }
            ::close(s);
            finished = true;
        });
        // Handle until the sender is done and nothing has come for half a second.
        QElapsedTimer quiet;
        quiet.start();
        std::size_t seen = 0;
        bool senderDone = false;
        while (!senderDone || quiet.elapsed() < 500) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            if (times.size() != seen) {
                seen = times.size();
                quiet.restart();
            }
            if (!senderDone && finished) {
                senderDone = true;
                quiet.restart();
            }
        }
        sender.join();
        const double wallMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count() - 500;
        const long rssAfter = residentKb();

        std::printf("recent entries feed: %d datagrams sent by one local sender\n", sent.load());
        std::printf("  handled: %zu (%.1f%%), the rest dropped by the system's receive buffer\n", times.size(),
                    100.0 * static_cast<double>(times.size()) / kDatagrams);
        std::printf("  handling per datagram: median %.1f us, 99th percentile %.1f us\n", percentile(times, 0.5),
                    percentile(times, 0.99));
        std::printf("  wall time until the last was handled: %.0f ms\n", wallMs);
        std::printf("  list: %d entries (capacity %d)\n", entries.cdsUltEnt.recordCount(), entries.capacity());
        std::printf("  resident memory: %ld kB before, %ld kB after\n", rssBefore, rssAfter);
        feed.stop();
        ctx.sqlCon.close();
        ctx.sqlConCat.close();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "feed_bench: %s\n", e.what());
        rc = 1;
    }
    fs::remove_all(dir);
    return rc;
}
