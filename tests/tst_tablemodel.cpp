#include "app/tableitem.h"
#include "app/tablemodel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

namespace {

// Gives the tests indexes the public API cannot make: other columns and
// rows past the end.
class ProbeModel : public TableModel
{
public:
    using TableModel::TableModel;
    QModelIndex rawIndex(int row, int column) const { return createIndex(row, column); }
};

QList<TableItem *> makeItems(const QStringList &names)
{
    QList<TableItem *> items;
    for (const QString &name : names)
        items.append(new TableItem(name));
    return items;
}

QList<bool> checkStates(const QList<TableItem *> &items)
{
    QList<bool> states;
    for (const TableItem *item : items)
        states.append(item->isChecked());
    return states;
}

} // namespace

class tst_TableModel : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void newItemIsUnticked();
    void emptyList();
    void followsTheListWithoutCopying();
    void passesTheModelTester();

    void data_data();
    void data();
    void setData_data();
    void setData();
    void twoTogglesRestore_data();
    void twoTogglesRestore();
    void selectAllAndNone_data();
    void selectAllAndNone();
    void checkedTablesKeepListOrder();
    void headerData_data();
    void headerData();
    void flags_data();
    void flags();
    void refillResetsTheModel();

private:
    QList<TableItem *> m_items;
};

void tst_TableModel::cleanup()
{
    qDeleteAll(m_items);
    m_items.clear();
}

void tst_TableModel::newItemIsUnticked()
{
    TableItem item(QStringLiteral("customer"));
    QCOMPARE(item.name(), QStringLiteral("customer"));
    QVERIFY(!item.isChecked());
    item.setChecked(true);
    QVERIFY(item.isChecked());
}

void tst_TableModel::emptyList()
{
    TableModel model(&m_items);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.columnCount(), 1);
    model.selectAll();
    QVERIFY(model.checkedTables().isEmpty());
    model.selectNone();
    QVERIFY(model.checkedTables().isEmpty());
    // Nothing to announce: an empty range would be an invalid one.
    QCOMPARE(changed.count(), 0);
}

void tst_TableModel::followsTheListWithoutCopying()
{
    TableModel model(&m_items);
    m_items = makeItems({QStringLiteral("customer"), QStringLiteral("invoice")});
    QCOMPARE(model.rowCount(), 2);
    m_items.last()->setChecked(true);
    QCOMPARE(model.checkedTables(), QStringList{QStringLiteral("invoice")});
    QCOMPARE(model.index(1, 0).data().toString(), QStringLiteral("invoice"));
}

void tst_TableModel::passesTheModelTester()
{
    m_items = makeItems({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    TableModel model(&m_items);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);

    QVERIFY(model.setData(model.index(1, 0), Qt::Checked, Qt::CheckStateRole));
    model.selectAll();
    model.selectNone();

    model.beginRefill();
    qDeleteAll(m_items);
    m_items = makeItems({QStringLiteral("x")});
    model.endRefill();
    QCOMPARE(model.rowCount(), 1);
}

void tst_TableModel::data_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("role");
    QTest::addColumn<QVariant>("expected");

    QTest::newRow("name") << 0 << 0 << int(Qt::DisplayRole) << QVariant(QStringLiteral("customer"));
    QTest::newRow("unticked") << 0 << 0 << int(Qt::CheckStateRole) << QVariant(Qt::Unchecked);
    QTest::newRow("ticked") << 1 << 0 << int(Qt::CheckStateRole) << QVariant(Qt::Checked);
    QTest::newRow("edit role") << 0 << 0 << int(Qt::EditRole) << QVariant();
    QTest::newRow("tooltip role") << 0 << 0 << int(Qt::ToolTipRole) << QVariant();
    QTest::newRow("column 1") << 0 << 1 << int(Qt::DisplayRole) << QVariant();
    QTest::newRow("row past the end") << 2 << 0 << int(Qt::DisplayRole) << QVariant();
    QTest::newRow("invalid index") << -1 << -1 << int(Qt::DisplayRole) << QVariant();
}

void tst_TableModel::data()
{
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(int, role);
    QFETCH(QVariant, expected);

    m_items = makeItems({QStringLiteral("customer"), QStringLiteral("invoice")});
    m_items.at(1)->setChecked(true);
    ProbeModel model(&m_items);
    const QModelIndex index = row < 0 ? QModelIndex() : model.rawIndex(row, column);

    const QVariant value = model.data(index, role);
    QCOMPARE(value.isValid(), expected.isValid());
    if (role == Qt::CheckStateRole)
        QCOMPARE(value.toInt(), expected.toInt());
    else
        QCOMPARE(value, expected);
}

