#include "metrics/StationMetrics.h"

#include <unistd.h>

#include <charconv>
#include <fstream>

namespace vek::metrics {

namespace {

constexpr const char* kOutcomeNames[kOutcomes] = {"booked", "refused", "kept", "in_doubt", "failed"};

// A label value as the format has it: backslash, double quote and line feed escaped.
std::string escaped(const std::string& value) {
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '"') {
            out += "\\\"";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

// Numbers as the format reads them, in their shortest exact form ("0.0025", "17").
std::string number(double v) {
    char buf[32];
    const auto end = std::to_chars(buf, buf + sizeof buf, v).ptr;
    return std::string(buf, end);
}

class Page {
public:
    void family(const char* name, const char* type, const char* help) {
        m_text += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
    }
    void sample(const std::string& name, double value, const std::string& labels = {}) {
        m_text += name;
        if (!labels.empty()) {
            m_text += '{';
            m_text += labels;
            m_text += '}';
        }
        m_text += ' ';
        m_text += number(value);
        m_text += '\n';
    }
    std::string take() { return std::move(m_text); }

private:
    std::string m_text;
};

} // namespace

void ScanTally::add(Outcome outcome, double seconds) {
    ++byOutcome[static_cast<std::size_t>(outcome)];
    for (std::size_t i = 0; i < kDurationBuckets.size(); ++i) {
        if (seconds <= kDurationBuckets[i]) {
            ++inBucket[i];
            break;
        }
    }
    ++count;
    sumSeconds += seconds;
}

std::string renderMetrics(const StationMetrics& m, std::optional<std::int64_t> residentBytes) {
    Page p;
    p.family("vek_station_info", "gauge", "The station: its conveyor, sector, employee, version and database host.");
    p.sample("vek_station_info", 1,
             "conveyor=\"" + escaped(m.conveyor) + "\",sector=\"" + escaped(m.sector) + "\",employee=\"" +
                 escaped(m.employee) + "\",version=\"" + escaped(m.version) + "\",database_host=\"" +
                 escaped(m.databaseHost) + "\"");
    p.family("vek_scans_total", "counter", "Scans since the station started, by outcome.");
    for (std::size_t i = 0; i < kOutcomes; ++i) {
        p.sample("vek_scans_total", static_cast<double>(m.scans.byOutcome[i]),
                 std::string("outcome=\"") + kOutcomeNames[i] + "\"");
    }
    p.family("vek_scan_duration_seconds", "histogram", "Time from the scan's Enter to its message.");
    std::uint64_t cumulative = 0;
    for (std::size_t i = 0; i < kDurationBuckets.size(); ++i) {
        cumulative += m.scans.inBucket[i];
        p.sample("vek_scan_duration_seconds_bucket", static_cast<double>(cumulative),
                 "le=\"" + number(kDurationBuckets[i]) + "\"");
    }
    p.sample("vek_scan_duration_seconds_bucket", static_cast<double>(m.scans.count), "le=\"+Inf\"");
    p.sample("vek_scan_duration_seconds_sum", m.scans.sumSeconds);
    p.sample("vek_scan_duration_seconds_count", static_cast<double>(m.scans.count));
    p.family("vek_journal_waiting_entries", "gauge", "Kept scans waiting to be settled, by state.");
    p.sample("vek_journal_waiting_entries", m.held, "state=\"held\"");
    p.sample("vek_journal_waiting_entries", m.inDoubt, "state=\"in_doubt\"");
    p.family("vek_late_refusals_unacknowledged", "gauge", "Kept scans refused once settled, not acknowledged yet.");
    p.sample("vek_late_refusals_unacknowledged", m.lateRefusals);
    p.family("vek_station_ready", "gauge", "1 once the start-up finished.");
    p.sample("vek_station_ready", m.ready ? 1 : 0);
    p.family("vek_database_connected", "gauge", "1 while the database answers.");
    p.sample("vek_database_connected", m.databaseConnected ? 1 : 0);
    p.family("vek_last_scan_timestamp_seconds", "gauge", "When the last scan was made; 0 before the first.");
    p.sample("vek_last_scan_timestamp_seconds", m.lastScan.value_or(0));
    p.family("vek_last_server_contact_timestamp_seconds", "gauge",
             "When the database server last answered; 0 before it ever did.");
    p.sample("vek_last_server_contact_timestamp_seconds", m.lastContact.value_or(0));
    p.family("vek_production_day_boxes", "gauge", "The day's production, as the screen shows it.");
    p.sample("vek_production_day_boxes", m.dayCount);
    p.family("vek_production_month_boxes", "gauge", "The month's production, as the screen shows it.");
    p.sample("vek_production_month_boxes", m.monthCount);
    if (residentBytes) {
        p.family("vek_process_resident_memory_bytes", "gauge", "The station process's resident memory.");
        p.sample("vek_process_resident_memory_bytes", static_cast<double>(*residentBytes));
    }
    return p.take();
}

std::pair<int, std::string> health(const StationMetrics& m) {
    if (!m.ready) {
        return {503, "start-up not finished\n"};
    }
    if (!m.databaseConnected) {
        return {503, "database away\n"};
    }
    return {200, "ok\n"};
}

std::string databaseHost(const std::string& location) {
    // "C:\..." names a local drive; a location without a colon is a local path too.
    const std::size_t colon = location.find(':');
    if (colon == std::string::npos || colon < 2 || location.find('/') == 0) {
        return {};
    }
    const std::size_t scheme = location.find("://");
    if (scheme != std::string::npos) {
        const std::size_t start = scheme + 3;
        const std::size_t end = location.find('/', start);
        return location.substr(start, end == std::string::npos ? std::string::npos : end - start);
    }
    return location.substr(0, colon);
}

std::optional<std::int64_t> residentMemoryBytes() {
    std::ifstream statm("/proc/self/statm");
    long long size = 0, resident = 0;
    if (!(statm >> size >> resident)) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(resident) * ::sysconf(_SC_PAGESIZE);
}

} // namespace vek::metrics
