// What the window shows before it writes, and the command line's --diagram:
// the relation diagram against the code model of the link fixtures, the
// preview against the files Generate writes, and the comparison against
// tablesmith-cli --check.

#include "support.h"

#include "app/window/codepreview.h"
#include "app/window/compareview.h"
#include "app/window/diagramview.h"
#include "engine/graphvizlayout.h"
#include "app/window/inspectionpanel.h"
#include "app/window/projectmenu.h"
#include "engine/schemathread.h"
#include "project/usersettings.h"
#include "codemodel/generator.h"
#include "codemodel/relation.h"
#include "codemodel/relationdiagram.h"
#include "codemodel/tableobject.h"
#include "mysql/database.h"
#include "mysql/schemacatalog.h"
#include "mysql/table.h"

#include <QAction>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScopeGuard>
#include <QGraphicsView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QScrollBar>
#include <QTabWidget>
#include <QTextCursor>
#include <QtTest>

namespace {

// A DOT string's text.
QString unquoted(const QString &quoted)
{
    QString text;
    for (qsizetype i = 1; i + 1 < quoted.size(); ++i) {
        if (quoted.at(i) == QLatin1Char('\\') && i + 2 < quoted.size())
            text += quoted.at(++i) == QLatin1Char('n') ? QChar(QLatin1Char('\n')) : quoted.at(i);
        else
            text += quoted.at(i);
    }
    return text;
}

// The diagram read back from its DOT text.
struct Drawn
{
    QStringList tables; // drawn as tables, sorted
    QStringList faded; // drawn faded, sorted
    QStringList marked; // with a note
    QStringList edges; // "source -> target: kind via columns", sorted
    QStringList dashed; // "source -> target", declared in the project, sorted
    QStringList classes; // "table: class" when not the table's own name, sorted
    QHash<QString, QStringList> columns; // table -> "PK id", "FK hub_id", ...
};

Drawn readBack(const QString &dot)
{
    static const QRegularExpression node(QStringLiteral("^  (\"(?:[^\"\\\\]|\\\\.)*\") \\[id=\"[^\"]*\", class=\"(\\w+)\"(.*)\\];$"));
    static const QRegularExpression edge(QStringLiteral(
            "^  (\"(?:[^\"\\\\]|\\\\.)*\") -> (\"(?:[^\"\\\\]|\\\\.)*\") \\[class=\"([\\w-]+)\", label=(\"(?:[^\"\\\\]|\\\\.)*\")(.*)\\];$"));
    static const QRegularExpression column(QStringLiteral(
            "<tr><td align=\"left\">(?:<font color=\"#8a5a00\">([^<]+)</font>)?</td><td align=\"left\">([^<]*)</td></tr>"));
    static const QRegularExpression className(QStringLiteral("<td colspan=\"2\" bgcolor=\"[^\"]*\"><font color=\"#2f4256\"><i>(\\w+)</i>"));
    Drawn drawn;
    for (const QString &line : dot.split(QLatin1Char('\n'))) {
        if (const QRegularExpressionMatch m = edge.match(line); m.hasMatch()) {
            const QStringList label = unquoted(m.captured(4)).split(QLatin1Char('\n'));
            // The label begins with the kind, or the edge reads wrong.
            const QString kind = label.first() == m.captured(3) ? m.captured(3) : QStringLiteral("mislabelled");
            drawn.edges.append(QStringLiteral("%1 -> %2: %3 via %4")
                                       .arg(unquoted(m.captured(1)), unquoted(m.captured(2)), kind, label.value(1)));
            if (m.captured(5).contains(QLatin1String(", style=dashed")))
                drawn.dashed.append(unquoted(m.captured(1)) + QStringLiteral(" -> ") + unquoted(m.captured(2)));
        } else if (const QRegularExpressionMatch m = node.match(line); m.hasMatch()) {
            const QString name = unquoted(m.captured(1));
            (m.captured(2) == QLatin1String("table") ? drawn.tables : drawn.faded).append(name);
            if (m.captured(3).contains(QLatin1String(", tooltip=")) && m.captured(2) == QLatin1String("table"))
                drawn.marked.append(name);
            if (const QRegularExpressionMatch c = className.match(m.captured(3)); c.hasMatch())
                drawn.classes.append(name + QStringLiteral(": ") + c.captured(1));
            auto columns = column.globalMatch(m.captured(3));
            while (columns.hasNext()) {
                const QRegularExpressionMatch c = columns.next();
                drawn.columns[name].append((c.captured(1) + QLatin1Char(' ') + c.captured(2)).trimmed());
            }
        }
    }
    for (QStringList *list : {&drawn.tables, &drawn.faded, &drawn.marked, &drawn.edges, &drawn.dashed, &drawn.classes})
        list->sort();
    return drawn;
}

// The schema read and its code model built as Generate does.
struct CodeModel
{
    explicit CodeModel(const QString &schema)
        : database(schema, mysql::LogSink([](const QString &) {}), nullptr)
        , generator(&database, nullptr)
    {
        mysql::SchemaCatalog catalog(&database);
        catalog.loadTables();
        catalog.createKeys();
        database.createRelationships();
        generator.createTableObjects();
        generator.createRelations();
    }
    mysql::Database database;
    Generator generator;
};

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

QStringList checkLines(const QString &out)
{
    return out.split(QLatin1Char('\n')).filter(QRegularExpression(QStringLiteral("^(new|changed|stale|not Tablesmith's): ")));
}

QStringList filesBelow(const QString &root)
{
    QStringList files;
    QDirIterator it(root + QStringLiteral("/code"), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(QDir(root).relativeFilePath(it.next()));
    files.sort();
    return files;
}

} // namespace

class TestInspect : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void diagram_data();
    void diagram();
    void diagramOfEveryTable();
    void relationsFollowTicksAndFilter();
    void previewAndCompare();
    void viewsReadLikeGenerate();
    void viewsApplyProject_data();
    void viewsApplyProject();
    void neighbourhoodOf_data();
    void neighbourhoodOf();
};

