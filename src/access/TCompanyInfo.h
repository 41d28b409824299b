#pragma once

#include "access/TDatabaseInfo.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vek::access {

/// What every entry of the access server's list carries.
class TInfo {
public:
    virtual ~TInfo() = default;
    std::int32_t code = 0;
};

/// One company of the installation and its databases, in the server's order. The databases are
/// held by pointer so that a reference to one stays valid while the company lives.
class TCompanyInfo final : public TInfo {
public:
    std::string name;
    std::vector<std::unique_ptr<TDatabaseInfo>> databases;
};

} // namespace vek::access
