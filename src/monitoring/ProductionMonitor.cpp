#include "monitoring/ProductionMonitor.h"

#include "db/DataSetHelpers.h"
#include "monitoring/HourlyTable.h"
#include "monitoring/ProductionCounters.h"
#include "station/StationContext.h"
#include "util/Format.h"
#include "util/TextCodec.h"

#include <QDateTime>

namespace vek {

namespace sql {
// The station's own comparison of the conveyor, made on the server: the text as stored (the
// server's equality ignores trailing blanks, the length does not), a box without a conveyor
// counting for an empty code, and a code longer than the column matching nothing rather than
// raising.
const char* const kTotPar =
    "select cast(DTBAIXA_CX as date) as DIA, extract(hour from DTBAIXA_CX) as HORA,\n"
    "       count(*) as QTDE, count(DATA_CANC_CX) as CANCELADOS\n"
    "from CODCXUNIT\n"
    "where (ESTEIRA_CX = cast(:ESTEIRA as varchar(255)) and char_length(ESTEIRA_CX) = :TAMANHO\n"
    "       or ESTEIRA_CX is null and :TAMANHO = 0)\n"
    "and DTBAIXA_CX>=:DATAI\n"
    "and DTBAIXA_CX<=:DATAF\n"
    "group by 1, 2";
// A record whose box has no row counts as not cancelled.
const char* const kTotParUnit = "select cast(C.DTSAIDA_PU as date) as DIA, extract(hour from C.DTSAIDA_PU) as HORA,\n"
                                "       count(*) as QTDE, count(U.DATA_CANC_CX) as CANCELADOS\n"
                                "from PRODUCAO_SETOR_CXUNIT C\n"
                                "left join CODCXUNIT U on U.CODIGO_CX = C.CODCXUNIT_PU\n"
                                "where C.DTSAIDA_PU >= :DATAI and\n"
                                "      C.DTSAIDA_PU <= :DATAF and\n"
                                "      C.SETOR_PU = :SETOR\n"
                                "group by 1, 2";
} // namespace sql

namespace {

// Each hour's count as its boxes not cancelled and its cancelled ones.
std::vector<CounterRow> hourRows(const db::Query& query) {
    const auto column = [&query](const char* name) { return static_cast<std::size_t>(query.fieldIndex(name)); };
    const std::size_t day = column("DIA"), hour = column("HORA"), count = column("QTDE"),
                      cancelled = column("CANCELADOS");
    std::vector<CounterRow> rows;
    rows.reserve(2 * query.recordCount());
    for (const auto& r : query.rows()) {
        const DateTime at = r[day].asDateTime().addTicks(r[hour].asInt64() * 3600 * DateTime::kTicksPerSecond);
        const int all = r[count].asInt(), inCancelled = r[cancelled].asInt();
        if (all > inCancelled) {
            rows.push_back({at, false, all - inCancelled});
        }
        if (inCancelled > 0) {
            rows.push_back({at, true, inCancelled});
        }
    }
    return rows;
}

} // namespace

ProductionMonitor::ProductionMonitor(StationContext& ctx)
    : m_ctx(ctx), sqlTotPar(ctx.sqlCon, "sqlTotPar"), sqlTotParUnit(ctx.sqlCon, "sqlTotParUnit") {
    sqlTotPar.setSql(sql::kTotPar);
    sqlTotParUnit.setSql(sql::kTotParUnit);
    // The hourly table exists, empty, from the start: the grid shows it before any load.
    cdsProdHora.setFieldDefs(hourlyFields());
    cdsProdHora.createEmpty();
    cdsProdHora.setIndexFieldNames("HORA");
}

void ProductionMonitor::ClockTick() {
    if (!m_ctx.configured) {
        return;
    }
    m_tickMissed = true; // until the read answers
    setClockTime(m_ctx.ReadServerTime());
}

DateTime ProductionMonitor::ReadServerTime() {
    return NoteServerTime(m_ctx.ReadServerTime());
}

DateTime ProductionMonitor::NoteServerTime(const DateTime& read) {
    const DateTime t = m_ctx.NoteServerTime(read);
    if (m_tickMissed) {
        setClockTime(t);
    }
    return t;
}

void ProductionMonitor::setClockTime(const DateTime& t) {
    m_tickMissed = false;
    m_clockSet = true;
    LastClockTime = t;
    m_lastClockTimeText = formatDateTime("hh:nn:ss", LastClockTime);
    m_ctx.display.ShowClockHeader(clockHeader(LastClockTime, m_ctx.settings.CODESTEIRA));
}

void ProductionMonitor::ClearCounters() {
    ClearDataSet(cdsProdHora);
    DayCount = 0;
    MonthCount = 0;
}

void ProductionMonitor::reloadCounters() {
    if (m_ctx.settings.sectorMode()) {
        LoadSectorCounters();
    } else {
        LoadConveyorCounters();
    }
}

void ProductionMonitor::LoadConveyorCounters() {
    loadCounters(false);
}

void ProductionMonitor::LoadSectorCounters() {
    loadCounters(true);
}

void ProductionMonitor::loadCounters(bool sector) {
    DateTime from, to;
    counterBounds(LastClockTime, from, to);
    db::Query& query = sector ? sqlTotParUnit : sqlTotPar;
    query.close();
    query.param("DATAI").setDateTime(from);
    query.param("DATAF").setDateTime(to);
    if (sector) {
        query.param("SETOR").setString(m_ctx.settings.SETOR);
    } else {
        query.param("ESTEIRA").setString(m_ctx.settings.CODESTEIRA);
        query.param("TAMANHO").setInt(static_cast<std::int32_t>(m_ctx.settings.CODESTEIRA.size()));
    }
    query.open();
    m_lastCounterRefresh = QDateTime::currentMSecsSinceEpoch();
    const std::vector<CounterRow> rows = hourRows(query);
    query.close();

    const CounterFigures f = countProduction(rows, LastClockTime.datePart());
    DayCount = f.dayCount;
    MonthCount = f.monthCount;
    m_monthCancelledCount = f.monthCancelledCount;
    {
        db::UpdatesSuspended quiet(cdsProdHora);
        ClearDataSet(cdsProdHora);
        for (const CounterRow& r : f.today) {
            AddHourlyWriteOff(cdsProdHora, r.time, r.count);
        }
    }
    PreviousDayTexts prev;
    prev.production = cp1252("Produção dia Ant: ") + formatFloat("###,000", f.prevDayCount);
    prev.cancelled = "Cancelados dia Ant: " + formatFloat("###,000", f.prevDayCancelled);
    prev.monthCancelled = cp1252("Cancelados do Mês: ") + formatFloat("###,000", f.monthCancelledCount);
    prev.total = "Total dia Ant: " + formatFloat("###,000", f.prevDayCount - f.prevDayCancelled);
    m_ctx.display.ShowPreviousDay(prev);
    ShowCounters();
}

void ProductionMonitor::RefreshCountersIfDue() {
    if (m_ctx.settings.TEMPO_ESPERA < 1) {
        return;
    }
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now - m_lastCounterRefresh >= m_ctx.settings.TEMPO_ESPERA) {
        reloadCounters();
        m_lastCounterRefresh = now;
    }
}

