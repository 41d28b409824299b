#include "platform/ScriptDriver.h"
#include "platform/RecordingMessageBoxes.h"
#include "platform/RecordingToneOutput.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QGroupBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <ostream>

// Readable failure messages for Qt values.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QJsonValue& v, std::ostream* os) {
    *os << QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact).toStdString();
}
inline void PrintTo(const QJsonObject& o, std::ostream* os) {
    *os << QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString();
}
inline void PrintTo(const QJsonArray& a, std::ostream* os) {
    *os << QJsonDocument(a).toJson(QJsonDocument::Compact).toStdString();
}

using namespace vek;

namespace {

// A small station: a scan field whose Enter shows a coloured message with tones (and a box when
// refused), a grid of the scans, a status bar, and F1 opening a modal enquiry dialog.
class FakeStation : public QWidget {
public:
    FakeStation(ToneOutput& tones, MessageBoxes& boxes) : m_tones(tones), m_boxes(boxes) {
        setObjectName("frmQuilbar");
        auto* layout = new QVBoxLayout(this);
        auto* group = new QGroupBox("Leitura", this);
        group->setObjectName("gbLeitura");
        auto* groupLayout = new QVBoxLayout(group);
        m_edCodBar = new QLineEdit(group);
        m_edCodBar->setObjectName("edCodBar");
        m_edCodBar->installEventFilter(this);
        groupLayout->addWidget(m_edCodBar);
        auto* edObs = new QLineEdit(group);
        edObs->setObjectName("edObs");
        groupLayout->addWidget(edObs);
        auto* operatorLabel = new QLabel("Operador: 7", group);
        operatorLabel->setObjectName("lbOperador");
        groupLayout->addWidget(operatorLabel);
        layout->addWidget(group);

        m_pnMens = new QLabel(this);
        m_pnMens->setObjectName("pnMens");
        m_pnMens->setAutoFillBackground(true);
        setBackground(m_pnMens, QColor(240, 240, 240));
        layout->addWidget(m_pnMens);

        m_model.setColumnCount(2);
        auto* grid = new QTableView(this);
        grid->setObjectName("dbgProdHora");
        grid->setModel(&m_model);
        layout->addWidget(grid);

        auto* hidden = new QLabel("escondido", this);
        hidden->setObjectName("lbHidden");
        hidden->hide();
        auto* quantity = new QSpinBox(this); // its inner line edit is Qt's, named qt_spinbox_lineedit
        quantity->setObjectName("spQtd");
        layout->addWidget(quantity);
        auto* unnamed = new QLabel("sem nome", this);
        layout->addWidget(unnamed);
        auto* exitButton = new QPushButton("Sair", this);
        exitButton->setObjectName("btSair");
        exitButton->setFocusPolicy(Qt::NoFocus);
        QObject::connect(exitButton, &QPushButton::clicked, this, [this] { m_log << "sair"; });
        layout->addWidget(exitButton);

        auto* status = new QStatusBar(this);
        status->setObjectName("sbStatus");
        status->addPermanentWidget(new QLabel("v1", status));
        status->insertWidget(0, new QLabel("Setor 05", status));
        layout->addWidget(status);

        auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
        QObject::connect(f1, &QShortcut::activated, this, [this] { openEnquiry(); });
        auto* f2 = new QShortcut(QKeySequence(Qt::Key_F2), this);
        QObject::connect(f2, &QShortcut::activated, this, [this] { openChooser(); });
        m_edCodBar->setFocus();
    }

    // A modal choice: a combo box, a list, a button to confirm, one to refuse and a disabled one.
    void openChooser() {
        QDialog dialog(this);
        dialog.setObjectName("frmEscolha");
        auto* layout = new QVBoxLayout(&dialog);
        auto* combo = new QComboBox(&dialog);
        combo->setObjectName("cbEmpresa");
        combo->addItems({"Alfa", "Beta", "Gama"});
        QObject::connect(combo, &QComboBox::textActivated, this, [this](const QString& t) { m_log << "picked " + t; });
        layout->addWidget(combo);
        auto* list = new QListWidget(&dialog);
        list->setObjectName("lbBancos");
        list->addItems({"Um", "Dois"});
        layout->addWidget(list);
        auto* ok = new QPushButton("OK", &dialog);
        ok->setObjectName("btOk");
        QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
        layout->addWidget(ok);
        auto* no = new QPushButton("Nao", &dialog);
        no->setObjectName("btNao");
        QObject::connect(no, &QPushButton::clicked, &dialog, &QDialog::reject);
        layout->addWidget(no);
        auto* off = new QPushButton("Desligado", &dialog);
        off->setObjectName("btDesligado");
        off->setEnabled(false);
        QObject::connect(off, &QPushButton::clicked, &dialog, &QDialog::accept);
        layout->addWidget(off);
        const int result = dialog.exec();
        const QListWidgetItem* item = list->currentItem();
        m_pnMens->setText("Escolha: " + combo->currentText() + " / " + (item ? item->text() : "-") + " / " +
                          QString::number(result));
    }

