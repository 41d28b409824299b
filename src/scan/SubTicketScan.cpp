#include "scan/SubTicketScan.h"

#include "station/StationContext.h"
#include "util/TextCodec.h"

namespace vek {

void SubTicketScan::ProcessSubTicket(const std::string&) {
    // Sub-ticket labels are not handled by this station build yet; say so rather than drop the scan.
    m_ctx.display.ClearScanField();
    m_ctx.display.ShowErrorMessage(cp1252("Etiqueta de subficha não suportada nesta versão."));
}

} // namespace vek
