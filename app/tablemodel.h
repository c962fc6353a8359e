#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>

class TableItem;

// The table check list: one checkable row per item of a list that belongs
// to someone else. The model neither copies the list nor owns the items, so
// it always shows the list as it is now.
class TableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { ColumnName, ColumnCount };

    explicit TableModel(QList<TableItem *> *items, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // Natural order, case aside: t9 before t10 before T11; names alike but
    // for case or leading zeros still in a fixed order.
    static bool naturalLess(const QString &a, const QString &b);

    // Names of the ticked items, in list order.
    [[nodiscard]] QStringList checkedTables() const;

    // Only rows whose name holds `text` (in any case) are shown, and Select
    // All and Select None act on those alone; the ticks of the others stay.
    // An empty text shows every row.
    void setFilterText(const QString &text);
    [[nodiscard]] bool isShown(int row) const;

    // The owner calls these around replacing the list's contents, so that
    // attached views drop their rows instead of reading items that are gone.
    void beginRefill();
    void endRefill();

public slots:
    void selectAll();
    void selectNone();

private:
    bool isItemIndex(const QModelIndex &index) const;
    void setAllChecked(bool checked);

    QList<TableItem *> *m_items;
    QString m_filterText;
};