    QStringList m_log;
    int m_closes = 0;
    std::function<void(int)> m_exitProcess;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_edCodBar && event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                scan();
                return true;
            }
        }
        return QWidget::eventFilter(watched, event);
    }

    void closeEvent(QCloseEvent* event) override {
        ++m_closes;
        QWidget::closeEvent(event);
    }

private:
    static void setBackground(QWidget* w, const QColor& color) {
        QPalette p = w->palette();
        p.setColor(QPalette::Window, color);
        w->setPalette(p);
    }

    void scan() {
        const QString code = m_edCodBar->text();
        m_edCodBar->clear();
        if (code == "slow") {
            m_log << "slow start";
            // A handler that lets window events through, as a counter display might.
            for (int i = 0; i < 10; ++i) QCoreApplication::processEvents();
            m_pnMens->setText("slow done");
            m_log << "slow end";
            return;
        }
        if (code == "deferred") {
            // Work finished by a chain of posted events, as widgets do with their updates.
            const auto finish = [this] { m_pnMens->setText("deferred done"); };
            QMetaObject::invokeMethod(
                this, [this, finish] { QMetaObject::invokeMethod(this, finish, Qt::QueuedConnection); },
                Qt::QueuedConnection);
            return;
        }
        if (code == "fatal") {
            m_log << "fatal";
            m_exitProcess(3);
            return;
        }
        m_log << "scan " + code;
        if (code == "bad") {
            m_pnMens->setText("Código Inválido.");
            setBackground(m_pnMens, QColor(255, 0, 0));
            m_tones.play({{1800, 100}, {1450, 100}, {1800, 100}, {1450, 250}}, ToneKind::Alarm);
            m_boxes.show(MessageBoxes::Icon::Warning, "Alerta", "Código " + code);
            return;
        }
        m_pnMens->setText("Lido " + code);
        setBackground(m_pnMens, QColor(0, 128, 0));
        m_tones.play({{2450, 120}, {2800, 140}}, ToneKind::Success);
        m_model.appendRow({new QStandardItem(code), new QStandardItem(QString::number(m_model.rowCount() + 1))});
    }

    void openEnquiry() {
        QDialog dialog(this);
        dialog.setObjectName("frmConsulta");
        auto* layout = new QVBoxLayout(&dialog);
        auto* edit = new QLineEdit(&dialog);
        edit->setObjectName("edConsulta");
        layout->addWidget(edit);
        auto* message = new QLabel(&dialog);
        message->setObjectName("pnMsgConsulta");
        message->setAutoFillBackground(true);
        setBackground(message, QColor(255, 255, 0));
        layout->addWidget(message);
        QObject::connect(edit, &QLineEdit::returnPressed, &dialog, [&] {
            m_log << "enquiry " + edit->text();
            message->setText("Consultado " + edit->text());
        });
        edit->setFocus();
        dialog.exec(); // Esc rejects
        m_log << "enquiry closed";
        m_pnMens->setText("Consulta fechada");
    }

    ToneOutput& m_tones;
    MessageBoxes& m_boxes;
    QLineEdit* m_edCodBar = nullptr;
    QLabel* m_pnMens = nullptr;
    QStandardItemModel m_model;
};

class ScriptDriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_station = std::make_unique<FakeStation>(m_tones, m_boxes);
        m_station->show();
        QApplication::setActiveWindow(m_station.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_station.get()));
    }

    void TearDown() override {
        m_driver.reset();
        m_station.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Runs the script to its end the way the station's main does; returns the exit code.
    // With a start-up, it runs through startWith instead of the start-up line written up front.
    int run(const QStringList& lines, std::function<void()> tick = {}, const std::function<void()>& startUp = {}) {
        m_driver = std::make_unique<ScriptDriver>(
            lines, [this](const QByteArray& line) { m_raw << line; }, m_boxes, m_tones, std::move(tick),
            m_station.get(), QStringList{"pnMens", "pnMsgConsulta"});
        m_station->m_exitProcess = [this](int code) { m_driver->exitNow(code); };
        m_driver->setProcessExit([this](int code) {
            m_exitCodes << code;
            QCoreApplication::exit(code);
        });
        if (startUp) {
            m_driver->startWith(startUp);
        } else {
            m_driver->writeState(QJsonValue::Null);
            m_driver->start();
        }
        // Only a guard against a hung script; no test depends on how fast it runs.
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        guard.start(30000);
        return QApplication::exec();
    }

    const QJsonObject line(qsizetype i) const {
        if (i >= m_raw.size()) return {};
        return QJsonDocument::fromJson(m_raw.at(i)).object();
    }

    static QJsonObject texts(const QJsonObject& o) { return o["texts"].toObject(); }

    RecordingMessageBoxes m_boxes;
    RecordingToneOutput m_tones;
    std::unique_ptr<FakeStation> m_station;
    std::unique_ptr<ScriptDriver> m_driver;
    QList<QByteArray> m_raw;
    QList<int> m_exitCodes;
};

TEST_F(ScriptDriverTest, OneCompactLinePerScriptLineInOrderThenExitZero) {
    EXPECT_EQ(run({"111", "222\r", ""}), 0);
    ASSERT_EQ(m_raw.size(), 4);
    for (const QByteArray& raw : std::as_const(m_raw)) {
        SCOPED_TRACE(raw.toStdString());
        EXPECT_FALSE(raw.contains('\n'));
        EXPECT_TRUE(raw.startsWith("{\"input\":"));
        QJsonParseError error;
        QJsonDocument::fromJson(raw, &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError);
    }
    EXPECT_TRUE(line(0)["input"].isNull());
    EXPECT_EQ(line(1)["input"], "111");
    EXPECT_EQ(line(2)["input"], "222");
    EXPECT_EQ(line(3)["input"], "");
    EXPECT_EQ(m_station->m_log, QStringList({"scan 111", "scan 222", "scan "}));
    EXPECT_EQ(m_station->m_closes, 1);
    EXPECT_FALSE(m_station->isVisible());
}

TEST_F(ScriptDriverTest, TextsOfVisibleNamedWidgetsOfTheWindow) {
    EXPECT_EQ(run({"123"}), 0);
    const QJsonObject start = line(0);
    EXPECT_EQ(start["window"], "frmQuilbar");
    const QJsonObject expected{{"gbLeitura", "Leitura"},      {"edCodBar", ""},    {"edObs", ""},
                               {"lbOperador", "Operador: 7"}, {"pnMens", ""},      {"btSair", "Sair"},
                               {"sbStatus.0", "Setor 05"},    {"sbStatus.1", "v1"}};
    // Hidden, unnamed and Qt's own inner widgets are left out.
    EXPECT_EQ(texts(start), expected);
    EXPECT_EQ(texts(line(1))["pnMens"], "Lido 123");
    EXPECT_EQ(texts(line(1))["edCodBar"], "");
}

TEST_F(ScriptDriverTest, BoxesTonesAndColoursBelongToTheLineThatCausedThem) {
    m_boxes.show(MessageBoxes::Icon::Error, "Erro", "antes");
    EXPECT_EQ(run({"bad", "123", "<type>4"}), 0);
    ASSERT_EQ(m_raw.size(), 4);

    EXPECT_EQ(line(0)["boxes"], QJsonArray({QJsonObject{{"title", "Erro"}, {"text", "antes"}}}));
    EXPECT_EQ(line(0)["tones"], QJsonArray());
    EXPECT_EQ(line(0)["colors"], QJsonObject({{"pnMens", "#f0f0f0"}}));

    EXPECT_EQ(line(1)["boxes"], QJsonArray({QJsonObject{{"title", "Alerta"}, {"text", "Código bad"}}}));
    EXPECT_EQ(line(1)["tones"],
              QJsonArray({QJsonArray{1800, 100}, QJsonArray{1450, 100}, QJsonArray{1800, 100}, QJsonArray{1450, 250}}));
    EXPECT_EQ(line(1)["colors"], QJsonObject({{"pnMens", "#ff0000"}}));
    EXPECT_EQ(texts(line(1))["pnMens"], "Código Inválido.");

    EXPECT_EQ(line(2)["boxes"], QJsonArray());
    EXPECT_EQ(line(2)["tones"], QJsonArray({QJsonArray{2450, 120}, QJsonArray{2800, 140}}));
    EXPECT_EQ(line(2)["colors"], QJsonObject({{"pnMens", "#008000"}}));

    EXPECT_EQ(line(3)["tones"], QJsonArray());
    EXPECT_EQ(line(3)["colors"], QJsonObject({{"pnMens", "#008000"}}));
}

