#pragma once

#include <string_view>

namespace vek {

/// A host as a setting may name one: a host name (letters, digits, '-' and '_' in dot-separated
/// labels), an IPv4 address, or an IPv6 address in brackets. Nothing else: no '@', '/', blanks, scheme.
bool isHostName(std::string_view text);

/// The host part of "host[:port]" (a bracketed IPv6 address keeps its brackets) and what follows
/// the colon after it; `port` is empty when there is no colon.
void splitHostAndPort(std::string_view text, std::string_view& host, std::string_view& port);

} // namespace vek
