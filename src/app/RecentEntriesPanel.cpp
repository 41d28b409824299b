#include "app/RecentEntriesPanel.h"

#include "app/WidgetKit.h"
#include "monitoring/ProductPictures.h"
#include "util/TextCodec.h"
#include "widgets/DesignScale.h"

#include <QPainter>

#include <cmath>
#include <exception>

namespace vek {

namespace {

const char* const kFields[RecentEntriesModel::Picture] = {"PROG",       "FICHA",       "QTDE_PAR",    "PRODUTO",
                                                          "MARCA_DESC", "PADRON_DESC", "OBS_PRODUCAO"};

} // namespace

RecentEntriesModel::RecentEntriesModel(db::MemTable& table, const QImage* placeholder, QObject* parent)
    : QAbstractTableModel(parent), m_table(&table), m_placeholder(placeholder) {
    m_table->addListener(this);
    decodePictures();
}

RecentEntriesModel::~RecentEntriesModel() {
    if (m_table) {
        m_table->removeListener(this);
    }
}

int RecentEntriesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !m_table || !m_table->isActive() ? 0 : m_table->recordCount();
}

int RecentEntriesModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant RecentEntriesModel::data(const QModelIndex& index, int role) const {
    if (!m_table || !index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const auto row = static_cast<std::size_t>(index.row());
    const bool own = row < m_pictures.size() && !m_pictures[row].image.isNull();
    const bool placeholder = !own && m_placeholder && !m_placeholder->isNull();
    // Qt must never see an exception: a value that cannot be shown stays blank.
    try {
        if (role == Qt::DisplayRole) {
            if (index.column() == Picture) {
                return own ? QStringLiteral("picture") : placeholder ? QStringLiteral("placeholder") : QString();
            }
            const int field = m_table->fieldIndex(kFields[index.column()]);
            return field < 0 ? QString() : toQString(m_table->displayText(index.row(), field));
        }
        if (role == Qt::DecorationRole && index.column() == 0) {
            // Data that is no picture shows the placeholder, as an entry without one does.
            return own ? m_pictures[row].image : placeholder ? *m_placeholder : QImage();
        }
    } catch (const std::exception&) {}
    return {};
}

void RecentEntriesModel::decodePictures() {
    std::vector<Decoded> previous = std::move(m_pictures);
    m_pictures.clear();
    if (!m_table || !m_table->isActive()) {
        return;
    }
    const int field = m_table->fieldIndex("IMAGEM_CATALOGO");
    for (int r = 0; field >= 0 && r < m_table->recordCount(); ++r) {
        Decoded d;
        try {
            d.data = m_table->valueAt(r, field).asBlob();
        } catch (const std::exception&) {}
        if (!d.data.empty()) {
            for (Decoded& old : previous) {
                if (!old.image.isNull() && old.data == d.data) {
                    d.image = old.image;
                    break;
                }
            }
            if (d.image.isNull()) {
                d.image = decodePicture(d.data);
            }
        }
        m_pictures.push_back(std::move(d));
    }
}

void RecentEntriesModel::tableReset() {
    beginResetModel();
    decodePictures();
    endResetModel();
}

void RecentEntriesModel::rowChanged(int row) {
    decodePictures();
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

void RecentEntriesModel::tableDestroyed() {
    beginResetModel();
    m_table = nullptr;
    m_pictures.clear();
    endResetModel();
}

// ---------------------------------------------------------------------------------------------

RecentEntryDelegate::RecentEntryDelegate(std::function<int()> capacity, std::function<double()> scale, QObject* parent)
    : QStyledItemDelegate(parent), m_capacity(std::move(capacity)), m_scale(std::move(scale)) {}

QSize RecentEntryDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
    const int capacity = m_capacity ? m_capacity() : 0;
    const double scale = m_scale ? m_scale() : 1.0;
    const int height = view ? view->viewport()->height() : 500;
    const int width = view ? view->viewport()->width() : 500;
    const int least = int(std::lround(60 * scale));
    return {width, std::max(least, capacity > 0 ? height / capacity : int(std::lround(100 * scale)))};
}

QRect RecentEntryDelegate::PictureFrame(const QRect& panel, double scale) {
    const QRect r = panel.adjusted(2, 2, -2, -2);
    return {r.left() + 4, r.top() + 4, std::min(int(std::lround(120 * scale)), r.width() / 4), r.height() - 8};
}

std::vector<RecentEntryDelegate::Text> RecentEntryDelegate::LayoutEntry(const QRect& panel, const QStringList& values,
                                                                        double scale) {
    using M = RecentEntriesModel;
    const auto value = [&](int column) { return column < values.size() ? values[column] : QString(); };
    const int px = std::max(1, int(std::lround(13 * scale)));
    const QFont captionFont = ui::makeFont(ui::kSans, px);
    const QFont valueFont = ui::makeFont(ui::kSans, px, false);
    const QRect r = panel.adjusted(2, 2, -2, -2);
    const int left = PictureFrame(panel, scale).right() + 8;
    const int lineHeight = std::max(1, (r.height() - 4) / 4);
    const int gap = std::max(4, int(std::lround(12 * scale)));
    const std::vector<std::vector<std::pair<QString, QString>>> lines = {
        {{QStringLiteral("Prog:"), value(M::Prog)},
         {QStringLiteral("Ficha:"), value(M::Ficha)},
         {QStringLiteral("Pares:"), value(M::Pares)}},
        {{QStringLiteral("Produto:"), value(M::Produto)}, {QStringLiteral("Marca:"), value(M::Marca)}},
        {{QStringLiteral("Padroniz:"), value(M::Padroniz)}},
        {{QString::fromUtf8("Obs Produção:"), value(M::Obs)}},
    };
    std::vector<Text> out;
    for (std::size_t n = 0; n < lines.size(); ++n) {
        const int y = r.top() + 2 + int(n) * lineHeight;
        int x = left;
        const auto& pairs = lines[n];
        for (std::size_t i = 0; i < pairs.size(); ++i) {
            const auto& [caption, text] = pairs[i];
            const int cw = QFontMetrics(captionFont).horizontalAdvance(caption);
            // Two pixels past the advance: a glyph's ink may overhang it.
            out.push_back({QRect(x, y, cw + 2, lineHeight), captionFont, caption, true});
            x += cw + 4;
            // The value keeps its font while it fits its share of what the line has left.
            const int rest = std::max(0, r.right() - x);
            int wanted = QFontMetrics(valueFont).horizontalAdvance(text);
            int others = 0;
            for (std::size_t k = i + 1; k < pairs.size(); ++k) {
                others += QFontMetrics(captionFont).horizontalAdvance(pairs[k].first) + 4 + gap +
                          QFontMetrics(valueFont).horizontalAdvance(pairs[k].second);
            }
            const int room = std::max(0, std::min(wanted + 2, rest - others));
            const QRect vr(x, y, room, lineHeight);
            const QFont vf = widgets::FittingFont(valueFont, text, vr, Qt::AlignLeft | Qt::AlignVCenter, false, 0.6);
            wanted = QFontMetrics(vf).horizontalAdvance(text);
            out.push_back({QRect(x, y, std::min(wanted + 2, std::max(0, r.right() - x)), lineHeight), vf, text, false});
            x += wanted + gap;
        }
    }
    return out;
}

void RecentEntryDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const double scale = m_scale ? m_scale() : 1.0;
    painter->save();
    const QRect r = option.rect.adjusted(2, 2, -2, -2);
    painter->setPen(QColor(160, 160, 160));
    painter->drawRect(r);

    // imgProduto: proportional, centred in its frame.
    const QRect frame = PictureFrame(option.rect, scale);
    const QImage picture = index.siblingAtColumn(0).data(Qt::DecorationRole).value<QImage>();
    if (!picture.isNull() && frame.width() > 0 && frame.height() > 0) {
        const QImage scaled = picture.scaled(frame.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
        painter->drawImage(frame.left() + (frame.width() - scaled.width()) / 2,
                           frame.top() + (frame.height() - scaled.height()) / 2, scaled);
    }

    QStringList values;
    for (int c = 0; c < RecentEntriesModel::ColumnCount; ++c) {
        values << index.siblingAtColumn(c).data().toString();
    }
    for (const Text& t : LayoutEntry(option.rect, values, scale)) {
        painter->setFont(t.font);
        painter->setPen(t.caption ? QColor(Qt::black) : ui::kBlue);
        painter->drawText(t.rect, Qt::AlignLeft | Qt::AlignVCenter, t.text);
    }
    painter->restore();
}

// ---------------------------------------------------------------------------------------------

RecentEntriesView::RecentEntriesView(QWidget* parent) : QListView(parent) {
    setObjectName(QStringLiteral("dbcgUltEnt"));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFocusPolicy(Qt::NoFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void RecentEntriesView::resizeEvent(QResizeEvent* event) {
    QListView::resizeEvent(event);
    scheduleDelayedItemsLayout(); // the panels follow the height
}

} // namespace vek
