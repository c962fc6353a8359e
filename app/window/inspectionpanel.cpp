#include "app/window/inspectionpanel.h"

#include "app/window/codepreview.h"
#include "app/window/compareview.h"
#include "app/window/diagramview.h"
#include "app/window/ruledialogs.h"
#include "engine/schemathread.h"
#include "project/projectrules.h"
#include "app/tablemodel.h"

#include <QBoxLayout>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QItemSelectionModel>
#include <QListView>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QScrollBar>
#include <QShortcut>
#include <QTimer>

#include <utility>

InspectionPanel::InspectionPanel(QPlainTextEdit *log, QBoxLayout *layout, TableModel *tables, QListView *list,
                                 QWidget *parent)
    : QTabWidget(parent)
    , m_log(log)
    , m_tables(tables)
    , m_list(list)
    , m_views(new SchemaThread(QStringLiteral("views"), this))
    , m_diagram(new DiagramView(this))
    , m_preview(new CodePreview(this))
    , m_compare(new CompareView(this))
    , m_diagramTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("viewTabs"));
    delete layout->replaceWidget(log, this);
    // Long lines (paths) scroll instead of being cut or broken.
    log->setLineWrapMode(QPlainTextEdit::NoWrap);
    // The sideways scroll bar appears once a long line is in and takes the
    // height of the last line: a log shown to its end stays at its end.
    QScrollBar *vertical = log->verticalScrollBar();
    connect(vertical, &QScrollBar::valueChanged, this, [this, vertical](int value) {
        m_logAtEnd = value == vertical->maximum();
    });
    connect(vertical, &QScrollBar::rangeChanged, this, [this, vertical](int, int maximum) {
        if (m_logAtEnd)
            vertical->setValue(maximum);
    });
    addTab(log, tr("Log"));
    addTab(m_diagram, tr("Relations"));
    addTab(m_preview, tr("Preview"));
    addTab(m_compare, tr("Compare"));
    m_diagram->setObjectName(QStringLiteral("relationsView"));
    m_preview->setObjectName(QStringLiteral("previewView"));
    m_compare->setObjectName(QStringLiteral("compareView"));

    // Ctrl+1 to Ctrl+4 show the tabs.
    for (int tab = 0; tab < count(); ++tab) {
        auto *shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + tab)), this);
        connect(shortcut, &QShortcut::activated, this, [this, tab] { setCurrentIndex(tab); });
        setTabToolTip(tab, tr("Ctrl+%1").arg(tab + 1));
    }

    // Ticking through a list redraws once, not once per tick.
    m_diagramTimer->setSingleShot(true);
    m_diagramTimer->setInterval(250);
    connect(m_diagramTimer, &QTimer::timeout, this, &InspectionPanel::requestDiagram);
    connect(this, &QTabWidget::currentChanged, this, &InspectionPanel::updateCurrentView);
    connect(m_tables, &QAbstractItemModel::dataChanged, this, &InspectionPanel::tablesChanged);
    connect(m_tables, &QAbstractItemModel::modelReset, this, &InspectionPanel::tablesChanged);
    connect(m_list, &QAbstractItemView::clicked, this, [this](const QModelIndex &index) {
        // A click on the check box ticks; it does not ask for the preview tab.
        const bool ticked = index.data(Qt::CheckStateRole) != m_pressedCheckState;
        previewTable(index.data(Qt::DisplayRole).toString(), !ticked);
    });
    m_list->viewport()->installEventFilter(this);
    // Several tables may be the middle of a neighbourhood.
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    connect(m_compare, &CompareView::compareRequested, this, &InspectionPanel::compareWithOutputFolder);
    connect(m_diagram, &DiagramView::neighbourhoodChanged, this, [this] {
        m_diagramDirty = true;
        updateCurrentView();
    });
    connect(m_diagram, &DiagramView::menuRequested, this, [this](const QPoint &position, const QPoint &global) {
        if (QMenu *menu = diagramMenu(position)) {
            menu->exec(global);
            delete menu;
        }
    });
}

