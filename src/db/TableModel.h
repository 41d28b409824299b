#pragma once

#include "db/MemTable.h"

#include <QAbstractTableModel>

#include <vector>

namespace vek::db {

/// A read-only item model over an in-memory table for the grids: one column per field (nested
/// fields left out) captioned with the field's label, cells in the field's display text and
/// alignment. Follows the table's changes and its cursor; while the table's updates are
/// suspended the grid stays as it was.
class TableModel : public QAbstractTableModel, private MemTableListener {
    Q_OBJECT

public:
    explicit TableModel(MemTable& table, QObject* parent = nullptr);
    ~TableModel() override;

    /// Null once the table is gone.
    MemTable* table() const { return m_table; }
    /// The field shown in a column, -1 when out of range.
    int fieldOfColumn(int column) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    /// The table's current record, -1 when there is none.
    int currentRow() const;
    /// Makes a row the table's current record (a choice made in the grid). Never throws.
    void setCurrentRow(int row);

signals:
    void currentRowChanged(int row);

private:
    void tableReset() override;
    void rowChanged(int row) override;
    void currentChanged(int row) override;
    void tableDestroyed() override;
    void takeColumns();

    MemTable* m_table;
    std::vector<int> m_columns; // field index per column
};

} // namespace vek::db
