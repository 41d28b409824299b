#include "access/TfrmSelecionarBanco.h"

#include "util/TextCodec.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>

namespace vek::access {

namespace {

constexpr int kBannerWidth = 280;
constexpr int kBannerHeight = 85;

// Drawn here so that the dialog needs no picture file.
QPixmap paintBanner() {
    QPixmap banner(kBannerWidth, kBannerHeight);
    QPainter painter(&banner);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient background(0, 0, kBannerWidth, kBannerHeight);
    background.setColorAt(0.0, QColor(0x12, 0x3B, 0x6E));
    background.setColorAt(1.0, QColor(0x2E, 0x86, 0xC1));
    painter.fillRect(banner.rect(), background);

    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 40));
    painter.drawEllipse(QPointF(kBannerWidth - 30, 20), 60, 60);

    QFont title = painter.font();
    title.setBold(true);
    title.setPixelSize(40);
    painter.setFont(title);
    painter.setPen(Qt::white);
    painter.drawText(QRect(16, 6, kBannerWidth - 32, 50), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("VEK"));

    QFont subtitle = painter.font();
    subtitle.setBold(false);
    subtitle.setPixelSize(12);
    painter.setFont(subtitle);
    painter.drawText(QRect(18, 52, kBannerWidth - 36, 24), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Atualizacao de Etiquetas"));
    return banner;
}

} // namespace

TfrmSelecionarBanco::TfrmSelecionarBanco(QWidget* parent)
    : QDialog(parent, Qt::Tool), m_banner(new QLabel(this)), m_cbSelecionarEmpresa(new QComboBox(this)),
      m_btEntrar(new QPushButton(QStringLiteral("Entrar"), this)),
      m_btCancelar(new QPushButton(QStringLiteral("Cancelar"), this)) {
    setObjectName(QStringLiteral("frmSelecionarBanco"));
    setWindowTitle(QStringLiteral("Selecionar empresa"));
    setModal(true);
    setFixedSize(297, 177);

    m_banner->setObjectName(QStringLiteral("imgBanner"));
    m_banner->setGeometry(8, 8, kBannerWidth, kBannerHeight);
    m_banner->setPixmap(paintBanner());

    auto* label = new QLabel(QStringLiteral("Selecione uma empresa"), this);
    label->setObjectName(QStringLiteral("lbSelecione"));
    label->move(8, 100);
    label->adjustSize();

    m_cbSelecionarEmpresa->setObjectName(QStringLiteral("cbSelecionarEmpresa"));
    m_cbSelecionarEmpresa->setEditable(false);
    m_cbSelecionarEmpresa->setGeometry(8, 116, 281, m_cbSelecionarEmpresa->sizeHint().height());

    m_btEntrar->setObjectName(QStringLiteral("btEntrar"));
    m_btEntrar->setGeometry(63, 145, 75, 25);
    m_btEntrar->setDefault(true);
    connect(m_btEntrar, &QPushButton::clicked, this, [this] { done(kOk); });

    m_btCancelar->setObjectName(QStringLiteral("btCancelar"));
    m_btCancelar->setGeometry(151, 145, 75, 25);
    connect(m_btCancelar, &QPushButton::clicked, this, [this] { done(kCancel); });
}

void TfrmSelecionarBanco::addLine(const std::string& description) {
    m_cbSelecionarEmpresa->addItem(toQString(description));
    if (m_cbSelecionarEmpresa->count() == 1) m_cbSelecionarEmpresa->setCurrentIndex(0);
}

void TfrmSelecionarBanco::clearLines() {
    m_cbSelecionarEmpresa->clear();
}

int TfrmSelecionarBanco::selectedLine() const {
    return m_cbSelecionarEmpresa->currentIndex();
}

int TfrmSelecionarBanco::execute() {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }
    // Escape and the window's close button end in reject(), which gives 0.
    return exec() == kOk ? kOk : kCancel;
}

} // namespace vek::access
