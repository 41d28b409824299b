#pragma once

#include <cstdint>

namespace vek::access {

/// What the client and the access server agree on besides the key table.
inline constexpr const char* kListPath = "/services/rest/TAccessMethods/ListDatabases";
inline constexpr const char* kRefreshPath = "/services/rest/TAccessMethods/RefreshAccess";
inline constexpr const char* kVekUserName = "vek";
inline constexpr const char* kVekSystemKey = "8e41c07d2ab95f36e1d04c7a9b3f2e58";
/// The code of VEK in the refresh request.
inline constexpr std::int32_t kVekSystemCode = 5;

} // namespace vek::access
