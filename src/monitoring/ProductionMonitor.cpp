#include "monitoring/ProductionMonitor.h"

#include "db/DataSetHelpers.h"
#include "monitoring/HourlyTable.h"
#include "monitoring/ProductionCounters.h"
#include "station/StationContext.h"
#include "util/Format.h"
#include "util/TextCodec.h"

#include <QDateTime>

namespace vek {

ProductionMonitor::ProductionMonitor(StationContext& ctx)
    : m_ctx(ctx), sqlTotPar(ctx.sqlCon, "sqlTotPar"), sqlTotParUnit(ctx.sqlCon, "sqlTotParUnit") {
    sqlTotPar.setSql("select ESTEIRA_CX, DTBAIXA_CX, DATA_CANC_CX\n"
                     "from CODCXUNIT\n"
                     "where DTBAIXA_CX>=:DATAI\n"
                     "and DTBAIXA_CX<=:DATAF");
    sqlTotParUnit.setSql("select C.DTSAIDA_PU, U.DATA_CANC_CX\n"
                         "from PRODUCAO_SETOR_CXUNIT C\n"
                         "left join CODCXUNIT U on U.CODIGO_CX = C.CODCXUNIT_PU\n"
                         "where C.DTSAIDA_PU >= :DATAI and\n"
                         "      C.DTSAIDA_PU <= :DATAF and\n"
                         "      C.SETOR_PU = :SETOR");
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
    const DateTime t = m_ctx.ReadServerTime();
    if (m_tickMissed) {
        setClockTime(t);
    }
    return t;
}

void ProductionMonitor::setClockTime(const DateTime& t) {
    m_tickMissed = false;
    m_clockSet = true;
    LastClockTime = t;
    LastClockTimeText = formatDateTime("hh:nn:ss", LastClockTime);
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
    }
    query.open();
    LastCounterRefresh = QDateTime::currentMSecsSinceEpoch();
    std::vector<CounterRow> rows;
    rows.reserve(query.recordCount());
    const auto timeCol = static_cast<std::size_t>(query.fieldIndex(sector ? "DTSAIDA_PU" : "DTBAIXA_CX"));
    const auto cancCol = static_cast<std::size_t>(query.fieldIndex("DATA_CANC_CX"));
    const int convCol = sector ? -1 : query.fieldIndex("ESTEIRA_CX");
    for (const auto& r : query.rows()) {
        if (convCol >= 0 && r[static_cast<std::size_t>(convCol)].asString() != m_ctx.settings.CODESTEIRA) {
            continue;
        }
        rows.push_back({r[timeCol].asDateTime(), !r[cancCol].isNull()});
    }
    query.close();

    const CounterFigures f = countProduction(rows, LastClockTime.datePart());
    DayCount = f.dayCount;
    MonthCount = f.monthCount;
    MonthCancelledCount = f.monthCancelledCount;
    {
        db::UpdatesSuspended quiet(cdsProdHora);
        ClearDataSet(cdsProdHora);
        for (const DateTime& t : f.todayTimes) {
            AddHourlyWriteOff(cdsProdHora, t);
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
    if (now - LastCounterRefresh >= m_ctx.settings.TEMPO_ESPERA) {
        reloadCounters();
        LastCounterRefresh = now;
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
    texts.monthTotal = cp1252("Total do Mês: ") + formatFloat("###,000", MonthCount - MonthCancelledCount);
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
