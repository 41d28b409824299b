#pragma once

#include "util/DateTime.h"

#include <vector>

namespace vek {

namespace db {
class FieldDef;
class MemTable;
} // namespace db

/// Fields of today's production per hour (`cdsProdHora`): HORA ("09:00", shown as "09:00 as 09:59")
/// and QTDE (boxes in that hour, shown as "###,000").
std::vector<db::FieldDef> hourlyFields();

/// Adds `count` boxes to the row of t's hour, creating the row when needed. The table is indexed on
/// HORA.
void AddHourlyWriteOff(db::MemTable& table, const DateTime& t, int count = 1);

} // namespace vek