void TestInspect::initTestCase()
{
    QVERIFY(TestServer::openConnections(QStringLiteral("lk_links")));
}

void TestInspect::diagram_data()
{
    QTest::addColumn<QStringList>("ticked");
    QTest::addColumn<QStringList>("edges");
    QTest::addColumn<QStringList>("faded");
    QTest::addColumn<QStringList>("marked");
    QTest::addColumn<QStringList>("columns"); // of the first ticked table

    QTest::newRow("one-to-many, many-to-one, linked tables left unticked")
            << QStringList{"spoke_a", "spoke_d"}
            << QStringList{"spoke_a -> hub: many-to-one via spoke_a.hub_id",
                           "spoke_a -> spoke_b: one-to-many via spoke_b.spoke_a_id",
                           "spoke_d -> hub: many-to-one via spoke_d.hub_id"}
            << QStringList{"hub", "spoke_b"} << QStringList{"spoke_a", "spoke_d"}
            << QStringList{"PK id", "FK hub_id"};
    QTest::newRow("both sides of the links of a cycle")
            << QStringList{"ring_1", "ring_2"}
            << QStringList{"ring_1 -> ring_2: one-to-many via ring_2.ring_1_id",
                           "ring_1 -> ring_3: many-to-one via ring_1.ring_3_id",
                           "ring_2 -> ring_1: many-to-one via ring_2.ring_1_id",
                           "ring_2 -> ring_3: one-to-many via ring_3.ring_2_id",
                           "ring_2 -> tail_2: one-to-many via tail_2.ring_2_id"}
            << QStringList{"ring_3", "tail_2"} << QStringList{"ring_1", "ring_2"}
            << QStringList{"PK id", "FK ring_3_id"};
    QTest::newRow("one-to-one both ways")
            << QStringList{"twin_p", "twin_q"}
            << QStringList{"twin_p -> twin_q: one-to-one via twin_p.id", "twin_q -> twin_p: one-to-one via twin_q.id"}
            << QStringList() << QStringList() << QStringList{"PK FK id"};
    QTest::newRow("self-references")
            << QStringList{"self_tree", "self_same"}
            << QStringList{"self_same -> self_same: one-to-one via self_same.id",
                           "self_tree -> hub: many-to-one via self_tree.hub_id",
                           "self_tree -> self_tree: many-to-one via self_tree.parent_id",
                           "self_tree -> self_tree: one-to-many via self_tree.parent_id"}
            << QStringList{"hub"} << QStringList{"self_tree"} << QStringList{"PK id", "FK parent_id", "FK hub_id"};
    // One getter per linked table: the second key to hub is a marked column
    // without an edge of its own.
    QTest::newRow("two links to one table")
            << QStringList{"spoke_b"}
            << QStringList{"spoke_b -> hub: many-to-one via spoke_b.hub_id",
                           "spoke_b -> spoke_a: many-to-one via spoke_b.spoke_a_id"}
            << QStringList{"hub", "spoke_a"} << QStringList{"spoke_b"}
            << QStringList{"PK id", "FK hub_id", "FK other_hub_id", "FK spoke_a_id"};
    QTest::newRow("a link of two columns")
            << QStringList{"hub", "spoke_f", "spoke_e"}
            << QStringList{"hub -> outside: one-to-many via outside.hub_id",
                           "hub -> ring_3: one-to-many via ring_3.hub_id",
                           "hub -> self_tree: one-to-many via self_tree.hub_id",
                           "hub -> spoke_a: one-to-many via spoke_a.hub_id",
                           "hub -> spoke_b: one-to-many via spoke_b.hub_id",
                           "hub -> spoke_c: one-to-one via spoke_c.hub_id",
                           "hub -> spoke_d: one-to-many via spoke_d.hub_id",
                           "hub -> spoke_e: one-to-many via spoke_e.hub_id",
                           "hub -> spoke_f: one-to-many via spoke_f.hub_id",
                           "hub -> tail_1: one-to-many via tail_1.hub_id",
                           "spoke_e -> hub: many-to-one via spoke_e.hub_id",
                           "spoke_e -> spoke_f: one-to-many via spoke_f.spoke_e_id, spoke_e_hub",
                           "spoke_f -> hub: many-to-one via spoke_f.hub_id",
                           "spoke_f -> spoke_e: many-to-one via spoke_f.spoke_e_id, spoke_e_hub"}
            << QStringList{"outside", "ring_3", "self_tree", "spoke_a", "spoke_b", "spoke_c", "spoke_d", "tail_1"}
            << QStringList{"hub", "spoke_f"} << QStringList{"PK id", "nombre"};
}

