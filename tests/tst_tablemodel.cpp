// The table check list: indexes inside and outside the list, ticking, Select
// All and None with the range they announce, and a refill as one reset.

#include "app/tableitem.h"
#include "app/tablemodel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

namespace {

// Makes the indexes the public interface cannot: other columns, rows past the end.
class ProbeModel : public TableModel
{
public:
    using TableModel::TableModel;
    QModelIndex rawIndex(int row, int column) const { return row < 0 ? QModelIndex() : createIndex(row, column); }
};

} // namespace

class TestTableModel : public QObject
{
    Q_OBJECT

public:
    ~TestTableModel() override { qDeleteAll(m_items); }

private slots:
    void indexes();
    void selectAllAndRefill();

private:
    void fill(const QStringList &names)
    {
        qDeleteAll(m_items);
        m_items.clear();
        for (const QString &name : names)
            m_items.append(new TableItem(name));
    }
    QList<TableItem *> m_items;
    // Made before any test fills the list: it must follow the list, never copy it.
    ProbeModel m_model{&m_items};
};

void TestTableModel::indexes()
{
    fill({QStringLiteral("customer"), QStringLiteral("invoice")});
    m_items.at(1)->setChecked(true);
    // Names and check states, not selectable, not editable: the check box is
    // the only interaction. Other columns, rows past the end and invalid
    // indexes have nothing; the header has one title.
    const QList<QModelIndex> indexes{m_model.index(0, 0), m_model.index(1, 0), m_model.rawIndex(0, 1),
                                     m_model.rawIndex(2, 0), QModelIndex()};
    QVariantList shown{m_model.rowCount(), m_model.columnCount(), m_model.headerData(0, Qt::Horizontal),
                       m_model.headerData(0, Qt::Vertical), m_model.headerData(1, Qt::Horizontal)};
    for (const QModelIndex &index : indexes)
        shown << m_model.data(index) << m_model.data(index, Qt::CheckStateRole) << int(m_model.flags(index))
              << m_model.data(index, Qt::EditRole);
    const int item = Qt::ItemIsUserCheckable | Qt::ItemIsEnabled;
    const QVariant none;
    QCOMPARE(shown, (QVariantList{2, 1, "Name", none, none, "customer", int(Qt::Unchecked), item, none, "invoice",
                                  int(Qt::Checked), item, none, none, none, 0, none, none, none, 0, none, none, none, 0,
                                  none}));
    // Every set of the check state flips it, whatever value comes along
    // (here the current one), and announces the one index; nothing else sets.
    QSignalSpy changed(&m_model, &QAbstractItemModel::dataChanged);
    for (const QModelIndex &index : indexes) {
        const bool isItem = index.isValid() && index.column() == 0 && index.row() < 2;
        QVERIFY(!m_model.setData(index, Qt::Checked, Qt::EditRole));
        QCOMPARE(m_model.setData(index, m_model.data(index, Qt::CheckStateRole), Qt::CheckStateRole), isItem);
    }
    QCOMPARE(m_model.checkedTables(), QStringList{"customer"});
    QCOMPARE(changed.count(), 2);
    QCOMPARE(changed.at(1).at(0).value<QModelIndex>(), indexes.at(1));
}

void TestTableModel::selectAllAndRefill()
{
    fill({QStringLiteral("zeta"), QStringLiteral("alpha"), QStringLiteral("mid")});
    QAbstractItemModelTester tester(&m_model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    // Ticked in another order than the list's: reported in the list's.
    for (int row : {2, 0})
        QVERIFY(m_model.setData(m_model.index(row, 0), Qt::Checked, Qt::CheckStateRole));
    QCOMPARE(m_model.checkedTables(), (QStringList{"zeta", "mid"}));
    // One announcement of the whole range each.
    QSignalSpy changed(&m_model, &QAbstractItemModel::dataChanged);
    m_model.selectAll();
    QCOMPARE(m_model.checkedTables(), (QStringList{"zeta", "alpha", "mid"}));
    m_model.selectNone();
    QVERIFY(m_model.checkedTables().isEmpty());
    QCOMPARE(changed.count(), 2);
    for (const QList<QVariant> &signal : std::as_const(changed)) {
        QCOMPARE(signal.at(0).value<QModelIndex>(), m_model.index(0, 0));
        QCOMPARE(signal.at(1).value<QModelIndex>(), m_model.index(2, 0));
    }

    // A refill is one reset: views hear of the old rows before they go.
    QSignalSpy reset(&m_model, &QAbstractItemModel::modelReset);
    int rowsWhenAboutToReset = -1;
    connect(&m_model, &QAbstractItemModel::modelAboutToBeReset, this, [&] { rowsWhenAboutToReset = m_model.rowCount(); });
    const QPersistentModelIndex lastRow = m_model.index(2, 0);
    m_model.beginRefill();
    fill({});
    m_model.endRefill();
    QCOMPARE(rowsWhenAboutToReset, 3);
    QCOMPARE(reset.count(), 1);
    QVERIFY(!lastRow.isValid());
    // No rows: nothing to announce, as an empty range would be an invalid one.
    m_model.selectAll();
    QCOMPARE(changed.count(), 2);
}

QTEST_MAIN(TestTableModel)
#include "tst_tablemodel.moc"
