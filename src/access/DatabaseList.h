#pragma once

#include "access/TCompanyInfo.h"

#include <memory>
#include <string>
#include <vector>

namespace vek::access {

using CompanyList = std::vector<std::unique_ptr<TCompanyInfo>>;

/// The companies of a list answer's decoded text, a JSON array of company objects. Throws (the
/// JSON library's exceptions) on a parse error, a missing member or a member of the wrong class;
/// nothing is kept of a list that fails.
CompanyList ParseDatabaseList(const std::string& text);

/// The company's databases of the kind under the parent, in list order; a parent of 0 or less
/// matches any parent.
std::vector<const TDatabaseInfo*> FilterDatabases(const TCompanyInfo& company, TDatabaseKind kind, std::int32_t parent);

/// The first of FilterDatabases; when there is none and `fallback` is set, the first of the kind
/// under any parent. None when nothing matches.
const TDatabaseInfo* FindDatabase(const TCompanyInfo& company, TDatabaseKind kind, std::int32_t parent, bool fallback);

} // namespace vek::access