bool InspectionPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_list->viewport() && event->type() == QEvent::MouseButtonPress) {
        const QPoint position = static_cast<QMouseEvent *>(event)->position().toPoint();
        m_pressedCheckState = m_list->indexAt(position).data(Qt::CheckStateRole);
    }
    return QTabWidget::eventFilter(watched, event);
}

void InspectionPanel::setConnected(const ConnectionSettings &settings, GenerationRun::CatalogReader reader)
{
    m_connected = true;
    m_views->setConnection(settings, reader);
    m_previewTable.clear();
    m_preview->setMessage(tr("Click a table in the list to see the files Generate would write for it."));
    m_compare->setMessage(tr("Compare the ticked tables' code with what the output folder holds, writing nothing."));
    // The view has its selection model once the model is set on it. The
    // current row follows the keyboard (and a press on a check box), which
    // loads the preview without leaving the tab shown.
    disconnect(m_currentConnection);
    disconnect(m_selectionConnection);
    if (m_list->selectionModel()) {
        m_selectionConnection = connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
            if (m_diagram->neighbourhoodShown()) {
                m_diagramDirty = true;
                updateCurrentView();
            }
        });
        m_currentConnection = connect(m_list->selectionModel(), &QItemSelectionModel::currentChanged, this,
                                      [this](const QModelIndex &current) {
                                          if (current.isValid())
                                              previewTable(current.data(Qt::DisplayRole).toString(), false);
                                      });
    }
    tablesChanged();
}

void InspectionPanel::setConnecting(const QString &host)
{
    setDisconnected();
    const QString text = tr("Connecting to %1...").arg(host);
    m_diagram->setMessage(text);
    m_preview->setMessage(text);
    m_compare->setMessage(text);
}

void InspectionPanel::setDisconnected()
{
    ++m_schemaEpoch;
    m_exportWhenDrawn = false;
    m_diagramTimer->stop();
    m_compare->setBusy(false);
    m_connected = false;
    m_previewTable.clear();
    m_diagram->setMessage(tr("Connect and tick tables to see how they are linked."));
    m_preview->setMessage(tr("Connect, then click a table in the list to see the files Generate would write for it."));
    m_compare->setMessage(tr("Connect first: the comparison reads the schema."));
}

void InspectionPanel::setCatalogReader(GenerationRun::CatalogReader reader)
{
    m_views->setCatalogReader(reader);
}

void InspectionPanel::setRules(const SchemaRules &rules)
{
    m_views->setRules(rules);
    rulesChanged();
}

void InspectionPanel::checkRules(const SchemaRules &rules, std::function<void(const QStringList &)> done)
{
    m_views->requestRulesCheck(rules, [this, epoch = m_schemaEpoch, done = std::move(done)](const QStringList &problems) {
        done(epoch == m_schemaEpoch ? problems
                                    : QStringList{tr("The connection changed meanwhile: try again.")});
    });
}

void InspectionPanel::rulesChanged()
{
    m_diagramDirty = true;
    m_previewDirty = true;
    updateCurrentView();
}

void InspectionPanel::schemaMayHaveChanged()
{
    m_views->reload();
    m_diagramDirty = true;
    m_previewDirty = true;
    updateCurrentView();
}

QStringList InspectionPanel::diagramTables() const
{
    QStringList tables;
    for (int row = 0; row < m_tables->rowCount(); ++row) {
        const QModelIndex index = m_tables->index(row, 0);
        if (m_tables->isShown(row) && index.data(Qt::CheckStateRole).toInt() == Qt::Checked)
            tables.append(index.data(Qt::DisplayRole).toString());
    }
    return tables;
}

QStringList InspectionPanel::selectedTables() const
{
    QStringList tables;
    if (m_list->selectionModel() && m_list->model() == m_tables) {
        for (const QModelIndex &index : m_list->selectionModel()->selectedRows())
            tables.append(index.data(Qt::DisplayRole).toString());
    }
    return tables;
}

