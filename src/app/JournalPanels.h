#pragma once

#include "station/OperatorDisplay.h"

#include <string>
#include <vector>

class QBoxLayout;
class QColor;
class QFrame;
class QLabel;
class QTableWidget;
class QWidget;

namespace vek {

/// The two panels of the scan journal on the main window: the header pnConexao while scans are
/// kept, and the list pnRecusasTardias of kept scans the database refused once it was back.
class JournalPanels {
public:
    /// Builds both, hidden: pnConexao at the top of `outer`, the list just above its last widget
    /// (the message panel).
    JournalPanels(QWidget* window, QBoxLayout* outer);

    void ShowConnection(const std::string& text);
    void ShowLateRefusals(const std::vector<LateRefusal>& lines);

    /// Amber, the colour of a kept scan.
    static const QColor& amber();

private:
    QLabel* pnConexao = nullptr;
    QFrame* pnRecusasTardias = nullptr;
    QTableWidget* dbgRecusasTardias = nullptr;
};

} // namespace vek
