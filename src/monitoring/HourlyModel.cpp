#include "monitoring/HourlyModel.h"

#include "monitoring/ProductionCounters.h"
#include "util/Format.h"
#include "util/TextCodec.h"

#include <iterator>

namespace vek {

void HourlyModel::clear() {
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void HourlyModel::addWriteOff(const DateTime& t) {
    const std::string key = hourKey(t);
    auto it = m_rows.find(key);
    if (it != m_rows.end()) {
        ++it->second;
        const int row = static_cast<int>(std::distance(m_rows.begin(), it));
        emit dataChanged(index(row, 1), index(row, 1));
        return;
    }
    const int row = static_cast<int>(std::distance(m_rows.begin(), m_rows.lower_bound(key)));
    beginInsertRows({}, row, row);
    m_rows.emplace(key, 1);
    endInsertRows();
}

int HourlyModel::quantity(const std::string& hora) const {
    auto it = m_rows.find(hora);
    return it == m_rows.end() ? 0 : it->second;
}

int HourlyModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int HourlyModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant HourlyModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(m_rows.size())) {
        return {};
    }
    auto it = std::next(m_rows.begin(), index.row());
    if (role == Qt::DisplayRole) {
        return index.column() == 0 ? toQString(hourDisplayText(it->first))
                                   : toQString(formatFloat("###,000", it->second));
    }
    if (role == Qt::TextAlignmentRole && index.column() == 1) {
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    }
    return {};
}

QVariant HourlyModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole) {
        return section == 0 ? QStringLiteral("Hora") : QString::fromUtf8("Produção");
    }
    return {};
}

} // namespace vek