TEST_F(ScriptDriverTest, GridsListTheDisplayTextOfEveryCell) {
    EXPECT_EQ(run({"123", "456"}), 0);
    EXPECT_EQ(line(0)["grids"], QJsonObject({{"dbgProdHora", QJsonArray()}}));
    EXPECT_EQ(line(1)["grids"], QJsonObject({{"dbgProdHora", QJsonArray({QJsonArray{"123", "1"}})}}));
    EXPECT_EQ(line(2)["grids"],
              QJsonObject({{"dbgProdHora", QJsonArray({QJsonArray{"123", "1"}, QJsonArray{"456", "2"}})}}));
}

TEST_F(ScriptDriverTest, LinesRunInsideAModalDialogsLoopAndAfterItCloses) {
    EXPECT_EQ(run({"<F1>", "77", "<Esc>", "123"}), 0);
    ASSERT_EQ(m_raw.size(), 5);

    const QJsonObject opened = line(1);
    EXPECT_EQ(opened["window"], "frmConsulta");
    EXPECT_EQ(texts(opened)["edConsulta"], "");
    EXPECT_EQ(texts(opened)["pnMens"], ""); // the main window is reported too
    EXPECT_EQ(opened["colors"], QJsonObject({{"pnMens", "#f0f0f0"}, {"pnMsgConsulta", "#ffff00"}}));

    const QJsonObject typed = line(2);
    EXPECT_EQ(typed["window"], "frmConsulta");
    EXPECT_EQ(texts(typed)["pnMsgConsulta"], "Consultado 77");
    EXPECT_EQ(texts(typed)["edCodBar"], "");

    // The state of Esc includes what the F1 handler did after the dialog's loop returned.
    const QJsonObject closed = line(3);
    EXPECT_EQ(closed["window"], "frmQuilbar");
    EXPECT_EQ(texts(closed)["pnMens"], "Consulta fechada");
    EXPECT_FALSE(texts(closed).contains("edConsulta"));
    EXPECT_FALSE(closed["colors"].toObject().contains("pnMsgConsulta"));

    EXPECT_EQ(texts(line(4))["pnMens"], "Lido 123");
    EXPECT_EQ(m_station->m_log, QStringList({"enquiry 77", "enquiry closed", "scan 123"}));
}

TEST_F(ScriptDriverTest, ShortcutsWorkAgainAfterADialogClosed) {
    EXPECT_EQ(run({"<F1>", "<Esc>", "<F1>", "8", "<Esc>"}), 0);
    EXPECT_EQ(m_station->m_log, QStringList({"enquiry closed", "enquiry 8", "enquiry closed"}));
    EXPECT_EQ(line(3)["window"], "frmConsulta");
}

TEST_F(ScriptDriverTest, ScriptEndingInsideAModalDialogStillEndsWithZero) {
    EXPECT_EQ(run({"<F1>", "5"}), 0);
    ASSERT_EQ(m_raw.size(), 3);
    EXPECT_EQ(line(2)["window"], "frmConsulta");
    EXPECT_EQ(m_station->m_closes, 1);
}

TEST_F(ScriptDriverTest, NextLineWaitsForAHandlerThatLetsEventsThrough) {
    EXPECT_EQ(run({"slow", "123"}), 0);
    EXPECT_EQ(m_station->m_log, QStringList({"slow start", "slow end", "scan 123"}));
    EXPECT_EQ(texts(line(1))["pnMens"], "slow done");
    EXPECT_EQ(texts(line(2))["pnMens"], "Lido 123");
}

TEST_F(ScriptDriverTest, TypeTabEnterAndTickLines) {
    int ticks = 0;
    EXPECT_EQ(run({"<type>45", "<tick>", "<Enter>", "<Tab>", "<type>obs", "<esc>"}, [&] { ++ticks; }), 0);
    ASSERT_EQ(m_raw.size(), 7);
    EXPECT_EQ(texts(line(1))["edCodBar"], "45"); // typed, not entered
    EXPECT_EQ(line(1)["tones"], QJsonArray());
    EXPECT_EQ(ticks, 1);
    EXPECT_EQ(line(2)["input"], "<tick>");
    EXPECT_EQ(texts(line(3))["pnMens"], "Lido 45");
    EXPECT_EQ(texts(line(5))["edObs"], "obs"); // Tab moved the focus on
    EXPECT_EQ(texts(line(5))["edCodBar"], "");
    EXPECT_EQ(m_station->m_log, QStringList({"scan 45"}));
}

