#include "app/tableitem.h"
#include "app/tablemodel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

namespace {

// Makes the indexes the public API cannot: other columns, rows past the end.
class ProbeModel : public TableModel
{
public:
    using TableModel::TableModel;
    QModelIndex rawIndex(int row, int column) const { return row < 0 ? QModelIndex() : createIndex(row, column); }
};

using Range = QPair<QModelIndex, QModelIndex>;

Range rangeOf(const QList<QVariant> &signal)
{
    return {signal.at(0).value<QModelIndex>(), signal.at(1).value<QModelIndex>()};
}

} // namespace

class tst_TableModel : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { fill({}); }
    void passesTheModelTester();
    void indexes_data();
    void indexes();
    void selectAllAndNone_data();
    void selectAllAndNone();
    void headerData_data();
    void headerData();
    void refillResetsTheModel();

private:
    // Replaces the items, as the window does on Connect.
    void fill(const QStringList &names)
    {
        qDeleteAll(m_items);
        m_items.clear();
        for (const QString &name : names)
            m_items.append(new TableItem(name));
    }
    QList<bool> states() const
    {
        QList<bool> result;
        for (const TableItem *item : m_items)
            result.append(item->isChecked());
        return result;
    }

    QList<TableItem *> m_items;
    // Made once, before any test fills the list: it must follow the list,
    // never copy it.
    ProbeModel m_model{&m_items};
};

void tst_TableModel::passesTheModelTester()
{
    fill({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    QAbstractItemModelTester tester(&m_model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QVERIFY(m_model.setData(m_model.index(1, 0), Qt::Checked, Qt::CheckStateRole));
    m_model.selectAll();
    m_model.selectNone();
    m_model.beginRefill();
    fill({QStringLiteral("x")});
    m_model.endRefill();
}

void tst_TableModel::indexes_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<QVariant>("name");
    QTest::addColumn<QVariant>("state");
    QTest::addColumn<int>("flags");

    // Not selectable, not editable: the check box is the only interaction.
    const int item = Qt::ItemIsUserCheckable | Qt::ItemIsEnabled;
    QTest::newRow("unticked") << 0 << 0 << QVariant(QStringLiteral("customer")) << QVariant(Qt::Unchecked) << item;
    QTest::newRow("ticked") << 1 << 0 << QVariant(QStringLiteral("invoice")) << QVariant(Qt::Checked) << item;
    QTest::newRow("column 1") << 0 << 1 << QVariant() << QVariant() << 0;
    QTest::newRow("row past the end") << 2 << 0 << QVariant() << QVariant() << 0;
    QTest::newRow("invalid index") << -1 << -1 << QVariant() << QVariant() << 0;
}

void tst_TableModel::indexes()
{
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QVariant, name);
    QFETCH(QVariant, state);
    QFETCH(int, flags);

    fill({QStringLiteral("customer"), QStringLiteral("invoice")});
    m_items.at(1)->setChecked(true);
    QCOMPARE(m_model.rowCount(), 2);
    QCOMPARE(m_model.columnCount(), 1);
    const QModelIndex index = m_model.rawIndex(row, column);

    QCOMPARE(m_model.data(index), name);
    const QVariant checkState = m_model.data(index, Qt::CheckStateRole);
    QCOMPARE(checkState.isValid(), state.isValid());
    QCOMPARE(checkState.toInt(), state.toInt());
    QVERIFY(!m_model.data(index, Qt::EditRole).isValid());
    QVERIFY(!m_model.data(index, Qt::ToolTipRole).isValid());
    QCOMPARE(int(m_model.flags(index)), flags);

    // Other roles change nothing.
    QSignalSpy changed(&m_model, &QAbstractItemModel::dataChanged);
    const QList<bool> before = states();
    QVERIFY(!m_model.setData(index, Qt::Checked, Qt::EditRole));
    QVERIFY(!m_model.setData(index, Qt::Checked, Qt::DisplayRole));
    QCOMPARE(states(), before);

    // Every set of the check state flips it, whatever value comes along: the
    // current state first (which a model honouring the value would keep),
    // then no value at all.
    const bool isItem = name.isValid();
    QCOMPARE(m_model.setData(index, state, Qt::CheckStateRole), isItem);
    QList<bool> flipped = before;
    if (isItem) {
        flipped[row] = !flipped[row];
        QCOMPARE(changed.count(), 1);
        QCOMPARE(rangeOf(changed.at(0)), Range(index, index));
    }
    QCOMPARE(states(), flipped);
    QCOMPARE(m_model.setData(index, QVariant(), Qt::CheckStateRole), isItem);
    QCOMPARE(states(), before);
    QCOMPARE(changed.count(), isItem ? 2 : 0);
}

void tst_TableModel::selectAllAndNone_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QList<int>>("ticked");
    QTest::addColumn<QStringList>("checked");

    QTest::newRow("empty list") << QStringList() << QList<int>() << QStringList();
    QTest::newRow("one item") << QStringList{QStringLiteral("only")} << QList<int>{0}
                              << QStringList{QStringLiteral("only")};
    // Ticked in another order than the list's.
    QTest::newRow("four items") << QStringList{QStringLiteral("zeta"), QStringLiteral("alpha"),
                                               QStringLiteral("mid"), QStringLiteral("beta")}
                                << QList<int>{3, 0} << QStringList{QStringLiteral("zeta"), QStringLiteral("beta")};
}