void TestInspect::diagram()
{
    QFETCH(QStringList, ticked);
    QFETCH(QStringList, edges);
    QFETCH(QStringList, faded);
    QFETCH(QStringList, marked);
    QFETCH(QStringList, columns);
    const CodeModel model(QStringLiteral("lk_links"));
    const RelationDiagram diagram = relationDiagram(model.generator, ticked, true);
    const Drawn drawn = readBack(diagram.dot);
    QCOMPARE(drawn.tables, sorted(ticked));
    QCOMPARE(drawn.edges, sorted(edges));
    QCOMPARE(drawn.faded, faded);
    QCOMPARE(drawn.marked, marked);
    QCOMPARE(drawn.columns.value(ticked.first()), columns);
    QCOMPARE(diagram.notes.size(), marked.size());

    // Laid out by the library: one SVG group per node and per edge.
    QString error;
    const QString svg = QString::fromUtf8(layoutAsSvg(diagram.dot, &error));
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(svg.count(QLatin1String("class=\"node ")), ticked.size() + faded.size());
    QCOMPARE(svg.count(QLatin1String("class=\"edge ")), edges.size());
    for (const QString &column : columns)
        QVERIFY2(svg.contains('>' + column.section(' ', -1) + "</text>"), qPrintable(column));

    // The command line's --diagram with --check writes that graph and
    // nothing else.
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("relations.dot"));
    const CliResult result = runCli(serverArguments(QStringLiteral("lk_links"))
                                    + QStringList{"--tables=" + ticked.join(','), "--check", "--diagram", file, "-o",
                                                  dir.path()});
    QVERIFY2(result.exitCode == 1 && result.out.contains("Relation diagram of " + QString::number(ticked.size())),
             qPrintable(result.describe()));
    QCOMPARE(readText(file), diagram.dot);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"relations.dot"});
}

void TestInspect::diagramOfEveryTable()
{
    // Every relation of the code model is drawn once, between the right
    // tables, with its kind.
    const CodeModel model(QStringLiteral("lk_links"));
    QStringList tables;
    QStringList relations;
    for (const TableObject *table : model.generator.tableObjects()) {
        tables.append(table->table()->name());
        for (const Relation *relation : table->relations())
            relations.append(QStringLiteral("%1 -> %2: %3").arg(table->table()->name(), relation->targetTableName(),
                                                                relationKindName(relation->type())));
    }
    const Drawn drawn = readBack(relationDiagram(model.generator, tables, true).dot);
    QStringList edges = drawn.edges;
    edges.replaceInStrings(QRegularExpression(QStringLiteral(" via .*$")), QString());
    QCOMPARE(drawn.tables, sorted(tables));
    QVERIFY(drawn.faded.isEmpty());
    QCOMPARE(edges, sorted(relations));

    // Through the command line as SVG, beside the code.
    QTemporaryDir dir;
    const CliResult result = runCli(serverArguments(QStringLiteral("lk_links"))
                                    + QStringList{"--diagram=" + dir.filePath("r.svg"), "-o", dir.path()});
    const QString svg = readText(dir.filePath(QStringLiteral("r.svg")));
    QCOMPARE(svg.count(QLatin1String("class=\"node ")), tables.size());
    QCOMPARE(svg.count(QLatin1String("class=\"edge ")), relations.size());
    QVERIFY2(QFileInfo(dir.filePath("code/C++/dao/hubdao.h")).isFile(), qPrintable(result.describe()));
}

