#pragma once

#include "db/MemTable.h"
#include "db/Query.h"
#include "scan/SectorRecords.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace vek {

class StationContext;
class ProductionMonitor;
class ProductPictures;
class StationModules;

namespace enquiry {

/// The box as the enquiry panel shows it.
struct EnquiryFields {
    std::string prod;     // edProdConsulta
    std::string pad;      // edPadConsulta
    std::string tam;      // edTamConsulta
    std::string prog;     // edProgConsulta
    std::string ficha;    // edFichaConsulta
    std::string totFicha; // edTotFichaConsulta
};

/// The label enquiry (F1): a box's data and, per sector of its route, the ticket's boxes updated
/// and pending. No widgets: the panel shows what this holds.
class LabelEnquiry {
public:
    /// The enquiry's counts are the monitor's ticket count, as the scan's are.
    LabelEnquiry(StationContext& ctx, ProductionMonitor& monitor, ProductPictures& pictures, StationModules& modules);
    LabelEnquiry(const LabelEnquiry&) = delete;
    LabelEnquiry& operator=(const LabelEnquiry&) = delete;

    /// Asks an authorised user's consent; the name, or nothing. Set by the panel (the dialog).
    std::function<std::optional<std::string>(const std::string& groups)> consent;
    /// Shows the cancellation panel modally. Set by the panel.
    std::function<void()> showCancellation;

    /// The panel opens: no code enquired, everything empty.
    void Open();
    /// Whether F4 (and its hint line) is available.
    bool cancellationAvailable() const;

    void ClearEnquiry();
    /// The code field's text (the panel has already emptied the field).
    void EnquireLabel(const std::string& text);
    void LoadEnquirySectors();
    /// F4.
    void RequestCancellation();

    std::int32_t EnquiredCode = 0;
    std::string AuthorisingUser;
    EnquiryFields fields;
    bool pictureVisible = false;
    std::string picture; // the catalogue's data of the shown picture

    /// SETOR, DESC_SETOR, QTDE_ATUALIZADA, QTDE_PENDENTE.
    db::MemTable cdsSetoresConsulta{"cdsSetoresConsulta"};
    db::Query sqlSetoresConsulta;
    /// The enquired box, with the scan's box statement; a query of the enquiry's own.
    db::Query sqlCodCxUnConsulta;
    /// Where the trace folder "SQL" goes; beside the executable when empty.
    std::filesystem::path traceBaseDir;

    StationContext& context() { return m_ctx; }

private:
    StationContext& m_ctx;
    ProductionMonitor& m_monitor;
    ProductPictures& m_pictures;
    SectorRecords m_records;
};

/// The SQL list of the sectors the enquiry shows, or empty for all: the configured list, else the
/// station's sector and those before it.
std::string EnquirySectorFilter(const std::string& configured, const std::string& sector,
                                const std::string& previousSectors);
/// The text of sqlSetoresConsulta for a product (unquoted) and a filter list (may be empty).
std::string EnquirySectorsSql(const std::string& product, const std::string& filterList);

} // namespace enquiry
} // namespace vek
