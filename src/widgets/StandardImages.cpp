#include "widgets/StandardImages.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>

#include <array>
#include <utility>

namespace vek::widgets {

namespace {

enum class Glyph { Disk, Door, Check, Cross, Magnifier, Printer, Page, Plus, Minus, Left, Right, Letters };

struct StandardAction {
    const char* action;
    const char* caption; // UTF-8
    Glyph glyph;
};

// The suite's order: the common form actions first, then navigation, clipboard and the modules.
constexpr std::array<StandardAction, kStandardImageCount - 1> kActions{{
    {"GRAVAR", "Gravar", Glyph::Disk},
    {"FECHAR", "Fechar", Glyph::Door},
    {"OK", "OK", Glyph::Check},
    {"CANCELAR", "Cancelar", Glyph::Cross},
    {"PESQUISAR", "Pesquisar", Glyph::Magnifier},
    {"IMPRIMIR", "Imprimir", Glyph::Printer},
    {"LOG", "Log", Glyph::Page},
    {"INCLUIR", "Incluir", Glyph::Plus},
    {"ALTERAR", "Alterar", Glyph::Letters},
    {"EXCLUIR", "Excluir", Glyph::Minus},
    {"NOVO", "Novo", Glyph::Plus},
    {"EDITAR", "Editar", Glyph::Letters},
    {"ABRIR", "Abrir", Glyph::Letters},
    {"LIMPAR", "Limpar", Glyph::Letters},
    {"ATUALIZAR", "Atualizar", Glyph::Letters},
    {"PRIMEIRO", "Primeiro", Glyph::Left},
    {"ANTERIOR", "Anterior", Glyph::Left},
    {"PROXIMO", "Próximo", Glyph::Right},
    {"ULTIMO", "Último", Glyph::Right},
    {"FILTRAR", "Filtrar", Glyph::Letters},
    {"LOCALIZAR", "Localizar", Glyph::Magnifier},
    {"COPIAR", "Copiar", Glyph::Letters},
    {"COLAR", "Colar", Glyph::Letters},
    {"RECORTAR", "Recortar", Glyph::Letters},
    {"DESFAZER", "Desfazer", Glyph::Left},
    {"REFAZER", "Refazer", Glyph::Right},
    {"EXPORTAR", "Exportar", Glyph::Letters},
    {"IMPORTAR", "Importar", Glyph::Letters},
    {"ENVIAR", "Enviar", Glyph::Right},
    {"RECEBER", "Receber", Glyph::Left},
    {"EMAIL", "E-mail", Glyph::Letters},
    {"CONFIGURAR", "Configurar", Glyph::Letters},
    {"AJUDA", "Ajuda", Glyph::Letters},
    {"SAIR", "Sair", Glyph::Door},
    {"CONFIRMAR", "Confirmar", Glyph::Check},
    {"VISUALIZAR", "Visualizar", Glyph::Page},
    {"CALCULAR", "Calcular", Glyph::Letters},
    {"CALENDARIO", "Calendário", Glyph::Letters},
    {"USUARIO", "Usuário", Glyph::Letters},
    {"SENHA", "Senha", Glyph::Letters},
    {"BLOQUEAR", "Bloquear", Glyph::Letters},
    {"DESBLOQUEAR", "Desbloquear", Glyph::Letters},
    {"ANEXAR", "Anexar", Glyph::Plus},
    {"ETIQUETA", "Etiqueta", Glyph::Letters},
    {"CODBARRAS", "Código de Barras", Glyph::Letters},
    {"PDF", "PDF", Glyph::Page},
    {"EXCEL", "Excel", Glyph::Letters},
    {"GRAFICO", "Gráfico", Glyph::Letters},
    {"RELATORIO", "Relatório", Glyph::Page},
    {"ESTOQUE", "Estoque", Glyph::Letters},
    {"PRODUTO", "Produto", Glyph::Letters},
    {"CLIENTE", "Cliente", Glyph::Letters},
    {"FORNECEDOR", "Fornecedor", Glyph::Letters},
    {"FINANCEIRO", "Financeiro", Glyph::Letters},
    {"PEDIDO", "Pedido", Glyph::Letters},
    {"NOTAFISCAL", "Nota Fiscal", Glyph::Page},
    {"TRANSFERIR", "Transferir", Glyph::Right},
    {"DUPLICAR", "Duplicar", Glyph::Letters},
    {"MARCAR", "Marcar", Glyph::Check},
    {"DESMARCAR", "Desmarcar", Glyph::Cross},
    {"PROCESSAR", "Processar", Glyph::Letters},
    {"HISTORICO", "Histórico", Glyph::Page},
    {"DETALHES", "Detalhes", Glyph::Letters},
}};

// Every entry its own tint, so that two actions sharing a glyph still look apart.
QColor tint(int index) {
    return QColor::fromHsv((index * 360 / static_cast<int>(kActions.size())) % 360, 170, 190);
}

void drawGlyph(QPainter& p, const StandardAction& a, int index) {
    const QColor c = tint(index);
    p.setPen(QPen(c.darker(160), 1));
    p.setBrush(c);
    switch (a.glyph) {
    case Glyph::Disk:
        p.drawRect(1, 1, 13, 13);
        p.setBrush(Qt::white);
        p.drawRect(4, 2, 7, 5);
        p.setBrush(Qt::gray);
        p.drawRect(5, 10, 5, 4);
        break;
    case Glyph::Door:
        p.drawRect(2, 1, 8, 14);
        p.setPen(QPen(Qt::darkGreen, 2));
        p.drawLine(8, 8, 14, 8);
        p.drawLine(12, 5, 14, 8);
        p.drawLine(12, 11, 14, 8);
        break;
    case Glyph::Check: {
        const QPoint tick[] = {{2, 8}, {6, 12}, {14, 3}};
        p.setPen(QPen(c, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(tick, 3);
        break;
    }
    case Glyph::Cross:
        p.setPen(QPen(c, 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(3, 3, 12, 12);
        p.drawLine(12, 3, 3, 12);
        break;
    case Glyph::Magnifier:
        p.setBrush(Qt::white);
        p.setPen(QPen(c, 2));
        p.drawEllipse(1, 1, 9, 9);
        p.setPen(QPen(c.darker(160), 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(10, 10, 14, 14);
        break;
    case Glyph::Printer:
        p.setBrush(Qt::white);
        p.drawRect(4, 1, 7, 5);
        p.setBrush(c);
        p.drawRect(1, 6, 13, 6);
        p.setBrush(Qt::white);
        p.drawRect(4, 10, 7, 5);
        break;
    case Glyph::Page:
        p.setBrush(Qt::white);
        p.drawRect(2, 1, 11, 14);
        p.setPen(QPen(c.darker(130), 1));
        for (int y = 4; y <= 12; y += 2) p.drawLine(QPointF(4, y + 0.5), QPointF(11, y + 0.5));
        break;
    case Glyph::Plus:
    case Glyph::Minus:
        p.drawEllipse(1, 1, 13, 13);
        p.setPen(QPen(Qt::white, 2));
        p.drawLine(4, 8, 12, 8);
        if (a.glyph == Glyph::Plus) p.drawLine(8, 4, 8, 12);
        break;
    case Glyph::Left:
    case Glyph::Right: {
        QPainterPath arrow;
        if (a.glyph == Glyph::Right) {
            arrow.moveTo(3, 2);
            arrow.lineTo(13, 8);
            arrow.lineTo(3, 14);
        } else {
            arrow.moveTo(13, 2);
            arrow.lineTo(3, 8);
            arrow.lineTo(13, 14);
        }
        arrow.closeSubpath();
        p.drawPath(arrow);
        break;
    }
    case Glyph::Letters: {
        p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);
        QFont f;
        f.setPixelSize(8);
        f.setBold(true);
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, QString::fromLatin1(a.action).left(2));
        break;
    }
    }
}

QImage picture(const StandardAction* a, int index) {
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    if (a) {
        drawGlyph(p, *a, index);
    } else {
        // The entry without action: an empty dotted frame.
        p.setPen(QPen(Qt::gray, 1, Qt::DotLine));
        p.drawRect(1, 1, 13, 13);
    }
    return image;
}

} // namespace

void FillStandardImages(TQXImageList& list) {
    list.Images.clear();
    list.Width = 16;
    list.Height = 16;
    for (std::size_t i = 0; i < kActions.size(); ++i) {
        TQXImageItem item;
        item.setAction(QString::fromLatin1(kActions[i].action));
        item.Caption = QString::fromUtf8(kActions[i].caption);
        item.setImage(picture(&kActions[i], static_cast<int>(i)));
        item.DisableContrast = 50;
        list.Images.push_back(std::move(item));
    }
    TQXImageItem blank;
    blank.setImage(picture(nullptr, 0));
    list.Images.push_back(std::move(blank));
}

} // namespace vek::widgets