void TestInspect::relationsFollowTicksAndFilter()
{
    Tablesmith window;
    window.show();
    // Export Diagram with nothing to draw says why (drawn first: previewAndCompare).
    const auto exported = [&window](const QString &line) {
        child<QAction>(window, "actionExportDiagram")->trigger();
        return logLines(window).value(logLines(window).size() - 1) == line;
    };
    QVERIFY(exported(QStringLiteral("No diagram to export: connect and tick tables first.")));
    connectWindow(window, QStringLiteral("lk_links"), {});
    QVERIFY(exported(QStringLiteral("No diagram to export: tick the tables to draw.")));
    auto *panel = child<InspectionPanel>(window, "viewTabs");
    auto *view = panel->diagramView();
    panel->setCurrentWidget(view);
    QVERIFY(!view->hasDiagram());
    child<QLineEdit>(window, "tableFilter")->setText(QStringLiteral("SPOKE_"));
    click(window, "btSelectAll");
    QTRY_COMPARE(QString::fromUtf8(view->svg()).count(QLatin1String("class=\"node table\"")), 6);
    QCOMPARE(sorted(panel->diagramTables()),
             (QStringList{"spoke_a", "spoke_b", "spoke_c", "spoke_d", "spoke_e", "spoke_f"}));
    const QString svg = QString::fromUtf8(view->svg());
    QCOMPARE(svg.count(QLatin1String("class=\"node linked\"")), 1); // hub
    // spoke_b's second key to hub is noted: its box says so as tooltip,
    // wherever the view has scrolled or zoomed to; the space beside it not.
    const QString id = svg.section(QStringLiteral("<title>spoke_b</title>"), 0, 0).section(QStringLiteral("<g id=\""), -1)
                               .section(QLatin1Char('"'), 0, 0);
    for (const qreal zoom : {1.0, 1.25 * 1.25}) {
        view->zoomBy(zoom);
        const QRect box = view->elementRect(id);
        QVERIFY2(!box.isEmpty(), qPrintable(id));
        child<QGraphicsView>(window, "diagramGraphics")->centerOn(
                child<QGraphicsView>(window, "diagramGraphics")->mapToScene(box.center()));
        const QRect centred = view->elementRect(id);
        QVERIFY2(view->noteAt(centred.center()).contains(QLatin1String("second foreign key to hub (other_hub_id)")),
                 qPrintable(view->noteAt(centred.center())));
        QVERIFY(view->noteAt(centred.topLeft() - QPoint(3, 3)).isEmpty());
    }
    // Ticks hidden by the filter stay, but only the shown tables are drawn.
    child<QLineEdit>(window, "tableFilter")->setText(QStringLiteral("spoke_a"));
    QTRY_COMPARE(QString::fromUtf8(view->svg()).count(QLatin1String("class=\"node table\"")), 1);
    QCOMPARE(panel->diagramTables(), QStringList{"spoke_a"});
    // None ticked among the shown: no diagram, and a word why.
    click(window, "btSelectNone");
    QTRY_VERIFY(!view->hasDiagram());

    // Export: PNG by the extension, anything else refused in the log.
    child<QLineEdit>(window, "tableFilter")->clear();
    QTRY_VERIFY(view->hasDiagram());
    QTemporaryDir dir;
    QVERIFY(panel->exportDiagramTo(dir.filePath("r.png")) && !QImage(dir.filePath("r.png")).isNull());
    QVERIFY(!panel->exportDiagramTo(dir.filePath("r.gif")));
    QCOMPARE(logLines(window).constLast(),
             "Cannot export the diagram to " + dir.filePath("r.gif") + ": the file name must end in .svg or .png");
    // Leaf and leaf meet in their file names: leaf's preview shows the
    // numbered files Generate writes for it.
    auto *tabs = child<QTabWidget>(window, "previewTabs");
    panel->setCurrentWidget(panel->codePreview());
    click(window, "btSelectAll");
    for (const auto &[table, header] : {std::pair{"Leaf", "leaf.h"}, {"leaf", "leaf_2.h"}}) {
        panel->previewTable(QString::fromLatin1(table), true);
        QTRY_VERIFY(!panel->viewsThread()->isBusy());
        QStringList names;
        for (int i = 0; i < tabs->count(); ++i)
            names.append(tabs->tabText(i));
        QVERIFY2(names.contains(QLatin1String(header)), qPrintable(names.join(QLatin1Char(' '))));
    }
    // An output folder that does not exist yet is not opened, and the log
    // says why.
    UserSettings().setOutputFolder(dir.filePath("not-yet"));
    child<QAction>(window, "actionOpenOutputFolder")->trigger();
    QCOMPARE(logLines(window).constLast(),
             "The output folder " + dir.filePath("not-yet") + " does not exist yet: Generate creates it.");
    UserSettings().setOutputFolder(QString());

    // From the moment the next Connect starts, no view shows lk_links, also
    // when that Connect fails.
    child<QAction>(window, "actionCompare")->trigger();
    QTRY_VERIFY(!panel->viewsThread()->isBusy() && !panel->compareView()->differences().isEmpty());
    panel->setCurrentWidget(view);
    QTRY_VERIFY(view->hasDiagram() && !panel->codePreview()->filePaths().isEmpty());
    const auto shown = [panel] {
        return QStringList{panel->diagramView()->hasDiagram() ? "diagram" : "", panel->codePreview()->filePaths().join(' '),
                           panel->compareView()->differences().join(' ')};
    };
    fillForm(window, QStringLiteral("lk_links"), TestServer::settings().user, QStringLiteral("Wr0ng-Secret-4711"));
    QStringList whileConnecting;
    QTimer::singleShot(0, &window, [&] { whileConnecting = shown(); });
    click(window, "btConnect");
    QCOMPARE(whileConnecting, QStringList({"", "", ""}));
    QTest::qWait(300);
    QCOMPARE(shown(), QStringList({"", "", ""}));
}

