#include "db/TableModel.h"

#include "util/TextCodec.h"

#include <exception>

namespace vek::db {

TableModel::TableModel(MemTable& table, QObject* parent) : QAbstractTableModel(parent), m_table(&table) {
    takeColumns();
    m_table->addListener(this);
}

TableModel::~TableModel() {
    if (m_table) {
        m_table->removeListener(this);
    }
}

void TableModel::takeColumns() {
    m_columns.clear();
    if (!m_table) {
        return;
    }
    const auto& fields = m_table->fields();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].type != FieldType::Nested) {
            m_columns.push_back(static_cast<int>(i));
        }
    }
}

int TableModel::fieldOfColumn(int column) const {
    return column >= 0 && static_cast<std::size_t>(column) < m_columns.size()
               ? m_columns[static_cast<std::size_t>(column)]
               : -1;
}

int TableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !m_table ? 0 : m_table->recordCount();
}

int TableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant TableModel::data(const QModelIndex& index, int role) const {
    const int field = fieldOfColumn(index.column());
    if (!m_table || !index.isValid() || field < 0) {
        return {};
    }
    // Qt must never see an exception: a value that cannot be shown stays blank.
    try {
        const FieldDef& def = m_table->fields()[static_cast<std::size_t>(field)];
        if (role == Qt::DisplayRole) {
            return toQString(m_table->displayText(index.row(), field));
        }
        if (role == Qt::TextAlignmentRole) {
            Qt::Alignment h = def.isNumeric() ? Qt::AlignRight : Qt::AlignLeft;
            switch (def.alignment) {
            case FieldAlign::Left:
                h = Qt::AlignLeft;
                break;
            case FieldAlign::Right:
                h = Qt::AlignRight;
                break;
            case FieldAlign::Center:
                h = Qt::AlignHCenter;
                break;
            case FieldAlign::Default:
                break;
            }
            return static_cast<int>(h | Qt::AlignVCenter);
        }
    } catch (const std::exception&) {}
    return {};
}

QVariant TableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || !m_table) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    const int field = fieldOfColumn(section);
    if (field < 0) {
        return {};
    }
    return toQString(m_table->fields()[static_cast<std::size_t>(field)].caption());
}

int TableModel::currentRow() const {
    return m_table ? m_table->currentRow() : -1;
}

void TableModel::setCurrentRow(int row) {
    if (!m_table || row < 0 || row >= m_table->recordCount()) {
        return;
    }
    try {
        m_table->moveToRow(row);
    } catch (const std::exception&) {
        // A record that fails to post keeps the cursor where it was.
    }
}

void TableModel::tableReset() {
    beginResetModel();
    takeColumns();
    endResetModel();
}

void TableModel::rowChanged(int row) {
    if (!m_columns.empty()) {
        emit dataChanged(index(row, 0), index(row, static_cast<int>(m_columns.size()) - 1));
    }
}

void TableModel::currentChanged(int row) {
    emit currentRowChanged(row);
}

void TableModel::tableDestroyed() {
    beginResetModel();
    m_table = nullptr;
    m_columns.clear();
    endResetModel();
}

} // namespace vek::db
