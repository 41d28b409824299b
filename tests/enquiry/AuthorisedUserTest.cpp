// The stored password form, the service user's password of the day, group membership against the
// access-control database, and the consent dialog driven with real keys.
#include "enquiry/AuthorisedUser.h"
#include "EnquiryRig.h"
#include "enquiry/AuthorisedUserCheck.h"
#include "enquiry/TfrmUsuarioAutorizado.h"
#include "support/Thrown.h"
#include "widgets/TQXButton.h"
#include "widgets/TQXPanelForm.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>

using namespace vek;
using namespace vek::enquiry;
using namespace vek::test;

namespace {

std::string fromHex(const std::string& hex) {
    std::string out;
    for (std::size_t i = 0; i < hex.size(); i += 2) out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return out;
}

TEST(FormatPassword, StoredFormsWorkedOutFromTheTable) {
    struct Row {
        const char* user;
        const char* password;
        const char* form; // 30 bytes in hexadecimal
    } rows[] = {
        // U = ABxyzABxyz, P = xyzABxyzAB; byte 1 = P1 + P6 = 'x' + 'x' = 0xF0, byte 2 = U2 + U4 = 'B' + 'y'.
        {"AB", "xyz", "f0bbba82bcf2bcf2ba82f0bb83bcf3f1f3f183bcbbf1bbf1babbf1bcbb83"},
        // An 11-character name and a 12-character password: only their first 10 characters count.
        {"SUPERVISOR1", "abcdefghijKL", "c79ac6a9c8a2c8a2c6a9c79ad39bcfa2cfa2d39ba5c39ac3a5c795c8a5c9"},
        // Bytes above 127 add modulo 256: U = C7 C3 4F FF E9 80 C7 C3 4F FF, P = FF E9 80 C7 C3 4F FF E9 80 C7,
        // so byte 1 = P1 + P6 = 0xFF + 0x4F = 0x14E -> 0x4E.
        {"\xc7\xc3O", "\xff\xe9\x80", "4ec2b04743384338b0474ec247c6e812e81247c6b0e8c2e812474e43b08a"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.user);
        const std::string form = FormatPassword(r.user, r.password);
        EXPECT_EQ(form.size(), 30u);
        EXPECT_EQ(form, fromHex(r.form));
    }
    EXPECT_EQ(FormatPassword("SUPERVISOR1", "abcdefghijKL"), FormatPassword("SUPERVISOR", "abcdefghij"));
    EXPECT_NE(FormatPassword("AB", "xyz"), FormatPassword("AB", "xyZ"));
}

TEST(FormatPassword, EveryByteValueAddsModulo256) {
    // A one-byte name a and password b: U = ababababab, P = bababababa, so byte 1 = P1 + P6 = b + a,
    // byte 2 = U2 + U4 = 2b, byte 4 = U1 + U6 = a + b and byte 13 = P9 + P10 = b + a. Every byte value
    // 0..255 is tried as the name against its successor as the password.
    for (int a = 0; a < 256; ++a) {
        const int b = (a + 1) % 256;
        SCOPED_TRACE(a);
        const std::string form =
            FormatPassword(std::string(1, static_cast<char>(a)), std::string(1, static_cast<char>(b)));
        ASSERT_EQ(form.size(), 30u);
        EXPECT_EQ(static_cast<unsigned char>(form[0]), (a + b) % 256);
        EXPECT_EQ(static_cast<unsigned char>(form[1]), (2 * b) % 256);
        EXPECT_EQ(static_cast<unsigned char>(form[12]), (b + a) % 256);
        EXPECT_EQ(static_cast<unsigned char>(form[3]), (a + b) % 256); // U1 + U6
    }
}

TEST(FormatPassword, EmptyNameOrPasswordFails) {
    const auto noName = thrown<std::invalid_argument>([&] { FormatPassword("", "x"); });
    ASSERT_TRUE(noName) << "no error";
    EXPECT_EQ(toQString(noName->what()), u8("Usuário inválido para formatação da senha"));
    const auto noPassword = thrown<std::invalid_argument>([&] { FormatPassword("A", ""); });
    ASSERT_TRUE(noPassword) << "no error";
    EXPECT_EQ(toQString(noPassword->what()), u8("Senha inválida para formatação da senha"));
}

TEST(DailyServicePassword, FirstAndLastFiveDigitsOfTheDaysDigest) {
    // MD5("@TuRaXe#20240305") = 37b13d87e58fb799e3e4732fe729e57b
    EXPECT_EQ(DailyServicePassword(2024, 3, 5), "37b139e57b");
    EXPECT_NE(DailyServicePassword(2024, 3, 6), DailyServicePassword(2024, 3, 5));
    const std::string today = DailyServicePassword();
    EXPECT_EQ(today.size(), 10u);
    EXPECT_TRUE(std::all_of(today.begin(), today.end(), [](char c) { return std::isxdigit(c) && !std::isupper(c); }));
}

TEST(AuthorisedList, NamesOnceWhateverTheirCase) {
    AuthorisedList list;
    EXPECT_TRUE(list.add("ANA"));
    EXPECT_FALSE(list.add("ana"));
    EXPECT_TRUE(list.add("\xc9LIO")); // ÉLIO
    EXPECT_FALSE(list.add("\xe9lio"));
    EXPECT_TRUE(list.contains("Ana"));
    EXPECT_EQ(list.names(), (std::vector<std::string>{"ANA", "\xc9LIO"}));
}

TEST(SplitGroups, TrimmedAndEmptyItemsDropped) {
    EXPECT_EQ(SplitGroups("A, B"), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(SplitGroups("A, ,B,,  "), (std::vector<std::string>{"A", "B"}));
    EXPECT_TRUE(SplitGroups(" , ").empty());
}

// Users of the access-control database and their groups.
class Membership : public ::testing::Test {
protected:
    void SetUp() override {
        user("ANA", "PROD-SUPERV-EXPED");
        user("BETO", "SUPERVISAO", "b123");
        user("CAIO", "SUPERV", "segredo");
        user("DUDA", "EXPED-QUALI");
        user("EVA", "");
        user("FABIO", "-X");
        user("GIL", "X--Y");
        user("HUGO", "50%_OFF");
        user("IVO", "50XXOFF");
        user("JOAO", "O'NEIL");
        user("KAI", "QA-P\\D");
        user("QUERVA", "TI", "velha");
        conn = access.connect();
    }
    void user(const std::string& name, const std::string& groups, const std::string& password = "x") {
        std::string quoted;
        for (char c : groups) quoted += c == '\'' ? std::string("''") : std::string(1, c);
        access.exec("insert into USUARIOS (NOME_US, SENHA_US, GRUPOS_US) values ('" + name + "', x'" +
                    toHex(FormatPassword(name, password)) + "', '" + quoted + "')");
    }
    static std::string toHex(const std::string& bytes) {
        static const char* d = "0123456789ABCDEF";
        std::string out;
        for (unsigned char c : bytes) {
            out += d[c >> 4];
            out += d[c & 15];
        }
        return out;
    }
    std::vector<std::string> members(const std::string& groups) {
        std::vector<std::string> names = BuildAuthorisedList(groups, *conn).names();
        return names;
    }
    static std::vector<std::string> sorted(std::vector<std::string> v) {
        std::sort(v.begin(), v.end());
        return v;
    }

    TestDb access{Schema::Access};
    std::unique_ptr<db::Connection> conn;
};

TEST_F(Membership, GroupsJoinedByHyphens) {
    using V = std::vector<std::string>;
    struct Row {
        const char* groups;
        V expected; // sorted
    } rows[] = {
        {"SUPERV", {"ANA", "CAIO"}},
        {"PROD", {"ANA"}},
        {"EXPED", {"ANA", "DUDA"}},
        {"SUPER", {}}, // only the beginning of SUPERV and SUPERVISAO
        {"UPERV", {}},
        {"  SUPERV  ,PROD", {"ANA", "CAIO"}},
        {"EXPED, QUALI", {"ANA", "DUDA"}}, // DUDA is in both and listed once
        // Items that are empty once trimmed are dropped: no user without a group, or with "-X", "X--Y".
        {"A, ,B", {}},
        {" , ", {}},
        // Wildcards and quotes in a group name match only themselves.
        {"50%_OFF", {"HUGO"}},
        {"O'NEIL", {"JOAO"}},
        {"%", {}},
        {"_", {}},
        // So does the character that escapes them.
        {"P\\D", {"KAI"}},
        {"P\\", {}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.groups);
        EXPECT_EQ(sorted(members(r.groups)), r.expected);
    }
    // In the order found: the first group's members first.
    const V both = members("QUALI, PROD");
    EXPECT_EQ(both, (V{"DUDA", "ANA"}));
}

// The dialog over the members of SUPERV, with the service user's password of a fixed day.
class ConsentDialog : public Membership {
protected:
    void SetUp() override {
        Membership::SetUp();
        display.setOutputs(Platform{&tones, &boxes, {}}, nullptr);
        list = BuildAuthorisedList("SUPERV, TI_OUTRO", *conn);
    }
    std::unique_ptr<TfrmUsuarioAutorizado> dialog(const AuthorisedList& l) {
        auto d = std::make_unique<TfrmUsuarioAutorizado>(l, *conn, display);
        d->servicePassword = [] { return DailyServicePassword(2024, 3, 5); };
        d->show();
        QApplication::setActiveWindow(d.get());
        return d;
    }
    // Types name and password into the fields and presses Enter in the password field.
    void confirm(TfrmUsuarioAutorizado& d, const char* name, const char* password) {
        d.edUsuario->clear();
        d.edSenha->clear();
        QTest::keyClicks(d.edUsuario, QString::fromLatin1(name));
        QTest::keyClicks(d.edSenha, QString::fromLatin1(password));
        QTest::keyClick(d.edSenha, Qt::Key_Return);
    }

    RecordingDisplay display;
    RecordingToneOutput tones;
    RecordingMessageBoxes boxes;
    AuthorisedList list;
};

TEST_F(ConsentDialog, ConfirmationPathsWithRealKeys) {
    using Icon = MessageBoxes::Icon;
    struct Row {
        const char* name;
        const char* password;
        Icon icon;
        const char* title;
        const char* text;
        const char* focus;
    } rows[] = {
        {"", "", Icon::Warning, "Alerta", "Informe o usuário.", "edUsuario"},
        {"CAIO", "", Icon::Warning, "Alerta", "Informe a senha.", "edSenha"},
        {"ZECA", "qualquer", Icon::Error, "Erro", "Usuário não cadastrado", "edUsuario"},
        {"CAIO", "errada", Icon::Error, "Erro", "Senha inválida", "edSenha"},
        {"BETO", "b123", Icon::Error, "Erro", "Usuário Não está Autorizado.", "edUsuario"},
        // The service user: the stored password is not looked at, only the day's.
        {"QUERVA", "velha", Icon::Error, "Erro", "Senha inválida", "edSenha"},
        {"QUERVA", "37b139e57b", Icon::Error, "Erro", "Usuário Não está Autorizado.", "edUsuario"},
    };
    auto d = dialog(list);
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.name) + "/" + r.password);
        confirm(*d, r.name, r.password);
        const auto shown = boxes.take();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].icon, r.icon);
        EXPECT_EQ(shown[0].title, QString::fromLatin1(r.title));
        EXPECT_EQ(shown[0].text, u8(r.text));
        EXPECT_EQ(QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString(),
                  QString::fromLatin1(r.focus));
        EXPECT_FALSE(d->authorised());
        EXPECT_TRUE(d->isVisible()) << "stays open for a new try";
    }
    // Enter in the name field does not confirm.
    d->edUsuario->clear();
    d->edSenha->clear();
    QTest::keyClicks(d->edUsuario, QStringLiteral("caio"));
    QTest::keyClick(d->edUsuario, Qt::Key_Return);
    EXPECT_TRUE(boxes.take().empty());
    // Typed in lower case, shown and looked up in upper case.
    EXPECT_EQ(d->edUsuario->text(), QStringLiteral("CAIO"));
    EXPECT_EQ(d->edSenha->echoMode(), QLineEdit::Password);
    QTest::keyClicks(d->edSenha, QStringLiteral("segredo"));
    EXPECT_EQ(d->edSenha->displayText(), QStringLiteral("*******")) << "one star per character";
    QTest::keyClick(d->edSenha, Qt::Key_Return);
    EXPECT_TRUE(boxes.take().empty());
    EXPECT_TRUE(d->authorised());
    EXPECT_EQ(d->result(), QDialog::Accepted);
    EXPECT_EQ(d->user(), "CAIO");

    // The service user in a listed group, with the day's password.
    AuthorisedList withService = BuildAuthorisedList("TI", *conn);
    auto s = dialog(withService);
    confirm(*s, "querva", "37b139e57b");
    for (const auto& b : boxes.take()) ADD_FAILURE() << b.text.toStdString();
    EXPECT_TRUE(s->authorised());
}