void tst_TableModel::setData_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("role");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("check state") << 1 << 0 << int(Qt::CheckStateRole) << true;
    QTest::newRow("edit role") << 1 << 0 << int(Qt::EditRole) << false;
    QTest::newRow("display role") << 1 << 0 << int(Qt::DisplayRole) << false;
    QTest::newRow("column 1") << 1 << 1 << int(Qt::CheckStateRole) << false;
    QTest::newRow("row past the end") << 3 << 0 << int(Qt::CheckStateRole) << false;
    QTest::newRow("invalid index") << -1 << -1 << int(Qt::CheckStateRole) << false;
}

void tst_TableModel::setData()
{
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(int, role);
    QFETCH(bool, accepted);

    m_items = makeItems({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    ProbeModel model(&m_items);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    const QModelIndex index = row < 0 ? QModelIndex() : model.rawIndex(row, column);

    QCOMPARE(model.setData(index, Qt::Checked, role), accepted);

    const QList<bool> expected{false, accepted, false};
    QCOMPARE(checkStates(m_items), expected);
    QCOMPARE(changed.count(), accepted ? 1 : 0);
    if (accepted) {
        QCOMPARE(changed.at(0).at(0).value<QModelIndex>(), index);
        QCOMPARE(changed.at(0).at(1).value<QModelIndex>(), index);
    }
}

void tst_TableModel::twoTogglesRestore_data()
{
    QTest::addColumn<bool>("startTicked");
    QTest::addColumn<QVariant>("firstValue");
    QTest::addColumn<QVariant>("secondValue");

    // The value passed is never consulted: every call flips.
    QTest::newRow("unticked, checked twice") << false << QVariant(Qt::Checked) << QVariant(Qt::Checked);
    QTest::newRow("unticked, unchecked twice") << false << QVariant(Qt::Unchecked) << QVariant(Qt::Unchecked);
    QTest::newRow("ticked, checked twice") << true << QVariant(Qt::Checked) << QVariant(Qt::Checked);
    QTest::newRow("ticked, unchecked then checked") << true << QVariant(Qt::Unchecked) << QVariant(Qt::Checked);
    QTest::newRow("unticked, no value and text") << false << QVariant() << QVariant(QStringLiteral("x"));
}

void tst_TableModel::twoTogglesRestore()
{
    QFETCH(bool, startTicked);
    QFETCH(QVariant, firstValue);
    QFETCH(QVariant, secondValue);

    m_items = makeItems({QStringLiteral("a"), QStringLiteral("b")});
    m_items.at(1)->setChecked(startTicked);
    TableModel model(&m_items);
    const QModelIndex index = model.index(1, 0);

    QVERIFY(model.setData(index, firstValue, Qt::CheckStateRole));
    QCOMPARE(m_items.at(1)->isChecked(), !startTicked);
    QCOMPARE(index.data(Qt::CheckStateRole).toInt(), int(startTicked ? Qt::Unchecked : Qt::Checked));
    QVERIFY(model.setData(index, secondValue, Qt::CheckStateRole));
    QCOMPARE(m_items.at(1)->isChecked(), startTicked);
    QVERIFY(!m_items.at(0)->isChecked());
}

void tst_TableModel::selectAllAndNone_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<int>("tickedRow");

    QTest::newRow("one item") << QStringList{QStringLiteral("only")} << 0;
    QTest::newRow("four items") << QStringList{QStringLiteral("zeta"), QStringLiteral("alpha"),
                                               QStringLiteral("mid"), QStringLiteral("beta")}
                                << 2;
}

void tst_TableModel::selectAllAndNone()
{
    QFETCH(QStringList, names);
    QFETCH(int, tickedRow);

    m_items = makeItems(names);
    m_items.at(tickedRow)->setChecked(true);
    TableModel model(&m_items);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    const QModelIndex first = model.index(0, 0);
    const QModelIndex last = model.index(int(names.size()) - 1, 0);

    model.selectAll();
    QCOMPARE(model.checkedTables(), names);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).value<QModelIndex>(), first);
    QCOMPARE(changed.at(0).at(1).value<QModelIndex>(), last);

    model.selectNone();
    QVERIFY(model.checkedTables().isEmpty());
    QCOMPARE(checkStates(m_items), QList<bool>(names.size(), false));
    QCOMPARE(changed.count(), 2);
    QCOMPARE(changed.at(1).at(0).value<QModelIndex>(), first);
    QCOMPARE(changed.at(1).at(1).value<QModelIndex>(), last);
}