void InspectionPanel::tablesChanged()
{
    // The preview says when another ticked table keeps its files from being
    // written.
    m_diagramDirty = true;
    m_previewDirty = true;
    if (currentWidget() == m_diagram)
        m_diagramTimer->start();
    else if (currentWidget() == m_preview)
        requestPreview();
}

void InspectionPanel::switchesChanged()
{
    m_diagramDirty = true;
    m_previewDirty = true;
    updateCurrentView();
}

void InspectionPanel::updateCurrentView()
{
    if (currentWidget() == m_diagram && m_diagramDirty)
        m_diagramTimer->start();
    else if (currentWidget() == m_preview && m_previewDirty)
        requestPreview();
}

void InspectionPanel::requestDiagram()
{
    m_diagramDirty = false;
    if (!m_connected) {
        m_diagram->setMessage(tr("Connect and tick tables to see how they are linked."));
        return;
    }
    DiagramRequest request;
    request.shown = diagramTables();
    request.withEntities = !m_switches || m_switches().object;
    const bool around = m_diagram->neighbourhoodShown();
    if (around) {
        request.centre = selectedTables();
        request.distance = m_diagram->distance();
        if (request.centre.isEmpty()) {
            m_diagram->setMessage(tr("Select tables in the list (or right-click one in the diagram: Show "
                                     "Neighbourhood) to draw them with the tables within %n links.",
                                     "", request.distance));
            return;
        }
        m_diagram->setStatus(tr("Drawing the tables within %n links of %1...", "", request.distance)
                                     .arg(request.centre.join(QStringLiteral(", "))));
    } else if (request.shown.isEmpty()) {
        m_diagram->setMessage(tr("Tick tables to see how they are linked; the diagram follows the ticks and the "
                                 "filter."));
        return;
    } else {
        m_diagram->setStatus(tr("Drawing the relations of %n tables...", "", int(request.shown.size())));
    }
    m_views->requestDiagram(request, [this, around, epoch = m_schemaEpoch](const DiagramResult &result) {
        if (epoch != m_schemaEpoch)
            return;
        m_lastDiagram = result;
        if (result.svg.isEmpty()) {
            m_diagram->setMessage(result.error.isEmpty() ? tr("Nothing to draw.") : result.error);
            if (std::exchange(m_exportWhenDrawn, false))
                m_log->appendPlainText(tr("No diagram to export: %1")
                                               .arg(result.error.isEmpty() ? tr("nothing to draw.") : result.error));
            return;
        }
        QString status = tr("%n tables", "", result.tableCount) + QStringLiteral(", ")
                + tr("%n relations", "", result.relationCount)
                + (around ? tr(" within %n links", "", m_diagram->distance()) : tr("; faded: linked but not ticked"))
                + tr("; dashed: declared by the project");
        if (!result.suggestions.isEmpty())
            status += tr("; dotted: %n suggested (right-click to accept)", "", int(result.suggestions.size()));
        if (result.layout != QLatin1String("dot"))
            status += tr("; many tables: placed by force, not in ranks");
        status += tr("; \u26a0: see the tooltip. Ctrl+wheel zooms.");
        if (!result.error.isEmpty())
            status += QLatin1Char('\n') + result.error;
        QHash<QString, QString> evidence;
        for (auto suggestion = result.suggestions.cbegin(); suggestion != result.suggestions.cend(); ++suggestion) {
            evidence.insert(suggestion.key(), tr("Suggested: %1\n%2\nRight-click to accept it into the project.")
                                                      .arg(suggestion->keyLine(), suggestion->evidence));
        }
        m_diagram->setDiagram(result.svg, result.notes, status, evidence);
        // Asked once the drawing is shown, outside the service's call.
        if (std::exchange(m_exportWhenDrawn, false))
            QTimer::singleShot(0, this, &InspectionPanel::exportDiagram);
    });
}

