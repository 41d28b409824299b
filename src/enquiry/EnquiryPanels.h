#pragma once

#include "station/OperatorDisplay.h"
#include "widgets/DesignScale.h"

#include <QObject>
#include <QPointer>

class QComboBox;
class QLabel;
class QLineEdit;
class QTableView;

namespace vek {
namespace db {
class TableModel;
}
namespace widgets {
class TQXDesignPanel;
class TQXPanelForm;
} // namespace widgets

namespace enquiry {

class LabelEnquiry;
class SectorCancellation;

/// The enquiry panel pfConsultaEtiq over its host window: keys in, the enquiry's state out.
class TEnquiryPanel : public QObject {
    Q_OBJECT
public:
    TEnquiryPanel(LabelEnquiry& enquiry, SectorCancellation& cancellation, QWidget* host);
    ~TEnquiryPanel() override;

    /// Shows the panel modally; returns when it is closed.
    void Show();
    void close();
    /// pnMsgConsulta.
    void paintMessage(const std::string& text, MessageColour colour, bool hint);
    /// Shows what the enquiry holds now.
    void refresh();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    template <class F>
    void guarded(F&& step);
    void showCancellation();

    // Tests find them by object name, as the station's script does.
    widgets::TQXPanelForm* pfConsultaEtiq = nullptr;
    QLineEdit* edCodBarraConsulta = nullptr;
    QLineEdit* edProdConsulta = nullptr;
    QLineEdit* edPadConsulta = nullptr;
    QLineEdit* edTamConsulta = nullptr;
    QLineEdit* edProgConsulta = nullptr;
    QLineEdit* edFichaConsulta = nullptr;
    QLineEdit* edTotFichaConsulta = nullptr;
    QLabel* imgProdConsulta = nullptr;
    QTableView* dbgSetoresConsulta = nullptr;
    QLabel* pnCancQuilbar = nullptr;
    widgets::FitLabel* pnMsgConsulta = nullptr;

    LabelEnquiry& m_enquiry;
    SectorCancellation& m_cancellation;
    QPointer<QWidget> m_host;
    db::TableModel* m_model = nullptr;
};

/// The cancellation panel pfCancAtuCxUnit: the sector to take back, F9 and Esc.
class TCancelPanel : public QObject {
    Q_OBJECT
public:
    TCancelPanel(LabelEnquiry& enquiry, SectorCancellation& cancellation, QWidget* host);
    ~TCancelPanel() override;

    void Show();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    widgets::TQXPanelForm* pfCancAtuCxUnit = nullptr;
    QComboBox* dbSetorCanc = nullptr;

    LabelEnquiry& m_enquiry;
    SectorCancellation& m_cancellation;
};

} // namespace enquiry
} // namespace vek
