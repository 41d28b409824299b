#pragma once

#include "db/Query.h"
#include "scan/BoxRow.h"
#include "scan/BoxWriteOff.h"
#include "scan/DashboardNotifier.h"
#include "scan/ScanOutcome.h"
#include "scan/SectorRecords.h"
#include "scan/StockMovement.h"
#include "scan/SubTicketScan.h"
#include "util/DateTime.h"

#include <cstdint>
#include <optional>
#include <string>

namespace vek {

class StationContext;
class ProductionMonitor;
class StationModules;
class ProductPictures;

/// A 15-character code beginning with "2" is a production sub-ticket label.
bool isSubTicketCode(const std::string& code);

/// The scanned text as a number in the locale's decimal notation (blanks around it, a sign, one
/// decimal separator); no thousands separators and no exponent, which would make a code of letters.
/// Empty or anything else: no number.
std::optional<double> parseScanCode(const std::string& text, char decimalSeparator);

/// Box codes are whole numbers from 1 to 2,147,483,647; any other number names no box.
std::optional<std::int32_t> boxCodeOf(double number);

/// The state of a box row as the refusal checks read it.
struct BoxDates {
    std::optional<DateTime> emission;   // DTEMISSAO_CX
    std::optional<DateTime> cancelled;  // DATA_CANC_CX
    std::optional<DateTime> writtenOff; // DTBAIXA_CX
};

/// "Código "1.234.567" já baixado em 18/05/2024 17:45". 8-bit text.
std::string writtenOffMessage(double code, const DateTime& writtenOff);

/// The first refusal of a looked-up box, in the station's order (age, cancellation, write-off), or
/// nothing when the box may be written off. 8-bit text.
std::optional<std::string> boxRefusal(const BoxDates& box, const DateTime& serverTime, int maxAgeDays, double code);

/// What one scanned label does: looked up, checked, written off, recorded, booked, counted, told.
class UnitBoxScan {
public:
    UnitBoxScan(StationContext& ctx, ProductionMonitor& monitor, ProductPictures& pictures, StationModules& modules);
    UnitBoxScan(const UnitBoxScan&) = delete;
    UnitBoxScan& operator=(const UnitBoxScan&) = delete;

    /// Handles the scanned text and tells what became of it. Refusals are shown; an error of the
    /// update step is shown in the update-error box and passed on, like any other error; a lost
    /// answer raises OutcomeInDoubt. `keptAt`: a kept scan settled later, checked, written off and
    /// recorded at the time it was made (no picture is looked up for it).
    ScanOutcome ProcessScan(const std::string& text, const std::optional<DateTime>& keptAt = std::nullopt);

    /// The box's row, read once for the whole scan; nothing when there is no such box.
    std::optional<BoxRow> ReadBox(std::int32_t code);

    SectorRecords& sectorRecords() { return m_sector; }
    StockMovement& stockMovement() { return m_stock; }
    DashboardNotifier& dashboard() { return m_dashboard; }

private:
    /// False with the message to show in `refusal` when the validation refuses the box.
    bool ValidateUnitBoxInSector(const BoxRow& box, std::string& refusal);
    /// Shows and returns why the box could not be written off after all.
    std::string showWrittenOffMeanwhile(std::int32_t code);
    void postStock(const BoxRow& box, const DateTime& serverTime, const std::optional<DateTime>& keptAt);
    void showPicture(const BoxRow& box);
    /// Conveyor mode's unit of work; the refusal (shown) when another station wrote the box off.
    std::optional<std::string> WriteOffOnConveyor(const BoxRow& box, const DateTime& serverTime,
                                                  const std::optional<DateTime>& keptAt);
    /// Sector mode's unit of work; the refusal (shown) when the box was refused.
    std::optional<std::string> RecordInSector(const BoxRow& box, const DateTime& serverTime,
                                              const std::optional<DateTime>& keptAt, int& id);

    StationContext& m_ctx;
    ProductionMonitor& m_monitor;
    ProductPictures& m_pictures;
    SectorRecords m_sector;
    StockMovement m_stock;
    DashboardNotifier m_dashboard;
    SubTicketScan m_subTicket;
    db::Query sqlBloqCxUnit;
};

} // namespace vek
