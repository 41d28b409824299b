#include "monitoring/HourlyTable.h"

#include "db/FieldDef.h"
#include "db/MemTable.h"
#include "monitoring/ProductionCounters.h"

namespace vek {

std::vector<db::FieldDef> hourlyFields() {
    db::FieldDef hora = db::FieldDef::text("HORA", 9).withLabel("Hora");
    hora.displayText = [](const db::Value& v) { return hourDisplayText(v.asString()); };
    // Labels are 8-bit texts of the station's code page.
    return {hora, db::FieldDef::integer("QTDE").withLabel("Produ\xE7\xE3o").withFormat("###,000")};
}

void AddHourlyWriteOff(db::MemTable& table, const DateTime& t, int count) {
    const std::string key = hourKey(t);
    if (table.seekKey({db::Value(key)})) {
        table.edit();
    } else {
        table.append();
        table.setValue("HORA", key);
    }
    table.setValue("QTDE", table.value("QTDE").asInt() + count);
    table.post();
}

} // namespace vek
