#include "app/RecentEntriesPanel.h"

#include "app/WidgetKit.h"
#include "monitoring/ProductPictures.h"
#include "util/TextCodec.h"

#include <QPainter>

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

RecentEntryDelegate::RecentEntryDelegate(std::function<int()> capacity, QObject* parent)
    : QStyledItemDelegate(parent), m_capacity(std::move(capacity)) {}

QSize RecentEntryDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
    const int capacity = m_capacity ? m_capacity() : 0;
    const int height = view ? view->viewport()->height() : 500;
    const int width = view ? view->viewport()->width() : 500;
    return {width, std::max(60, capacity > 0 ? height / capacity : 100)};
}

void RecentEntryDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    using ui::kBlue;
    const auto cell = [&](int column) { return index.siblingAtColumn(column).data().toString(); };
    painter->save();
    const QRect r = option.rect.adjusted(2, 2, -2, -2);
    painter->setPen(QColor(160, 160, 160));
    painter->drawRect(r);

    // imgProduto: proportional, centred in its frame.
    const QRect frame(r.left() + 4, r.top() + 4, std::min(120, r.width() / 4), r.height() - 8);
    const QImage picture = index.siblingAtColumn(0).data(Qt::DecorationRole).value<QImage>();
    if (!picture.isNull() && frame.width() > 0 && frame.height() > 0) {
        const QImage scaled = picture.scaled(frame.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
        painter->drawImage(frame.left() + (frame.width() - scaled.width()) / 2,
                           frame.top() + (frame.height() - scaled.height()) / 2, scaled);
    }

    const QFont captionFont = ui::makeFont(ui::kSans, 13);
    const QFont valueFont = ui::makeFont(ui::kSans, 13, false);
    const int left = frame.right() + 8;
    const int lineHeight = std::max(1, (r.height() - 4) / 4);
    const auto line = [&](int n, std::initializer_list<std::pair<QString, QString>> pairs) {
        int x = left;
        const int y = r.top() + 2 + n * lineHeight;
        for (const auto& [caption, value] : pairs) {
            painter->setFont(captionFont);
            painter->setPen(Qt::black);
            const QRect cr(x, y, r.right() - x, lineHeight);
            QRect used;
            painter->drawText(cr, Qt::AlignLeft | Qt::AlignVCenter, caption, &used);
            x = used.right() + 4;
            painter->setFont(valueFont);
            painter->setPen(kBlue);
            painter->drawText(QRect(x, y, std::max(0, r.right() - x), lineHeight), Qt::AlignLeft | Qt::AlignVCenter,
                              value, &used);
            x = used.right() + 12;
        }
    };
    using M = RecentEntriesModel;
    line(0, {{QStringLiteral("Prog:"), cell(M::Prog)},
             {QStringLiteral("Ficha:"), cell(M::Ficha)},
             {QStringLiteral("Pares:"), cell(M::Pares)}});
    line(1, {{QStringLiteral("Produto:"), cell(M::Produto)}, {QStringLiteral("Marca:"), cell(M::Marca)}});
    line(2, {{QStringLiteral("Padroniz:"), cell(M::Padroniz)}});
    line(3, {{QString::fromUtf8("Obs Produção:"), cell(M::Obs)}});
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