QMenu *InspectionPanel::diagramMenu(const QPoint &position)
{
    if (!m_diagram->hasDiagram())
        return nullptr;
    const DiagramResult &diagram = m_lastDiagram;
    auto *menu = new QMenu(this);
    const auto add = [menu](const QString &text, const char *name, auto slot) {
        QAction *action = menu->addAction(text);
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, menu, slot);
        return action;
    };
    const auto acceptAction = [&](const SuggestedRelation &suggestion) {
        add(tr("Accept Suggestion: %1").arg(suggestion.keyLine()), "actionAcceptSuggestion",
            [this, suggestion] { acceptSuggestion(suggestion); });
    };
    const QString id = m_diagram->elementAt(position, diagram.tables.keys());
    if (!id.isEmpty()) {
        const QString table = diagram.tables.value(id);
        const QStringList rows = diagram.rows.value(id);
        const QString column = rows.value(int(m_diagram->heightIn(id, position) * rows.size()));
        add(tr("Rename Class..."), "actionRenameClass", [this, table] { renameClass(table); });
        add(column.isEmpty() ? tr("Add Relation...") : tr("Add Relation from %1...").arg(column), "actionAddRelation",
            [this, table, column] { addRelation(table, column); });
        add(tr("Show Neighbourhood"), "actionShowNeighbourhood", [this, table] { showNeighbourhood(table); });
        QList<SuggestedRelation> touching;
        for (const SuggestedRelation &suggestion : diagram.suggestions) {
            if (suggestion.table == table || suggestion.referencedTable == table)
                touching.append(suggestion);
        }
        if (!touching.isEmpty())
            menu->addSeparator();
        // A table many point to would fill the screen.
        const qsizetype listed = qMin<qsizetype>(touching.size(), 12);
        for (qsizetype i = 0; i < listed; ++i)
            acceptAction(touching.at(i));
        if (touching.size() > listed)
            menu->addAction(tr("%n more suggested: right-click their lines", "", int(touching.size() - listed)))
                    ->setEnabled(false);
        return menu;
    }
    const QString edge = m_diagram->edgeAt(position);
    if (diagram.suggestions.contains(edge)) {
        acceptAction(diagram.suggestions.value(edge));
        return menu;
    }
    delete menu;
    return nullptr;
}

void InspectionPanel::renameClass(const QString &table)
{
    TableOutline outline{table, {}, {}, {}};
    for (const TableOutline &each : std::as_const(m_lastDiagram.outline)) {
        if (each.name == table)
            outline = each;
    }
    RenameClassDialog dialog(outline, m_ruleEditor, this);
    dialog.setObjectName(QStringLiteral("renameClassDialog"));
    dialog.exec();
}

void InspectionPanel::addRelation(const QString &table, const QString &column)
{
    AddRelationDialog dialog(table, column, m_lastDiagram.outline, m_ruleEditor, this);
    dialog.setObjectName(QStringLiteral("addRelationDialog"));
    dialog.exec();
}

void InspectionPanel::acceptSuggestion(const SuggestedRelation &suggestion)
{
    const QString line = suggestion.keyLine();
    m_ruleEditor({relationsSectionName(), line, QString()}, [this, line](const QStringList &problems) {
        if (problems.isEmpty())
            return;
        for (const QString &problem : problems)
            m_log->appendPlainText(problem);
        m_log->appendPlainText(tr("Suggestion not accepted: %1").arg(line));
    });
}

void InspectionPanel::showNeighbourhood(const QString &table)
{
    for (int row = 0; row < m_tables->rowCount(); ++row) {
        const QModelIndex index = m_tables->index(row, 0);
        if (index.data(Qt::DisplayRole).toString() == table && m_list->selectionModel()) {
            m_list->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect);
            break;
        }
    }
    m_diagram->setNeighbourhoodShown(true);
    m_diagramDirty = true;
    updateCurrentView();
}

