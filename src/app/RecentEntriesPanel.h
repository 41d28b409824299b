#pragma once

#include "db/MemTable.h"

#include <QAbstractTableModel>
#include <QImage>
#include <QListView>
#include <QStyledItemDelegate>

#include <functional>
#include <string>
#include <vector>

namespace vek {

/// The recent entries `cdsUltEnt` as the side panel shows them, one row per entry in list order.
/// Columns: programme, ticket, pairs (as shown), product, brand, pattern description, production
/// remark, and whether the entry shows its own "picture", the "placeholder" or "" (none at all).
/// The decoration of column 0 is the picture to paint.
class RecentEntriesModel : public QAbstractTableModel, private db::MemTableListener {
    Q_OBJECT

public:
    enum Column { Prog, Ficha, Pares, Produto, Marca, Padroniz, Obs, Picture, ColumnCount };

    /// `placeholder` (not owned) is read at each paint: the window makes it during start-up.
    RecentEntriesModel(db::MemTable& table, const QImage* placeholder, QObject* parent = nullptr);
    ~RecentEntriesModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    void tableReset() override;
    void rowChanged(int row) override;
    void currentChanged(int) override {}
    void tableDestroyed() override;
    void decodePictures();

    db::MemTable* m_table;
    const QImage* m_placeholder;
    // Decoded once per entry, not at every paint; the stored data is kept to reuse the decoding.
    struct Decoded {
        std::string data;
        QImage image;
    };
    std::vector<Decoded> m_pictures;
};

/// Paints one entry's panel: the picture at the left, scaled proportionally and centred, the captions
/// and fields on four lines beside it. Each panel takes the view's height divided by the capacity.
class RecentEntryDelegate : public QStyledItemDelegate {
public:
    /// `scale`: the window's design factor, for the fonts and the picture's frame.
    RecentEntryDelegate(std::function<int()> capacity, std::function<double()> scale, QObject* parent = nullptr);
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    /// One caption or value of an entry, where it is drawn.
    struct Text {
        QRect rect;
        QFont font;
        QString text;
        bool caption = false;
    };
    /// The picture's frame and the texts of an entry drawn in `panel`, from the model's columns. A
    /// value shrinks its font when the rest of its line is too short for it.
    static QRect PictureFrame(const QRect& panel, double scale);
    static std::vector<Text> LayoutEntry(const QRect& panel, const QStringList& values, double scale);

private:
    std::function<int()> m_capacity;
    std::function<double()> m_scale;
};

/// The repeating grid `dbcgUltEnt`: a view over the entries, painted by the delegate.
class RecentEntriesView : public QListView {
public:
    explicit RecentEntriesView(QWidget* parent = nullptr);

protected:
    void resizeEvent(QResizeEvent* event) override;
};

} // namespace vek
