#pragma once

#include "station/OperatorDisplay.h"

#include <string>
#include <vector>

namespace vek::widgets {
class DesignScale;
class FitLabel;
} // namespace vek::widgets

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
    /// Their sizes and fonts are the window's design, kept by `scale`.
    JournalPanels(QWidget* window, QBoxLayout* outer, widgets::DesignScale& scale);

    void ShowConnection(const std::string& text);
    void ShowLateRefusals(const std::vector<LateRefusal>& lines);

    /// The design height of what is shown of them now.
    int DesignHeight() const;

    /// Amber, the colour of a kept scan.
    static const QColor& amber();

private:
    widgets::FitLabel* pnConexao = nullptr;
    QFrame* pnRecusasTardias = nullptr;
    QTableWidget* dbgRecusasTardias = nullptr;
};

} // namespace vek