void InspectionPanel::previewTable(const QString &table, bool show)
{
    if (table.isEmpty())
        return;
    m_previewTable = table;
    m_previewDirty = true;
    if (show && currentWidget() == m_log)
        setCurrentWidget(m_preview);
    updateCurrentView();
}

void InspectionPanel::showLog()
{
    setCurrentWidget(m_log);
}

void InspectionPanel::requestPreview()
{
    m_previewDirty = false;
    if (!m_connected || m_previewTable.isEmpty())
        return;
    const GenerationRun::Switches switches = m_switches ? m_switches() : GenerationRun::Switches();
    m_preview->setMessage(tr("Generating the files of %1 in memory...").arg(m_previewTable));
    m_views->requestPreview(m_previewTable, switches, [this, epoch = m_schemaEpoch](const PreviewResult &result) {
        if (epoch != m_schemaEpoch)
            return;
        if (result.files.isEmpty() && !result.error.isEmpty())
            m_preview->setMessage(result.error);
        else
            m_preview->setFiles(result);
    });
}

void InspectionPanel::compareWithOutputFolder()
{
    setCurrentWidget(m_compare);
    if (!m_connected) {
        m_compare->setMessage(tr("Connect first: the comparison reads the schema."));
        return;
    }
    const QString root = m_outputRoot ? m_outputRoot() : QString();
    const GenerationRun::Switches switches = m_switches ? m_switches() : GenerationRun::Switches();
    m_compare->setBusy(true);
    m_views->requestComparison(root, m_tables->checkedTables(), switches, m_application && m_application(),
                                 [this, epoch = m_schemaEpoch](const ComparisonResult &result) {
        if (epoch != m_schemaEpoch)
            return;
        m_compare->setBusy(false);
        m_compare->setResult(result);
    });
}

void InspectionPanel::exportDiagram()
{
    if (!m_diagram->hasDiagram()) {
        setCurrentWidget(m_diagram);
        if (!m_connected) {
            m_log->appendPlainText(tr("No diagram to export: connect and tick tables first."));
        } else if (diagramTables().isEmpty()) {
            m_log->appendPlainText(tr("No diagram to export: tick the tables to draw."));
        } else {
            // Drawn now rather than after the tab's pause; the file dialog follows.
            m_exportWhenDrawn = true;
            m_diagramTimer->stop();
            requestDiagram();
        }
        return;
    }
    QString filter = tr("SVG image (*.svg)");
    const QString path = QFileDialog::getSaveFileName(this, tr("Export Diagram"), QDir::homePath() + "/relations.svg",
                                                      tr("SVG image (*.svg);;PNG image (*.png)"), &filter);
    if (path.isEmpty())
        return;
    QString target = path;
    if (QFileInfo(target).suffix().isEmpty())
        target += filter.contains(QLatin1String("png")) ? QStringLiteral(".png") : QStringLiteral(".svg");
    exportDiagramTo(target);
}

bool InspectionPanel::exportDiagramTo(const QString &path)
{
    const QString native = QDir::toNativeSeparators(path);
    const QString suffix = QFileInfo(path).suffix().toLower();
    QString error;
    if (!m_diagram->hasDiagram()) {
        error = tr("there is no diagram");
    } else if (suffix == QLatin1String("png")) {
        const QImage image = m_diagram->image(2.0);
        QImageWriter writer(path, "png");
        if (image.isNull())
            error = tr("there is not enough memory for the image; export it as SVG");
        else if (!writer.write(image))
            error = writer.errorString();
    } else if (suffix == QLatin1String("svg")) {
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(m_diagram->svg()) != m_diagram->svg().size()
            || !file.commit())
            error = file.errorString();
    } else {
        error = tr("the file name must end in .svg or .png");
    }
    if (!error.isEmpty()) {
        m_log->appendPlainText(tr("Cannot export the diagram to %1: %2").arg(native, error));
        return false;
    }
    m_log->appendPlainText(tr("Diagram exported to: %1").arg(native));
    return true;
}
