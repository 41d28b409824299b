#pragma once

#include <cmath>
#include <cstdlib>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace vek::test {

/// A page in the text exposition format (0.0.4), read strictly: what is wrong with it (empty when
/// nothing is) and its samples by name and labels ("name{a=\"x\"}" as the page spells them).
struct Exposition {
    std::string fault;
    std::map<std::string, double> samples;
};

inline Exposition readExposition(const std::string& page) {
    Exposition out;
    static const std::regex name("[a-zA-Z_:][a-zA-Z0-9_:]*");
    static const std::regex labelName("[a-zA-Z_][a-zA-Z0-9_]*");
    std::map<std::string, std::string> types;
    std::set<std::string> sampled;
    std::map<std::string, std::vector<std::pair<double, double>>> buckets; // family -> (le, count)
    std::map<std::string, double> counts;
    std::istringstream lines(page);
    std::string line;
    int number = 0;
    auto fail = [&](const std::string& why) {
        if (out.fault.empty()) out.fault = "line " + std::to_string(number) + ": " + why + ": " + line;
    };
    if (page.empty() || page.back() != '\n') fail("the page does not end in a line feed");
    while (std::getline(lines, line)) {
        ++number;
        if (line.rfind("# TYPE ", 0) == 0) {
            std::istringstream w(line.substr(7));
            std::string n, t;
            w >> n >> t;
            if (!std::regex_match(n, name)) fail("a bad name");
            if (types.count(n)) fail("a second TYPE");
            if (sampled.count(n)) fail("TYPE after the samples");
            static const std::set<std::string> kinds = {"counter", "gauge", "histogram", "summary", "untyped"};
            if (!kinds.count(t)) fail("an unknown type");
            types[n] = t;
            continue;
        }
        if (line.rfind("#", 0) == 0) continue;
        std::size_t i = 0;
        while (i < line.size() && line[i] != '{' && line[i] != ' ') ++i;
        const std::string n = line.substr(0, i);
        if (!std::regex_match(n, name)) fail("a bad name");
        std::map<std::string, std::string> labels;
        if (i < line.size() && line[i] == '{') {
            ++i;
            while (i < line.size() && line[i] != '}') {
                std::size_t eq = line.find('=', i);
                if (eq == std::string::npos || eq + 1 >= line.size() || line[eq + 1] != '"') {
                    fail("a bad label");
                    break;
                }
                const std::string l = line.substr(i, eq - i);
                if (!std::regex_match(l, labelName)) fail("a bad label name");
                std::string v;
                std::size_t j = eq + 2;
                for (; j < line.size() && line[j] != '"'; ++j) {
                    if (line[j] == '\\') {
                        if (++j >= line.size() || (line[j] != '\\' && line[j] != '"' && line[j] != 'n'))
                            fail("a bad escape");
                        v += line[j] == 'n' ? '\n' : line[j];
                    } else {
                        v += line[j];
                    }
                }
                if (j >= line.size()) {
                    fail("an open label value");
                    break;
                }
                labels[l] = v;
                i = j + 1;
                if (i < line.size() && line[i] == ',') ++i;
            }
            ++i;
        }
        if (i >= line.size() || line[i] != ' ') {
            fail("no value");
            continue;
        }
        const std::string text = line.substr(i + 1);
        char* end = nullptr;
        const double value = std::strtod(text.c_str(), &end);
        if (text.empty() || *end != '\0') fail("a bad value");
        std::string family = n;
        for (const char* suffix : {"_bucket", "_sum", "_count"}) {
            const std::string s = suffix;
            if (n.size() > s.size() && n.compare(n.size() - s.size(), s.size(), s) == 0 &&
                types.count(n.substr(0, n.size() - s.size())) &&
                types[n.substr(0, n.size() - s.size())] == "histogram") {
                family = n.substr(0, n.size() - s.size());
            }
        }
        if (!types.count(family)) fail("a sample before its TYPE");
        sampled.insert(family);
        if (family != n && n.size() > 7 && n.compare(n.size() - 7, 7, "_bucket") == 0) {
            if (!labels.count("le")) fail("a bucket without le");
            const std::string le = labels["le"];
            buckets[family].push_back({le == "+Inf" ? INFINITY : std::strtod(le.c_str(), nullptr), value});
        } else if (family != n && n.compare(n.size() - 6, 6, "_count") == 0) {
            counts[family] = value;
        }
        out.samples[line.substr(0, i)] = value;
    }
    for (const auto& [family, bs] : buckets) {
        for (std::size_t k = 1; k < bs.size(); ++k) {
            if (!(bs[k].first > bs[k - 1].first) || bs[k].second < bs[k - 1].second) {
                out.fault = out.fault.empty() ? family + ": buckets do not rise" : out.fault;
            }
        }
        if (bs.empty() || !std::isinf(bs.back().first) || !counts.count(family) || bs.back().second != counts[family]) {
            out.fault = out.fault.empty() ? family + ": +Inf is not the count" : out.fault;
        }
    }
    return out;
}

} // namespace vek::test