void tst_TableModel::selectAllAndNone()
{
    QFETCH(QStringList, names);
    QFETCH(QList<int>, ticked);
    QFETCH(QStringList, checked);

    fill(names);
    QCOMPARE(m_model.rowCount(), int(names.size()));
    QVERIFY(m_model.checkedTables().isEmpty());
    for (int row : ticked)
        QVERIFY(m_model.setData(m_model.index(row, 0), Qt::Checked, Qt::CheckStateRole));
    QCOMPARE(m_model.checkedTables(), checked);

    // One announcement of the real range of rows each; none for no rows, as
    // an empty range would be an invalid one.
    QSignalSpy changed(&m_model, &QAbstractItemModel::dataChanged);
    const QList<Range> expected(names.isEmpty() ? 0 : 1,
                                Range(m_model.index(0, 0), m_model.index(int(names.size()) - 1, 0)));
    m_model.selectAll();
    QCOMPARE(m_model.checkedTables(), names);
    QCOMPARE(changed.count(), expected.size());
    m_model.selectNone();
    QVERIFY(m_model.checkedTables().isEmpty());
    QCOMPARE(states(), QList<bool>(names.size(), false));
    QCOMPARE(changed.count(), 2 * expected.size());
    for (const QList<QVariant> &signal : std::as_const(changed))
        QCOMPARE(rangeOf(signal), expected.first());
}

void tst_TableModel::headerData_data()
{
    QTest::addColumn<int>("section");
    QTest::addColumn<Qt::Orientation>("orientation");
    QTest::addColumn<int>("role");
    QTest::addColumn<QVariant>("expected");

    QTest::newRow("name") << 0 << Qt::Horizontal << int(Qt::DisplayRole) << QVariant(QStringLiteral("Name"));
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

    fill({QStringLiteral("a")});
    QCOMPARE(m_model.headerData(section, orientation, role), expected);
}

void tst_TableModel::refillResetsTheModel()
{
    fill({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    QSignalSpy reset(&m_model, &QAbstractItemModel::modelReset);
    QSignalSpy removed(&m_model, &QAbstractItemModel::rowsRemoved);
    int rowsWhenAboutToReset = -1;
    QObject context;
    connect(&m_model, &QAbstractItemModel::modelAboutToBeReset, &context,
            [&] { rowsWhenAboutToReset = m_model.rowCount(); });
    const QPersistentModelIndex lastRow = m_model.index(2, 0);

    m_model.beginRefill();
    QCOMPARE(rowsWhenAboutToReset, 3);
    QCOMPARE(reset.count(), 0);
    fill({QStringLiteral("x")});
    m_model.endRefill();

    QCOMPARE(reset.count(), 1);
    QCOMPARE(removed.count(), 0);
    // Indexes kept across the refill no longer point at rows that are gone.
    QVERIFY(!lastRow.isValid());
    QCOMPARE(m_model.index(0, 0).data().toString(), QStringLiteral("x"));
}

QTEST_GUILESS_MAIN(tst_TableModel)

#include "tst_tablemodel.moc"