void TestInspect::previewAndCompare()
{
    // The views' thread queries its own connections, never the run's.
    QTest::failOnWarning(QRegularExpression(QStringLiteral("does not belong to the calling thread")));
    Tablesmith window;
    window.show();
    connectWindow(window, QStringLiteral("rw_rental"));
    click(window, "btGenerate");
    QVERIFY2(logLines(window).constLast().startsWith(QLatin1String("Finished in ")), qPrintable(logLines(window).constLast()));
    const QString root = windowRoot();
    auto *panel = child<InspectionPanel>(window, "viewTabs");
    auto *list = child<QListView>(window, "listViewSource");
    // The closing line is longer than the log pane is wide: it scrolls
    // sideways, and the sideways scroll bar does not hide it below.
    auto *log = child<QPlainTextEdit>(window, "textLog");
    QTRY_VERIFY(log->horizontalScrollBar()->maximum() > 0);
    QTextCursor end(log->document());
    end.movePosition(QTextCursor::End);
    QTRY_VERIFY2(log->cursorRect(end).bottom() <= log->viewport()->height(),
                 qPrintable(QStringLiteral("%1 > %2").arg(log->cursorRect(end).bottom()).arg(log->viewport()->height())));
    // Ticking a table keeps the log in view.
    const QModelIndex first = list->model()->index(0, 0);
    const QPoint checkBox(list->visualRect(first).left() + 8, list->visualRect(first).center().y());
    for (const Qt::CheckState state : {Qt::Unchecked, Qt::Checked}) {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, checkBox);
        QCOMPARE(first.data(Qt::CheckStateRole).toInt(), int(state));
        QCOMPARE(panel->currentIndex(), 0);
    }
    QStringList previewed;
    for (int row = 0; row < list->model()->rowCount(); ++row) {
        const QModelIndex index = list->model()->index(row, 0);
        // The first by a click, as a user does; the others by the keyboard's
        // current row.
        if (row == 0)
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(index).center());
        else
            list->setCurrentIndex(index);
        QVERIFY(panel->viewsThread()->isBusy());
        QTRY_VERIFY(!panel->viewsThread()->isBusy());
        QCOMPARE(panel->currentWidget(), panel->codePreview());
        const QStringList paths = panel->codePreview()->filePaths();
        QCOMPARE(paths.size(), 8);
        for (const QString &path : paths)
            QCOMPARE(masked(panel->codePreview()->fileText(path), root), masked(readText(root + '/' + path), root));
        previewed += paths;
    }
    // Between them, the previews hold exactly the files Generate wrote.
    const QStringList files = filesBelow(root);
    QCOMPARE(sorted(previewed), files);

    // The comparison equals tablesmith-cli --check, over a changed line, a
    // file gone, a file the schema no longer gives, a file whose banner
    // date alone differs, and a file of the user's own.
    const QString changed = files.at(0);
    QStringList lines = readText(root + '/' + changed).split('\n');
    const int line = int(lines.indexOf(QRegularExpression(QStringLiteral("#include .*"))));
    QVERIFY(line > 0);
    const QString original = lines.at(line);
    lines[line] = QStringLiteral("#include \"edited.h\"");
    writeText(root + '/' + changed, lines.join('\n').toUtf8());
    QVERIFY(QFile::remove(root + '/' + files.at(1)));
    QVERIFY(QFile::copy(root + '/' + files.at(2), root + QStringLiteral("/code/C++/dao/gonedao.h")));
    const QString mine = root + QStringLiteral("/code/C++/dao/notes.txt");
    writeText(mine, "mine\n");
    // Gone again whatever happens: the next window's Generate would ask about it.
    const auto removeMine = qScopeGuard([&mine] { QFile::remove(mine); });
    const QRegularExpression date(QStringLiteral("\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d"));
    writeText(root + '/' + files.at(3), readText(root + '/' + files.at(3)).replace(date, "01/01/2001 00:00:00").toUtf8());

    const CliResult check = runCli(serverArguments(QStringLiteral("rw_rental")) + QStringList{"--check", "-o", root});
    QCOMPARE(check.exitCode, 1);
    // In path order, then the user's, the stale ones last.
    QCOMPARE(checkLines(check.out), (QStringList{"changed: " + changed, "new: " + files.at(1),
                                                 QStringLiteral("not Tablesmith's: code/C++/dao/notes.txt"),
                                                 QStringLiteral("stale: code/C++/dao/gonedao.h")}));

    child<QAction>(window, "actionCompare")->trigger();
    QCOMPARE(panel->currentWidget(), panel->compareView());
    QTRY_VERIFY(!panel->viewsThread()->isBusy());
    QCOMPARE(panel->compareView()->differences(), checkLines(check.out));

    // The changed file's diff names the line, both ways.
    child<QListWidget>(window, "compareList")->setCurrentRow(0);
    const QString diff = panel->compareView()->diffText();
    QVERIFY2(diff.startsWith("--- a/" + changed + "\n+++ b/" + changed + "\n@@ "), qPrintable(diff));
    QVERIFY2(diff.contains("\n-#include \"edited.h\"\n+" + original + "\n"), qPrintable(diff));
    QVERIFY2(!diff.contains(QLatin1String("Generated by")), qPrintable(diff));
    child<QListWidget>(window, "compareList")->setCurrentRow(2);
    QVERIFY2(panel->compareView()->diffText().startsWith("Tablesmith did not write " + mine + ": Generate will refuse"),
             qPrintable(panel->compareView()->diffText()));

    // Export Diagram, the diagram never drawn: it is drawn, and then the file
    // is asked for.
    QVERIFY(!panel->diagramView()->hasDiagram());
    QTemporaryDir dir;
    answerNextFileDialog(dir.filePath(QStringLiteral("relations.svg")));
    child<QAction>(window, "actionExportDiagram")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(logLines(window).constLast(), "Diagram exported to: " + dir.filePath("relations.svg"), 30000);
    QCOMPARE(panel->currentWidget(), panel->diagramView());
    QCOMPARE(readText(dir.filePath("relations.svg")).toUtf8(), panel->diagramView()->svg());
}

