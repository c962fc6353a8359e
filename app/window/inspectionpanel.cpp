#include "app/window/inspectionpanel.h"

#include "app/window/codepreview.h"
#include "app/window/compareview.h"
#include "app/window/diagramview.h"
#include "engine/schemathread.h"
#include "app/tablemodel.h"

#include <QBoxLayout>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QItemSelectionModel>
#include <QListView>
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
    connect(m_compare, &CompareView::compareRequested, this, &InspectionPanel::compareWithOutputFolder);
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
    if (m_list->selectionModel()) {
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
    const QStringList tables = diagramTables();
    if (tables.isEmpty()) {
        m_diagram->setMessage(tr("Tick tables to see how they are linked; the diagram follows the ticks and the "
                                 "filter."));
        return;
    }
    m_diagram->setStatus(tr("Drawing the relations of %n tables...", "", int(tables.size())));
    const bool withEntities = !m_switches || m_switches().object;
    m_views->requestDiagram(tables, withEntities, [this, epoch = m_schemaEpoch](const DiagramResult &result) {
        if (epoch != m_schemaEpoch)
            return;
        if (result.svg.isEmpty()) {
            m_diagram->setMessage(result.error.isEmpty() ? tr("Nothing to draw.") : result.error);
            if (std::exchange(m_exportWhenDrawn, false))
                m_log->appendPlainText(tr("No diagram to export: %1")
                                               .arg(result.error.isEmpty() ? tr("nothing to draw.") : result.error));
            return;
        }
        QString status = tr("%n tables", "", result.tableCount) + QStringLiteral(", ")
                + tr("%n relations", "", result.relationCount)
                + (result.withoutLinked ? tr("; the linked tables that are not ticked are left out (too many)")
                                        : tr("; faded: linked but not ticked"))
                + tr("; \u26a0: see the tooltip. Ctrl+wheel zooms.");
        if (!result.error.isEmpty())
            status += QLatin1Char('\n') + result.error;
        m_diagram->setDiagram(result.svg, result.notes, status);
        // Asked once the drawing is shown, outside the service's call.
        if (std::exchange(m_exportWhenDrawn, false))
            QTimer::singleShot(0, this, &InspectionPanel::exportDiagram);
    });
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