void ProductionMonitor::CountWriteOff(const DateTime& t) {
    AddHourlyWriteOff(cdsProdHora, t);
    ++DayCount;
    ++MonthCount;
}

void ProductionMonitor::CountSettledWriteOffs(const DateTime& at, int count) {
    const DateTime today = LastClockTime;
    const bool sameMonth = at.year() == today.year() && at.month() == today.month();
    for (int i = 0; i < count; ++i) {
        if (at.datePart() == today.datePart()) {
            AddHourlyWriteOff(cdsProdHora, at);
            ++DayCount;
        }
        if (sameMonth) {
            ++MonthCount;
        }
    }
}

void ProductionMonitor::ShowCounters() {
    ShowCounterTexts();
    m_ctx.display.Repaint();
}

void ProductionMonitor::ShowCounterTexts() {
    CounterTexts texts;
    texts.day = formatFloat("###,##0", DayCount);
    texts.month = cp1252("Produção do Mês: ") + formatFloat("###,000", MonthCount);
    texts.monthTotal = cp1252("Total do Mês: ") + formatFloat("###,000", MonthCount - m_monthCancelledCount);
    m_ctx.display.ShowCounters(texts);
}

void ProductionMonitor::setTicketCount(int done, int pending) {
    CountDone = done;
    CountPending = pending;
}

std::string ProductionMonitor::ticketCountText() const {
    return std::to_string(CountDone) + "/" + std::to_string(CountDone + CountPending);
}

} // namespace vek
