// The office's page of a station: the exposition format as a strict reader has it, and the endpoint's
// answers to its two paths and to everything else.
#include "ExpositionFormat.h"
#include "metrics/MetricsEndpoint.h"

#include <httplib.h>

#include <gtest/gtest.h>

using namespace vek;
using namespace vek::metrics;

namespace {

TEST(MetricsPage, EveryLineReadsAsTheFormatHasItAndTheHistogramAddsUp) {
    StationMetrics m;
    m.conveyor = "01";
    m.employee = "JOÃO \"ZÉ\" C:\\\nX"; // a settings file may hold anything
    m.version = "1.0.0";
    m.databaseHost = "fabrica/3051";
    for (double s : {0.0004, 0.001, 0.003, 0.7, 12.0}) m.scans.add(Outcome::Booked, s);
    m.scans.add(Outcome::Kept, 0.002);
    m.held = 2;
    m.lastScan = 1796938856.5;
    const test::Exposition page = test::readExposition(renderMetrics(m, 123456789));
    ASSERT_EQ(page.fault, "");
    EXPECT_EQ(page.samples.at("vek_station_info{conveyor=\"01\",sector=\"\",employee=\"JOÃO \\\"ZÉ\\\" C:\\\\\\nX\","
                              "version=\"1.0.0\",database_host=\"fabrica/3051\"}"),
              1);
    EXPECT_EQ(page.samples.at("vek_scans_total{outcome=\"booked\"}"), 5);
    EXPECT_EQ(page.samples.at("vek_scans_total{outcome=\"kept\"}"), 1);
    EXPECT_EQ(page.samples.at("vek_scans_total{outcome=\"in_doubt\"}"), 0);
    EXPECT_EQ(page.samples.at("vek_scan_duration_seconds_bucket{le=\"0.001\"}"), 2) << "a bound holds its own";
    EXPECT_EQ(page.samples.at("vek_scan_duration_seconds_bucket{le=\"0.0025\"}"), 3);
    EXPECT_EQ(page.samples.at("vek_scan_duration_seconds_bucket{le=\"10\"}"), 5) << "12 s only in +Inf";
    EXPECT_EQ(page.samples.at("vek_scan_duration_seconds_bucket{le=\"+Inf\"}"), 6);
    EXPECT_EQ(page.samples.at("vek_journal_waiting_entries{state=\"held\"}"), 2);
    EXPECT_EQ(page.samples.at("vek_last_scan_timestamp_seconds"), 1796938856.5);
    EXPECT_EQ(page.samples.at("vek_process_resident_memory_bytes"), 123456789);
    EXPECT_EQ(databaseHost("fabrica/3051:/dados/erp.fdb"), "fabrica/3051");
    EXPECT_EQ(databaseHost("/dados/erp.fdb"), "");
    EXPECT_EQ(databaseHost("C:\\dados\\erp.fdb"), "");
}

TEST(MetricsEndpointTest, AnswersItsTwoPathsAndRefusesEverythingElse) {
    MetricsEndpoint endpoint("127.0.0.1", 0);
    EXPECT_THROW(MetricsEndpoint("127.0.0.1", endpoint.port()), std::runtime_error) << "a port taken";
    httplib::Client client("127.0.0.1", endpoint.port());
    client.set_read_timeout(10, 0);
    auto health = client.Get("/health");
    ASSERT_TRUE(health);
    EXPECT_EQ(health->status, 503);
    EXPECT_EQ(health->body, "start-up not finished\n");
    StationMetrics m;
    m.ready = true;
    endpoint.publish(m);
    EXPECT_EQ(client.Get("/health")->body, "database away\n");
    m.databaseConnected = true;
    endpoint.publish(m);
    health = client.Get("/health");
    EXPECT_EQ(health->status, 200);
    EXPECT_EQ(health->body, "ok\n");

    auto page = client.Get("/metrics");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_EQ(page->get_header_value("Content-Type"), "text/plain; version=0.0.4; charset=utf-8");
    EXPECT_EQ(test::readExposition(page->body).fault, "");

    EXPECT_EQ(client.Get("/metrics/")->status, 404);
    EXPECT_EQ(client.Get("/")->status, 404);
    EXPECT_EQ(client.Post("/metrics", "x", "text/plain")->status, 405);
    EXPECT_EQ(client.Delete("/health")->status, 405);
    httplib::Headers big = {{"X-Big", std::string(64 * 1024, 'a')}};
    auto refused = client.Get("/metrics", big);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 400) << "a header line past the request's size";
    httplib::Headers many;
    for (int i = 0; i < 40; ++i) many.emplace("X-" + std::to_string(i), std::string(300, 'b'));
    EXPECT_EQ(client.Get("/metrics", many)->status, 431) << "headers past 8 KB in all";
}

} // namespace
