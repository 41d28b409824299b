#pragma once

#include <QDialog>

#include <string>

class QComboBox;
class QLabel;
class QPushButton;

namespace vek::access {

/// The modal choice of a company's database. Lines are added before it is shown; the first line
/// added is the selected one.
class TfrmSelecionarBanco : public QDialog {
    Q_OBJECT

public:
    static constexpr int kOk = 1;
    static constexpr int kCancel = 2;

    explicit TfrmSelecionarBanco(QWidget* parent = nullptr);

    /// A line with the text in the station's 8-bit code page.
    void addLine(const std::string& description);
    void clearLines();
    /// 0-based, or -1 when the list is empty.
    int selectedLine() const;

    /// Shows the dialog modally, centred on the screen: kOk from "Entrar", kCancel otherwise
    /// (including the window being closed).
    int execute();

private:
    QLabel* m_banner;
    QComboBox* m_cbSelecionarEmpresa;
    QPushButton* m_btEntrar;
    QPushButton* m_btCancelar;
};

} // namespace vek::access