TEST_F(ScriptDriverTest, ExitNowWritesTheCurrentLineAndStops) {
    EXPECT_EQ(run({"123", "fatal", "456"}), 3);
    EXPECT_EQ(m_exitCodes, QList<int>({3}));
    ASSERT_EQ(m_raw.size(), 3);
    EXPECT_EQ(line(2)["input"], "fatal");
    EXPECT_EQ(m_station->m_log, QStringList({"scan 123", "fatal"}));
}

TEST_F(ScriptDriverTest, StateIsReadAfterTheEventsALinePosted) {
    EXPECT_EQ(run({"deferred"}), 0);
    EXPECT_EQ(texts(line(1))["pnMens"], "deferred done");
}

TEST_F(ScriptDriverTest, DefaultExitFlushesTheLastLineToStdoutAndEndsWithTheCode) {
    // The child runs this test again from the start; the environment tells it the parent's file.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    constexpr const char* kOutVar = "VEK_PLATFORM_TEST_EXIT_OUT";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = qEnvironmentVariableIsSet(kOutVar) ? qEnvironmentVariable(kOutVar) : dir.filePath("out.jsonl");
    qputenv(kOutVar, path.toLocal8Bit());
    EXPECT_EXIT(
        {
            if (!std::freopen(path.toLocal8Bit().constData(), "w", stdout)) std::_Exit(70);
            ScriptDriver driver({"1"}, ScriptDriver::stdoutWriter(), m_boxes, m_tones, {}, m_station.get(), {});
            driver.exitNow(4);
            std::_Exit(71);
        },
        testing::ExitedWithCode(4), "");
    qunsetenv(kOutVar);
    QFile out(path);
    ASSERT_TRUE(out.open(QIODevice::ReadOnly));
    const QByteArray written = out.readAll();
    EXPECT_TRUE(written.startsWith("{\"input\":null,\"window\":\"frmQuilbar\","));
    EXPECT_TRUE(written.endsWith("}\n"));
    EXPECT_EQ(written.count('\n'), 1);
}

TEST_F(ScriptDriverTest, ExitNowBeforeAnyLineWritesTheStartUpLine) {
    ScriptDriver driver({"123"}, [this](const QByteArray& l) { m_raw << l; }, m_boxes, m_tones, {}, m_station.get(),
                        {"pnMens"});
    driver.setProcessExit([this](int code) { m_exitCodes << code; });
    m_boxes.show(MessageBoxes::Icon::Error, "Erro", "Banco não configurado");
    driver.exitNow(0);
    EXPECT_EQ(m_exitCodes, QList<int>({0}));
    ASSERT_EQ(m_raw.size(), 1);
    EXPECT_TRUE(line(0)["input"].isNull());
    EXPECT_EQ(line(0)["boxes"], QJsonArray({QJsonObject{{"title", "Erro"}, {"text", "Banco não configurado"}}}));
}

TEST_F(ScriptDriverTest, ExceptionsFromTheTickNeverReachQt) {
    EXPECT_EQ(run({"<tick>", "123"}, [] { throw std::runtime_error("tick"); }), 0);
    ASSERT_EQ(m_raw.size(), 3);
    EXPECT_EQ(texts(line(2))["pnMens"], "Lido 123");
}