void TestInspect::viewsReadLikeGenerate()
{
    // Through bench/delayproxy.py (no delay), which counts the round trips
    // and saves its counts as each connection closes: each action runs in a
    // window of its own, counted once the window and its connections are
    // gone. Each view reads the schema of 300 tables with as few round trips
    // as Generate does, field types in one batch, not one per table.
    const MessageCapture developerLines;
    const TemporaryOutputFolder dir;
    const QString stats = dir.filePath(QStringLiteral("stats.json"));
    QProcess proxy;
    const QString port = startDelayProxy(&proxy, {"--delay-ms", "0", "--stats", stats, "--lifetime", "300"});
    QVERIFY(!port.isEmpty());
    const auto counts = [&stats] { return QJsonDocument::fromJson(readText(stats).toUtf8()).object(); };
    // Connect and Select All, then `action`; the round trips of it all.
    const auto roundTrips = [&](const std::function<void(Tablesmith &, InspectionPanel *)> &action, int *trips) {
        const int before = counts().value("round_trips").toInt();
        const int connectionsBefore = counts().value("connections").toInt();
        {
            Tablesmith window;
            window.show();
            fillForm(window, QStringLiteral("big_chain"), TestServer::settings().user, TestServer::settings().password,
                     QStringLiteral("127.0.0.1"), port);
            click(window, "btConnect");
            click(window, "btSelectAll");
            auto *panel = child<InspectionPanel>(window, "viewTabs");
            QTRY_VERIFY(!panel->viewsThread()->isBusy());
            if (action)
                action(window, panel);
            QTRY_VERIFY_WITH_TIMEOUT(!window.isRunning() && !panel->viewsThread()->isBusy(), 60000);
        }
        // The proxy writes its counts as a connection closes: until the
        // window's first one has, the file says nothing of them.
        QTRY_VERIFY(counts().value("connections").toInt() > connectionsBefore
                    && counts().value("closed").toInt() == counts().value("connections").toInt());
        *trips = counts().value("round_trips").toInt() - before;
    };
    int connect = 0;
    roundTrips({}, &connect);
    int generate = 0;
    roundTrips([](Tablesmith &window, InspectionPanel *) { click(window, "btGenerate"); }, &generate);
    int relations = 0;
    roundTrips([](Tablesmith &window, InspectionPanel *panel) {
        // Two tables to draw; the schema is read whole all the same.
        click(window, "btSelectNone");
        auto *model = child<QListView>(window, "listViewSource")->model();
        for (int row : {0, 1})
            model->setData(model->index(row, 0), Qt::Checked, Qt::CheckStateRole);
        panel->setCurrentWidget(panel->diagramView());
        QTRY_VERIFY(panel->diagramView()->hasDiagram());
    }, &relations);
    int preview = 0;
    roundTrips([](Tablesmith &, InspectionPanel *panel) {
        panel->previewTable(QStringLiteral("t0001"), true);
        QTRY_VERIFY(!panel->codePreview()->filePaths().isEmpty());
    }, &preview);
    int compare = 0;
    roundTrips([](Tablesmith &window, InspectionPanel *) { child<QAction>(window, "actionCompare")->trigger(); },
               &compare);
    if (QTest::currentTestFailed())
        return;
    for (int *action : {&generate, &relations, &preview, &compare})
        *action -= connect;
    const QString all = QStringLiteral("connect %1, generate %2, relations %3, preview %4, compare %5")
                                .arg(connect).arg(generate).arg(relations).arg(preview).arg(compare);
    QVERIFY2(generate > 0 && generate < 30, qPrintable(all));
    QVERIFY2(relations > 0 && relations <= generate && preview > 0 && preview <= generate && compare > 0
                     && compare <= generate,
             qPrintable(all));
    qInfo("round trips: %s", qPrintable(all));
}

