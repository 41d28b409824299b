#pragma once

#include "enquiry/AuthorisedUser.h"

#include <QDialog>

#include <functional>
#include <string>

class QLabel;
class QLineEdit;
class QListWidget;

namespace vek {
class OperatorDisplay;
namespace widgets {
class TQXButton;
class TQXDesignPanel;
class TQXPanelForm;
} // namespace widgets
} // namespace vek

namespace vek::enquiry {

/// The consent dialog: an authorised user gives name and password.
class TfrmUsuarioAutorizado : public QDialog {
    Q_OBJECT
public:
    /// The list and the connection are the caller's; boxes go through `display`.
    TfrmUsuarioAutorizado(const AuthorisedList& list, db::Connection& connection, OperatorDisplay& display,
                          QWidget* parent = nullptr);
    ~TfrmUsuarioAutorizado() override;

    bool authorised() const { return m_authorised; }
    /// The text of edUsuario (8-bit).
    std::string user() const;

    /// The service user's password the confirmation expects (today's, unless replaced by a test).
    std::function<std::string()> servicePassword;

    /// Enter in edSenha. Errors are shown, never passed on.
    void Confirm();
    /// The list button: shows the popup of authorised users.
    void ShowAuthorisedList();

    QLineEdit* edUsuario = nullptr;
    QLineEdit* edSenha = nullptr;
    widgets::TQXButton* btListaUsuAutorizado = nullptr;
    widgets::TQXPanelForm* pfUsuAutorizado = nullptr;
    widgets::TQXDesignPanel* pnUsuAutorizado = nullptr;
    QListWidget* lbListaUsuAutorizados = nullptr;
    widgets::TQXButton* btFecharUsuAutorizados = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void confirmSteps();
    void listDoubleClicked();

    const AuthorisedList& m_list;
    db::Connection& m_connection;
    OperatorDisplay& m_display;
    bool m_authorised = false;
};

} // namespace vek::enquiry