TEST_F(ConsentDialog, ListOfAuthorisedUsers) {
    const AuthorisedList found = BuildAuthorisedList("QUALI, PROD", *conn); // DUDA before ANA
    auto d = dialog(found);
    EXPECT_EQ(d->objectName(), QStringLiteral("frmUsuarioAutorizado"));
    EXPECT_EQ(d->size(), QSize(319, 121));
    EXPECT_FALSE(d->btListaUsuAutorizado->ownDrawing()) << "a plain push button";
    EXPECT_EQ(d->btListaUsuAutorizado->Action(), QStringLiteral("LOG"));
    EXPECT_EQ(d->btListaUsuAutorizado->toolTip(), u8("Lista de Usuários Autorizados"));
    EXPECT_EQ(d->btFecharUsuAutorizados->text(), QStringLiteral("Fechar"));

    QStringList items;
    QString window;
    bool stillOpenAfterEmptyDoubleClick = false;
    QTimer::singleShot(0, [&] {
        QWidget* popup = QApplication::activeModalWidget();
        window = popup ? popup->objectName() : QString();
        for (int i = 0; i < d->lbListaUsuAutorizados->count(); ++i) items << d->lbListaUsuAutorizados->item(i)->text();
        // A double-click where no name is selected does nothing.
        d->lbListaUsuAutorizados->clearSelection();
        d->lbListaUsuAutorizados->setCurrentRow(-1);
        emit d->lbListaUsuAutorizados->itemDoubleClicked(d->lbListaUsuAutorizados->item(0));
        stillOpenAfterEmptyDoubleClick = popup && popup->isVisible();
        // A double-click on a name takes it and closes the list.
        QListWidgetItem* duda = d->lbListaUsuAutorizados->findItems(QStringLiteral("DUDA"), Qt::MatchExactly).value(0);
        const QRect r = d->lbListaUsuAutorizados->visualItemRect(duda);
        QTest::mouseClick(d->lbListaUsuAutorizados->viewport(), Qt::LeftButton, {}, r.center());
        QTest::mouseDClick(d->lbListaUsuAutorizados->viewport(), Qt::LeftButton, {}, r.center());
        if (popup && popup->isVisible()) popup->close();
    });
    QTest::mouseClick(d->btListaUsuAutorizado, Qt::LeftButton);
    EXPECT_EQ(window, QStringLiteral("pfUsuAutorizado"));
    EXPECT_EQ(found.names(), (std::vector<std::string>{"DUDA", "ANA"}));
    EXPECT_EQ(items, (QStringList{QStringLiteral("ANA"), QStringLiteral("DUDA")})) << "sorted";
    EXPECT_TRUE(stillOpenAfterEmptyDoubleClick);
    EXPECT_EQ(d->edUsuario->text(), QStringLiteral("DUDA"));
    EXPECT_EQ(d->focusWidget(), d->edSenha);

    // "Fechar" closes the popup.
    bool closed = false;
    QTimer::singleShot(0, [&] {
        QTest::mouseClick(d->btFecharUsuAutorizados, Qt::LeftButton);
        closed = !d->pfUsuAutorizado->PopupWindow()->isVisible();
        if (!closed) d->pfUsuAutorizado->close();
    });
    d->ShowAuthorisedList();
    EXPECT_TRUE(closed);
}

TEST_F(ConsentDialog, CheckGivesTheNameOrNothing) {
    // Closed with its close icon: nobody authorised.
    QTimer::singleShot(0, [] {
        if (QWidget* w = QApplication::activeModalWidget()) w->close();
    });
    AuthorisationResult r = AuthorisedUserCheck("SUPERV", *conn, display);
    EXPECT_FALSE(r.authorised);
    EXPECT_EQ(r.user, "");

    QTimer::singleShot(0, [] {
        auto* d = qobject_cast<TfrmUsuarioAutorizado*>(QApplication::activeModalWidget());
        if (!d) return;
        QTest::keyClicks(d->edUsuario, QStringLiteral("caio"));
        QTest::keyClicks(d->edSenha, QStringLiteral("segredo"));
        QTest::keyClick(d->edSenha, Qt::Key_Return);
        if (d->isVisible()) d->close();
    });
    r = AuthorisedUserCheck("SUPERV", *conn, display);
    EXPECT_TRUE(r.authorised);
    EXPECT_EQ(r.user, "CAIO");
}

} // namespace