void TestInspect::viewsApplyProject_data()
{
    // Each fixture project opened in the window: Generate writes with its
    // rules, and Preview, Compare and Relations show the same.
    QTest::addColumn<QString>("project");
    QTest::addColumn<QStringList>("classes"); // "table: class" shown under the table's name
    QTest::addColumn<QStringList>("dashed"); // the edges drawn dashed, "source -> target"
    QTest::newRow("declared relations")
            << "rl_blog" << QStringList()
            << QStringList{"comments -> posts", "comments -> users", "order_lines -> orders", "orders -> order_lines",
                           "orders -> users", "post_tags -> posts", "post_tags -> tags", "posts -> comments",
                           "posts -> post_tags", "posts -> users", "tags -> post_tags", "user_profiles -> users",
                           "users -> comments", "users -> orders", "users -> posts", "users -> user_profiles"};
    QTest::newRow("names and left-out columns")
            << "rl_prefixed" << QStringList{"llx_c_pays: C_pays", "llx_societe: Company", "wp_comments: Comments",
                                            "wp_posts: Posts", "wp_users: Users"}
            << QStringList();
    QTest::newRow("a getter per key") << "rl_keys" << QStringList() << QStringList();
    QTest::newRow("types") << "rl_types" << QStringList() << QStringList();
}