void tst_TableModel::checkedTablesKeepListOrder()
{
    m_items = makeItems({QStringLiteral("stock"), QStringLiteral("customer"),
                         QStringLiteral("warehouse"), QStringLiteral("invoice")});
    TableModel model(&m_items);
    QVERIFY(model.checkedTables().isEmpty());

    // Ticked in another order than the list's.
    QVERIFY(model.setData(model.index(3, 0), Qt::Checked, Qt::CheckStateRole));
    QVERIFY(model.setData(model.index(0, 0), Qt::Checked, Qt::CheckStateRole));
    QCOMPARE(model.checkedTables(), (QStringList{QStringLiteral("stock"), QStringLiteral("invoice")}));
}

void tst_TableModel::headerData_data()
{
    QTest::addColumn<int>("section");
    QTest::addColumn<Qt::Orientation>("orientation");
    QTest::addColumn<int>("role");
    QTest::addColumn<QVariant>("expected");

    QTest::newRow("horizontal name") << 0 << Qt::Horizontal << int(Qt::DisplayRole)
                                     << QVariant(QStringLiteral("Name"));
    QTest::newRow("vertical") << 0 << Qt::Vertical << int(Qt::DisplayRole) << QVariant();
    QTest::newRow("edit role") << 0 << Qt::Horizontal << int(Qt::EditRole) << QVariant();
    QTest::newRow("tooltip role") << 0 << Qt::Horizontal << int(Qt::ToolTipRole) << QVariant();
    QTest::newRow("section 1") << 1 << Qt::Horizontal << int(Qt::DisplayRole) << QVariant();
}

void tst_TableModel::headerData()
{
    QFETCH(int, section);
    QFETCH(Qt::Orientation, orientation);
    QFETCH(int, role);
    QFETCH(QVariant, expected);

    m_items = makeItems({QStringLiteral("a")});
    TableModel model(&m_items);
    QCOMPARE(model.headerData(section, orientation, role), expected);
}

void tst_TableModel::flags_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("expected");

    // Not selectable, not editable: the check box is the only interaction.
    QTest::newRow("item") << 0 << 0 << int(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
    QTest::newRow("column 1") << 0 << 1 << int(Qt::NoItemFlags);
    QTest::newRow("row past the end") << 1 << 0 << int(Qt::NoItemFlags);
    QTest::newRow("invalid index") << -1 << -1 << int(Qt::NoItemFlags);
}

void tst_TableModel::flags()
{
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(int, expected);

    m_items = makeItems({QStringLiteral("a")});
    ProbeModel model(&m_items);
    const QModelIndex index = row < 0 ? QModelIndex() : model.rawIndex(row, column);
    QCOMPARE(int(model.flags(index)), expected);
}

void tst_TableModel::refillResetsTheModel()
{
    m_items = makeItems({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    TableModel model(&m_items);
    QSignalSpy aboutToReset(&model, &QAbstractItemModel::modelAboutToBeReset);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    int rowsWhenAboutToReset = -1;
    connect(&model, &QAbstractItemModel::modelAboutToBeReset, this,
            [&] { rowsWhenAboutToReset = model.rowCount(); });
    const QPersistentModelIndex lastRow = model.index(2, 0);

    model.beginRefill();
    QCOMPARE(aboutToReset.count(), 1);
    QCOMPARE(reset.count(), 0);
    qDeleteAll(m_items);
    m_items = makeItems({QStringLiteral("x")});
    model.endRefill();

    QCOMPARE(rowsWhenAboutToReset, 3);
    QCOMPARE(reset.count(), 1);
    QCOMPARE(removed.count(), 0);
    QCOMPARE(model.rowCount(), 1);
    // Indexes kept across the refill no longer point at rows that are gone.
    QVERIFY(!lastRow.isValid());
    QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("x"));
}

QTEST_GUILESS_MAIN(tst_TableModel)

#include "tst_tablemodel.moc"
