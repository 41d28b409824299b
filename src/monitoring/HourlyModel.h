#pragma once

#include "util/DateTime.h"

#include <QAbstractTableModel>

#include <map>
#include <string>

namespace vek {

/// Today's production per hour (`cdsProdHora`): one row per hour key ("09:00"), in key order.
/// Shown as "09:00 as 09:59" and the quantity in the "###,000" format.
class HourlyModel : public QAbstractTableModel {
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;

    void clear();
    /// Adds one box to the row of t's hour, creating the row when needed.
    void addWriteOff(const DateTime& t);
    int quantity(const std::string& hora) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::map<std::string, int> m_rows; // HORA → QTDE
};

} // namespace vek