void TestInspect::viewsApplyProject()
{
    QFETCH(QString, project);
    QFETCH(QStringList, classes);
    QFETCH(QStringList, dashed);
    // Beside a copy of the project: Generate writes into its folder.
    QTemporaryDir dir;
    const QString path = dir.filePath(project + QStringLiteral(".tablesmith.ini"));
    QVERIFY(QFile::copy(qEnvironmentVariable("TABLESMITH_SOURCE_DIR") + "/tests/fixtures/" + project + ".tablesmith.ini",
                        path));
    Tablesmith window;
    window.show();
    emit window.findChild<ProjectMenu *>()->openRequested(path);
    connectWindow(window, project);
    click(window, "btGenerate");
    QVERIFY2(logLines(window).constLast().startsWith(QLatin1String("Finished in ")), qPrintable(logLines(window).join('\n')));
    auto *panel = child<InspectionPanel>(window, "viewTabs");
    auto *list = child<QListView>(window, "listViewSource");
    QStringList previewed;
    for (int row = 0; row < list->model()->rowCount(); ++row) {
        panel->previewTable(list->model()->index(row, 0).data().toString(), true);
        QTRY_VERIFY(!panel->viewsThread()->isBusy() && !panel->codePreview()->filePaths().isEmpty());
        for (const QString &file : panel->codePreview()->filePaths())
            QCOMPARE(masked(panel->codePreview()->fileText(file), dir.path()), masked(readText(dir.filePath(file)), dir.path()));
        previewed += panel->codePreview()->filePaths();
    }
    QCOMPARE(sorted(previewed), filesBelow(dir.path()));
    child<QAction>(window, "actionCompare")->trigger();
    QTRY_VERIFY(!panel->viewsThread()->isBusy());
    QCOMPARE(panel->compareView()->differences(), QStringList());
    QVERIFY2(child<QLabel>(window, "compareStatus")->text().endsWith("Generate would change nothing."),
             qPrintable(child<QLabel>(window, "compareStatus")->text()));

    panel->setCurrentWidget(panel->diagramView());
    QTRY_VERIFY(panel->diagramView()->hasDiagram());
    const Drawn drawn = readBack(panel->lastDiagram().dot);
    QCOMPARE(drawn.classes, classes);
    QCOMPARE(drawn.dashed, dashed);
}

void TestInspect::neighbourhoodOf_data()
{
    QTest::addColumn<QStringList>("centre");
    QTest::addColumn<int>("distance");
    QTest::addColumn<QStringList>("tables"); // sorted
    QTest::newRow("a ring, one link") << QStringList{"ring_1"} << 1 << QStringList{"ring_1", "ring_2", "ring_3"};
    QTest::newRow("a ring, two links")
            << QStringList{"ring_1"} << 2 << QStringList{"hub", "ring_1", "ring_2", "ring_3", "tail_2"};
    QTest::newRow("the hub") << QStringList{"hub"} << 1
                             << QStringList{"hub", "outside", "ring_3", "self_tree", "spoke_a", "spoke_b", "spoke_c",
                                            "spoke_d", "spoke_e", "spoke_f", "tail_1"};
    QTest::newRow("names in two cases") << QStringList{"leaf"} << 2 << QStringList{"Leaf", "leaf", "tail_1"};
    QTest::newRow("a pair, farther than it reaches") << QStringList{"twin_p"} << 5 << QStringList{"twin_p", "twin_q"};
    QTest::newRow("two tables, a key to a unique key")
            << QStringList{"mutual_x", "uses_nokey"} << 1 << QStringList{"mutual_x", "mutual_y", "nokey", "uses_nokey"};
    QTest::newRow("a key into another schema") << QStringList{"outside"} << 1 << QStringList{"hub", "outside"};
}

void TestInspect::neighbourhoodOf()
{
    // The tables within N links, whichever way the keys go: in the code
    // model, and drawn by the Relations tab for the tables selected in the
    // list, ticked or not.
    QFETCH(QStringList, centre);
    QFETCH(int, distance);
    QFETCH(QStringList, tables);
    const CodeModel model(QStringLiteral("lk_links"));
    QCOMPARE(sorted(neighbourhood(model.generator, centre, distance)), tables);

    Tablesmith window;
    window.show();
    connectWindow(window, QStringLiteral("lk_links"), {});
    auto *panel = child<InspectionPanel>(window, "viewTabs");
    auto *view = panel->diagramView();
    panel->setCurrentWidget(view);
    view->setDistance(distance);
    view->setNeighbourhoodShown(true);
    auto *list = child<QListView>(window, "listViewSource");
    for (int row = 0; row < list->model()->rowCount(); ++row) {
        const QModelIndex index = list->model()->index(row, 0);
        if (centre.contains(index.data().toString()))
            list->selectionModel()->select(index, QItemSelectionModel::Select);
    }
    QTRY_VERIFY2(view->hasDiagram() && !panel->viewsThread()->isBusy(),
                 qPrintable(child<QLabel>(window, "diagramStatus")->text()));
    QCOMPARE(sorted(panel->lastDiagram().tables.values()), tables);
    QCOMPARE(panel->lastDiagram().tableCount, tables.size());
}

QTEST_MAIN(TestInspect)
#include "tst_inspect.moc"
