#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace vek::metrics {

/// What became of a scan, as the office counts it.
enum class Outcome { Booked, Refused, Kept, InDoubt, Failed };
inline constexpr std::size_t kOutcomes = 5;

/// The upper bounds of the scan-duration histogram's buckets, in seconds.
inline constexpr std::array<double, 13> kDurationBuckets = {0.001, 0.0025, 0.005, 0.01, 0.025, 0.05, 0.1,
                                                            0.25,  0.5,    1,     2.5,  5,     10};

/// The scans since the process started: by outcome, and their durations from Enter to message.
struct ScanTally {
    std::array<std::uint64_t, kOutcomes> byOutcome{};
    std::array<std::uint64_t, kDurationBuckets.size()> inBucket{}; // each scan in its smallest bucket only
    std::uint64_t count = 0;
    double sumSeconds = 0;

    void add(Outcome outcome, double seconds);
};

/// A snapshot of the station for the office. Texts are UTF-8.
struct StationMetrics {
    std::string conveyor;
    std::string sector;
    std::string employee;
    std::string version;
    std::string databaseHost; // the database's host, without its path

    ScanTally scans;
    int held = 0;         // kept scans waiting: no database
    int inDoubt = 0;      // kept scans waiting: the answer was lost
    int lateRefusals = 0; // not acknowledged yet
    bool ready = false;   // the start-up finished
    bool databaseConnected = false;
    std::optional<double> lastScan;    // seconds since the epoch
    std::optional<double> lastContact; // the last answer of the server, seconds since the epoch
    int dayCount = 0;                  // as the screen shows them
    int monthCount = 0;
};

/// The page of GET /metrics: the text exposition format, version 0.0.4.
std::string renderMetrics(const StationMetrics& m, std::optional<std::int64_t> residentBytes);
/// GET /health: 200 and "ok" once the start-up finished and the database answers, else 503 and why.
std::pair<int, std::string> health(const StationMetrics& m);
/// The host part of a database location ("host:path", "host/port:path"): empty for a local path.
std::string databaseHost(const std::string& location);
/// The process's resident memory, from /proc.
std::optional<std::int64_t> residentMemoryBytes();

} // namespace vek::metrics
