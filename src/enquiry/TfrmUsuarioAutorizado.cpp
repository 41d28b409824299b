#include "enquiry/TfrmUsuarioAutorizado.h"

#include "station/OperatorDisplay.h"
#include "util/TextCodec.h"
#include "widgets/TQXButton.h"
#include "widgets/TQXPanelForm.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

namespace vek::enquiry {

using namespace widgets;

TfrmUsuarioAutorizado::TfrmUsuarioAutorizado(const AuthorisedList& list, db::Connection& connection,
                                             OperatorDisplay& display, QWidget* parent)
    : QDialog(parent), servicePassword([] { return DailyServicePassword(); }), m_list(list), m_connection(connection),
      m_display(display) {
    setObjectName(QStringLiteral("frmUsuarioAutorizado"));
    setWindowTitle(QString::fromUtf8("Usuário Autorizado"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(319, 121);

    auto* lbUsuario = new QLabel(QString::fromUtf8("Usuário"), this);
    lbUsuario->setObjectName(QStringLiteral("lbUsuario"));
    lbUsuario->setGeometry(16, 14, 100, 16);
    edUsuario = new QLineEdit(this);
    edUsuario->setObjectName(QStringLiteral("edUsuario"));
    edUsuario->setGeometry(16, 32, 250, 24);
    edUsuario->setMaxLength(20);
    // Every letter is shown and kept in upper case, as the user names are stored.
    connect(edUsuario, &QLineEdit::textEdited, this, [this](const QString& text) {
        const QString upper = text.toUpper();
        if (upper != text) {
            const int at = edUsuario->cursorPosition();
            edUsuario->setText(upper);
            edUsuario->setCursorPosition(at);
        }
    });
    btListaUsuAutorizado = new TQXButton(this);
    btListaUsuAutorizado->setObjectName(QStringLiteral("btListaUsuAutorizado"));
    btListaUsuAutorizado->setAction(QStringLiteral("LOG"));
    btListaUsuAutorizado->setToolTip(QString::fromUtf8("Lista de Usuários Autorizados"));
    btListaUsuAutorizado->setGeometry(276, 26, 27, 35);
    btListaUsuAutorizado->setAutoDefault(false);
    connect(btListaUsuAutorizado, &QPushButton::clicked, this, [this] { ShowAuthorisedList(); });

    auto* lbSenha = new QLabel(QStringLiteral("Senha"), this);
    lbSenha->setObjectName(QStringLiteral("lbSenha"));
    lbSenha->setGeometry(16, 64, 100, 16);
    edSenha = new QLineEdit(this);
    edSenha->setObjectName(QStringLiteral("edSenha"));
    edSenha->setGeometry(16, 82, 250, 24);
    edSenha->setEchoMode(QLineEdit::Password);
    // The suite masks with "*", whatever bullet the style would choose.
    edSenha->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    edSenha->installEventFilter(this);

    // The popup list of the users who may consent.
    pfUsuAutorizado = new TQXPanelForm(this);
    pfUsuAutorizado->setName(QStringLiteral("pfUsuAutorizado"));
    pnUsuAutorizado = new TQXDesignPanel();
    pnUsuAutorizado->resize(136, 170);
    lbListaUsuAutorizados = new QListWidget(pnUsuAutorizado);
    lbListaUsuAutorizados->setObjectName(QStringLiteral("lbListaUsuAutorizados"));
    lbListaUsuAutorizados->setGeometry(4, 4, 128, 130);
    lbListaUsuAutorizados->setSortingEnabled(true);
    connect(lbListaUsuAutorizados, &QListWidget::itemDoubleClicked, this, [this] { listDoubleClicked(); });
    btFecharUsuAutorizados = new TQXButton(pnUsuAutorizado);
    btFecharUsuAutorizados->setObjectName(QStringLiteral("btFecharUsuAutorizados"));
    btFecharUsuAutorizados->setAction(QStringLiteral("FECHAR"));
    btFecharUsuAutorizados->setText(QStringLiteral("Fechar"));
    btFecharUsuAutorizados->setGeometry(30, 140, 75, 25);
    btFecharUsuAutorizados->setAutoDefault(false);
    connect(btFecharUsuAutorizados, &QPushButton::clicked, this, [this] { pfUsuAutorizado->close(); });
    pfUsuAutorizado->setPanel(pnUsuAutorizado);
    pfUsuAutorizado->FormConfig.Caption = QStringLiteral("Autorizados");
    pfUsuAutorizado->FormConfig.BorderIcons = static_cast<TBorderIcons>(TBorderIcon::biSystemMenu);
    pfUsuAutorizado->FormConfig.Position = TPosition::poScreenCenter;
    pfUsuAutorizado->FormConfig.BorderStyle = TFormBorderStyle::bsSingle;
    pfUsuAutorizado->setKeyPreview(false);
    pfUsuAutorizado->OnShow = [this] {
        lbListaUsuAutorizados->clear();
        for (const std::string& name : m_list.names()) lbListaUsuAutorizados->addItem(toQString(name));
    };

    // Name, then password: Tab goes where the operator types next.
    setTabOrder(edUsuario, edSenha);
    setTabOrder(edSenha, btListaUsuAutorizado);
    edUsuario->setFocus();
}

TfrmUsuarioAutorizado::~TfrmUsuarioAutorizado() = default;

std::string TfrmUsuarioAutorizado::user() const {
    return fromQString(edUsuario->text());
}

bool TfrmUsuarioAutorizado::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edSenha && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            Confirm();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmUsuarioAutorizado::keyPressEvent(QKeyEvent* event) {
    // Only a confirmation or the close icon ends the dialog: Enter and Esc elsewhere do nothing.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TfrmUsuarioAutorizado::Confirm() {
    try {
        confirmSteps();
    } catch (const std::exception& e) {
        QApplication::restoreOverrideCursor();
        m_display.ShowPlatformError(e.what());
    } catch (...) {
        m_display.ShowPlatformError("Unexpected error");
    }
}

void TfrmUsuarioAutorizado::confirmSteps() {
    const std::string name = user();
    const std::string password = fromQString(edSenha->text());
    const Confirmation result = ConfirmUser(name, password, m_list, m_connection, servicePassword());
    switch (result) {
    case Confirmation::NoUser:
        m_display.ShowWarningBox(cp1252("Informe o usuário."));
        edUsuario->setFocus();
        return;
    case Confirmation::NoPassword:
        m_display.ShowWarningBox("Informe a senha.");
        edSenha->setFocus();
        return;
    case Confirmation::NotRegistered:
        m_display.ShowErrorBox(cp1252("Usuário não cadastrado"));
        edUsuario->setFocus();
        return;
    case Confirmation::WrongPassword:
        m_display.ShowErrorBox(cp1252("Senha inválida"));
        edSenha->setFocus();
        return;
    case Confirmation::NotAuthorised:
        m_display.ShowErrorBox(cp1252("Usuário Não está Autorizado."));
        edUsuario->setFocus();
        return;
    case Confirmation::Authorised:
        m_authorised = true;
        accept();
        return;
    }
}

void TfrmUsuarioAutorizado::ShowAuthorisedList() {
    pfUsuAutorizado->ShowPanelForm();
}

void TfrmUsuarioAutorizado::listDoubleClicked() {
    QListWidgetItem* item = lbListaUsuAutorizados->currentItem();
    if (!item || !item->isSelected()) return;
    edUsuario->setText(item->text());
    edSenha->setFocus();
    pfUsuAutorizado->close();
}

} // namespace vek::enquiry