TEST_F(ScriptDriverTest, SelectAndClickDriveTheActiveWindowOnly) {
    EXPECT_EQ(run({"<F2>", "<select>cbEmpresa=Beta", "<select>lbBancos=Dois", "<select>cbEmpresa=Nada",
                   "<click>btDesligado", "<click>btSair", "<click>btOk", "<click>btSair", "<click>btNenhum"}),
              0);
    ASSERT_EQ(m_raw.size(), 10);

    const QJsonObject opened = line(1);
    EXPECT_EQ(opened["window"], "frmEscolha");
    EXPECT_EQ(texts(opened)["cbEmpresa"], "Alfa");
    EXPECT_EQ(opened["grids"].toObject()["cbEmpresa"],
              QJsonArray({QJsonArray{"Alfa"}, QJsonArray{"Beta"}, QJsonArray{"Gama"}}));
    EXPECT_EQ(opened["grids"].toObject()["lbBancos"], QJsonArray({QJsonArray{"Um"}, QJsonArray{"Dois"}}));

    EXPECT_EQ(texts(line(2))["cbEmpresa"], "Beta");
    EXPECT_EQ(texts(line(4))["cbEmpresa"], "Beta") << "an entry not in the list changes nothing";
    // A disabled button and a button of the window behind the dialog stay unpressed.
    EXPECT_EQ(line(5)["window"], "frmEscolha");
    EXPECT_EQ(line(6)["window"], "frmEscolha");

    const QJsonObject confirmed = line(7);
    EXPECT_EQ(confirmed["window"], "frmQuilbar");
    EXPECT_EQ(texts(confirmed)["pnMens"], "Escolha: Beta / Dois / 1");
    EXPECT_FALSE(confirmed["grids"].toObject().contains("cbEmpresa"));
    EXPECT_EQ(m_station->m_log, QStringList({"picked Beta", "sair"}));
}

TEST_F(ScriptDriverTest, ClickOnARefusingButtonEndsTheDialogWithItsResult) {
    EXPECT_EQ(run({"<F2>", "<click>btNao"}), 0);
    ASSERT_EQ(m_raw.size(), 3);
    EXPECT_EQ(line(2)["window"], "frmQuilbar");
    EXPECT_EQ(texts(line(2))["pnMens"], "Escolha: Alfa / - / 0");
}

TEST_F(ScriptDriverTest, LinesRunInsideADialogTheStartUpOpensBeforeTheWindowShows) {
    m_station->hide();
    const auto startUp = [this] {
        m_station->openChooser();
        m_station->show();
    };
    EXPECT_EQ(run({"<select>cbEmpresa=Gama", "<click>btOk", "123"}, {}, startUp), 0);
    ASSERT_EQ(m_raw.size(), 4);
    EXPECT_TRUE(line(0)["input"].isNull());
    EXPECT_EQ(line(0)["window"], "frmEscolha");
    EXPECT_FALSE(texts(line(0)).contains("pnMens")) << "the main window is not on the screen yet";
    EXPECT_FALSE(line(0)["colors"].toObject().contains("pnMens"));
    EXPECT_EQ(texts(line(1))["cbEmpresa"], "Gama");
    EXPECT_EQ(line(2)["window"], "frmQuilbar");
    EXPECT_EQ(texts(line(2))["pnMens"], "Escolha: Gama / - / 1");
    EXPECT_EQ(texts(line(3))["pnMens"], "Lido 123");
}

TEST_F(ScriptDriverTest, LinesWaitForAStartUpThatLetsEventsThrough) {
    const auto startUp = [this] {
        for (int i = 0; i < 10; ++i) QCoreApplication::processEvents();
        m_station->m_log << "started";
    };
    EXPECT_EQ(run({"123"}, {}, startUp), 0);
    ASSERT_EQ(m_raw.size(), 2);
    EXPECT_TRUE(line(0)["input"].isNull());
    EXPECT_EQ(line(0)["window"], "frmQuilbar");
    EXPECT_EQ(m_station->m_log, QStringList({"started", "scan 123"}));
}

TEST_F(ScriptDriverTest, ExitDuringTheStartUpWritesOnlyTheStartUpLineWithoutAHiddenWindow) {
    m_station->hide();
    ScriptDriver driver({"123"}, [this](const QByteArray& l) { m_raw << l; }, m_boxes, m_tones, {}, m_station.get(),
                        {"pnMens"});
    driver.setProcessExit([this](int code) { m_exitCodes << code; });
    driver.startWith([&] {
        m_boxes.show(MessageBoxes::Icon::Error, "Falha ao conectar.", "sem servidor");
        driver.exitNow(0);
    });
    QCoreApplication::processEvents(); // the step scheduled by startWith finds the driver stopped
    EXPECT_EQ(m_exitCodes, QList<int>({0}));
    ASSERT_EQ(m_raw.size(), 1);
    EXPECT_TRUE(line(0)["window"].isNull());
    EXPECT_EQ(texts(line(0)), QJsonObject());
    EXPECT_EQ(line(0)["colors"], QJsonObject());
    EXPECT_EQ(line(0)["boxes"], QJsonArray({QJsonObject{{"title", "Falha ao conectar."}, {"text", "sem servidor"}}}));
}

} // namespace
