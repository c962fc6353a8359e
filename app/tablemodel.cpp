#include "app/tablemodel.h"

#include "app/tableitem.h"

TableModel::TableModel(QList<TableItem *> *items, QObject *parent)
    : QAbstractTableModel(parent)
    , m_items(items)
{
}

int TableModel::rowCount(const QModelIndex &parent) const
{
    // A flat list: rows have no children of their own.
    if (parent.isValid())
        return 0;
    return int(m_items->size());
}

int TableModel::columnCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return ColumnCount;
}

QVariant TableModel::data(const QModelIndex &index, int role) const
{
    if (!isItemIndex(index))
        return QVariant();

    const TableItem *item = m_items->at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return item->name();
    case Qt::CheckStateRole:
        return item->isChecked() ? Qt::Checked : Qt::Unchecked;
    default:
        return QVariant();
    }
}

bool TableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    Q_UNUSED(value)
    if (role != Qt::CheckStateRole || !isItemIndex(index))
        return false;

    // The check box is the only editor, and every click on it flips the
    // state, so the value the delegate computed adds nothing.
    TableItem *item = m_items->at(index.row());
    item->setChecked(!item->isChecked());
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

QVariant TableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (section == ColumnName && orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return tr("Name");
    return QVariant();
}

Qt::ItemFlags TableModel::flags(const QModelIndex &index) const
{
    if (!isItemIndex(index))
        return Qt::NoItemFlags;
    // Selected tables are the middle of the Relations tab's neighbourhood.
    return Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

QStringList TableModel::checkedTables() const
{
    QStringList names;
    for (const TableItem *item : std::as_const(*m_items)) {
        if (item->isChecked())
            names.append(item->name());
    }
    return names;
}

void TableModel::setFilterText(const QString &text)
{
    m_filterText = text;
}

bool TableModel::isShown(int row) const
{
    return row >= 0 && row < m_items->size()
            && m_items->at(row)->name().contains(m_filterText, Qt::CaseInsensitive);
}

void TableModel::beginRefill()
{
    beginResetModel();
}

void TableModel::endRefill()
{
    endResetModel();
}

void TableModel::selectAll()
{
    setAllChecked(true);
}

void TableModel::selectNone()
{
    setAllChecked(false);
}

bool TableModel::isItemIndex(const QModelIndex &index) const
{
    return index.isValid() && index.model() == this && index.column() == ColumnName
            && index.row() >= 0 && index.row() < m_items->size();
}

void TableModel::setAllChecked(bool checked)
{
    for (int row = 0; row < m_items->size(); ++row) {
        if (isShown(row))
            m_items->at(row)->setChecked(checked);
    }

    // One announcement for the whole list, not one per row.
    if (m_items->isEmpty())
        return;
    emit dataChanged(index(0, ColumnName), index(rowCount() - 1, ColumnName),
                     {Qt::CheckStateRole});
}

bool TableModel::naturalLess(const QString &a, const QString &b)
{
    const auto digit = [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); };
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (digit(a.at(i)) && digit(b.at(j))) {
            const qsizetype startA = i;
            const qsizetype startB = j;
            while (i < a.size() && digit(a.at(i)))
                ++i;
            while (j < b.size() && digit(b.at(j)))
                ++j;
            // Compared as text without leading zeros: no number is too long.
            QStringView x = QStringView(a).mid(startA, i - startA);
            QStringView y = QStringView(b).mid(startB, j - startB);
            while (x.size() > 1 && x.front() == QLatin1Char('0'))
                x = x.mid(1);
            while (y.size() > 1 && y.front() == QLatin1Char('0'))
                y = y.mid(1);
            if (x.size() != y.size())
                return x.size() < y.size();
            if (const int order = x.compare(y))
                return order < 0;
            continue;
        }
        const QChar x = a.at(i).toCaseFolded();
        const QChar y = b.at(j).toCaseFolded();
        if (x != y)
            return x < y;
        ++i;
        ++j;
    }
    if (a.size() - i != b.size() - j)
        return a.size() - i < b.size() - j;
    return a < b;
}
