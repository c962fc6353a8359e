#include "app/tablesmith.h"
#include "ui_tablesmith.h"

#include "app/window/connectionsecuritydialog.h"
#include "engine/generationrun.h"
#include "app/window/inspectionpanel.h"
#include "connection/mysqlconnection.h"
#include "app/window/passwordkeyring.h"
#include "app/window/projectmenu.h"
#include "engine/schemathread.h"
#include "app/tableitem.h"
#include "app/tablemodel.h"
#include "project/usersettings.h"

#include <QAction>
#include <QApplication>
#include <QBoxLayout>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>

namespace {

// Beside the keys UserSettings keeps, in the same file.
const QString serverTableOrderKey = QStringLiteral("window/serverTableOrder");

} // namespace

Tablesmith::Tablesmith(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::Tablesmith)
{
    ui->setupUi(this);
    m_tableModel = new TableModel(&m_tableItems, this);
    connect(ui->btSelectAll, &QPushButton::clicked, m_tableModel, &TableModel::selectAll);
    connect(ui->btSelectNone, &QPushButton::clicked, m_tableModel, &TableModel::selectNone);
    connect(ui->tableFilter, &QLineEdit::textChanged, this, &Tablesmith::applyTableFilter);
    m_inspection = new InspectionPanel(ui->textLog, ui->verticalLayout_3, m_tableModel, ui->listViewSource, this);
    m_inspection->setSwitchesSource([this] { return switches(); });
    m_inspection->setApplicationSource([this] { return ui->chkApplication->isChecked(); });
    m_inspection->setOutputRootSource([this] { return outputFolder().path; });
    m_inspection->setRuleEditor([this](const RuleChange &change, std::function<void(const QStringList &)> answer) {
        changeRule(change, std::move(answer));
    });
    for (QCheckBox *box : {ui->chkDao, ui->chkObject, ui->chkModel, ui->chkCustomEditor})
        connect(box, &QCheckBox::toggled, m_inspection, &InspectionPanel::switchesChanged);
    createMenus();
    createRunControls();
    // Return in any field of the form connects, as the button does.
    for (QLineEdit *field : {ui->serverAddress, ui->schema, ui->userName, ui->password, ui->port})
        connect(field, &QLineEdit::returnPressed, ui->btConnect, &QPushButton::click);

    const UserSettings settings;
    const UserSettings::Form form = settings.form();
    ui->serverAddress->setText(form.host);
    ui->schema->setText(form.schema);
    ui->userName->setText(form.user);
    ui->port->setText(form.port);
    // The first start has no remembered place: the form's own size would
    // cut the log's longer lines on any larger screen.
    if (!restoreGeometry(settings.windowGeometry()))
        setGeometry(firstGeometry(screen()->availableGeometry(), size()));
    m_readTableByTable->setChecked(settings.catalogReader() == GenerationRun::CatalogReader::PerTable);
    m_tls = settings.tlsOptions();
    m_rememberPassword->setChecked(settings.rememberPassword());
    offerRememberedPassword();
    m_keepUnchanged->setChecked(settings.keepUnchanged());
}

Tablesmith::~Tablesmith()
{
    // A run still going is cancelled and waited for: it leaves the old tree
    // as it was, and no thread outlives the window.
    m_run.reset();
    saveForm();
    UserSettings().setWindowGeometry(saveGeometry());
    delete ui;
    // The model reads m_tableItems, which is gone before the QWidget base
    // deletes the children; so the model goes first.
    delete m_tableModel;
    qDeleteAll(m_tableItems);
}

QRect Tablesmith::firstGeometry(const QRect &available, const QSize &least)
{
    QRect place(QPoint(), QSize(available.width() * 4 / 5, available.height() * 3 / 4).expandedTo(least));
    place.moveCenter(available.center());
    return place;
}

void Tablesmith::closeEvent(QCloseEvent *event)
{
    if (isRunning())
        m_run->worker()->cancel();
    QWidget::closeEvent(event);
}

void Tablesmith::on_btConnect_clicked()
{
    if (isRunning())
        return;
    // The client library would connect to no schema at all and list nothing.
    if (ui->schema->text().trimmed().isEmpty()) {
        appendLog(tr("Connect refused: the Schema field is empty; name the schema to read."));
        dropConnection();
        return;
    }
    m_host = ui->serverAddress->text();
    appendLog(tr("Establishing connection to: %1").arg(m_host));
    saveForm();

    ConnectionSettings settings;
    settings.host = m_host;
    settings.schema = ui->schema->text();
    settings.user = ui->userName->text();
    settings.password = ui->password->text();
    // Not a number: 0, which leaves the port to the client library.
    settings.port = ui->port->text().toInt(nullptr, 10);
    settings.tls = m_tls;
    if (!m_projectMenu->path().isEmpty())
        settings.socket = m_project.connection.socket;
    m_connectSettings = settings;
    // The views showed the schema that is being replaced.
    m_inspection->setConnecting(m_host);
    setRunning(Running::Connect);
    SchemaWorker *worker = m_run->worker();
    worker->clearCancel();
    m_run->post([worker, settings] { worker->connectToServer(settings); });
}

void Tablesmith::connectFinished(bool opened, const QString &error, const QStringList &tables,
                                 const QString &encryption)
{
    if (m_abandonedConnects > 0) {
        --m_abandonedConnects;
        return;
    }
    setRunning(Running::Nothing);
    // The old rows go whatever the outcome; views are told through a reset
    // so none keeps rows that no longer exist.
    m_tableModel->beginRefill();
    qDeleteAll(m_tableItems);
    m_tableItems.clear();

    if (!opened) {
        m_tableModel->endRefill();
        appendLog(error);
        m_connected = false;
        ui->groupBox->setEnabled(false);
        m_inspection->setDisconnected();
        return;
    }

    appendLog(tr("Connected to: %1").arg(m_host));
    appendLog(serverLine(m_connectSettings));
    appendLog(encryption);
    rememberPassword();
    m_connected = true;
    ui->groupBox->setEnabled(true);

    m_serverTables = tables;
    for (const QString &table : tables)
        m_tableItems.append(new TableItem(table));
    orderTableItems();
    if (!m_projectMenu->path().isEmpty()) {
        const TableChoice choice = chooseTables(m_connectSettings.schema, tables, m_project.tables);
        for (TableItem *item : std::as_const(m_tableItems))
            item->setChecked(choice.tables.contains(item->name()));
        for (const QString &problem : choice.problems)
            appendLog(problem);
    }
    m_tableModel->endRefill();

    ui->listViewSource->setModel(m_tableModel);
    applyTableFilter();
    m_inspection->setConnected(m_connectSettings, catalogReader());
}

void Tablesmith::on_btGenerate_clicked()
{
    if (isRunning())
        return;
    m_inspection->showLog();
    // A run over no table would only empty the output tree.
    if (m_tableModel->checkedTables().isEmpty()) {
        appendLog(tr("Nothing to generate: no table is ticked; the output folder stays as it is."));
        return;
    }
    const OutputFolder folder = outputFolder();
    SchemaWorker::GenerateJob job;
    job.root = folder.path;
    job.outputFolderNote = folder.note;
    job.schema = ui->schema->text();
    job.chosenTables = m_tableModel->checkedTables();
    job.reader = catalogReader();
    job.switches = switches();
    job.application = ui->chkApplication->isChecked();
    job.keepUnchanged = m_keepUnchanged->isChecked();
    job.rules = m_project.rules.schema;
    setRunning(Running::Generate);
    SchemaWorker *worker = m_run->worker();
    worker->clearCancel();
    m_run->post([worker, job] { worker->generate(job); });
}

void Tablesmith::createRunControls()
{
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("runProgress"));
    m_cancel = new QPushButton(tr("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("btCancel"));
    auto *row = new QHBoxLayout;
    row->setObjectName(QStringLiteral("runLayout"));
    row->addWidget(m_progress, 1);
    row->addWidget(m_cancel);
    ui->verticalLayout_3->addLayout(row);
    m_progress->hide();
    m_cancel->hide();
    connect(m_cancel, &QPushButton::clicked, this, &Tablesmith::cancelRun);

    m_run = std::make_unique<SchemaThread>(QStringLiteral("run"));
    SchemaWorker *worker = m_run->worker();
    connect(worker, &SchemaWorker::logLines, this, &Tablesmith::appendLogLines);
    connect(worker, &SchemaWorker::progress, this, &Tablesmith::showProgress);
    connect(worker, &SchemaWorker::connectFinished, this, &Tablesmith::connectFinished);
    connect(worker, &SchemaWorker::generateFinished, this, [this](const QString &interrupted, const QString &closing) {
        if (!interrupted.isEmpty())
            appendLog(interrupted);
        appendLog(closing);
        setRunning(Running::Nothing);
        m_inspection->schemaMayHaveChanged();
    });
    connect(worker, &SchemaWorker::foreignEntries, this, [this, worker](int count) {
        worker->answerForeignEntries(confirmRemoval(count));
    });
}

void Tablesmith::setRunning(Running running)
{
    m_running = running;
    const bool idle = running == Running::Nothing;
    // The keyboard focus goes back where it was once the run is over.
    if (!idle)
        m_focusBeforeRun = QApplication::focusWidget();
    // Changing the form or the choices would not change the run under way.
    ui->groupBox_3->setEnabled(idle);
    ui->btConnect->setEnabled(idle);
    ui->groupBox->setEnabled(idle && m_connected);
    m_readTableByTable->setEnabled(idle);
    m_outputFolder->setEnabled(idle);
    m_saveSequences->setEnabled(idle);
    m_progress->setVisible(!idle);
    m_cancel->setVisible(!idle);
    m_cancel->setEnabled(!idle);
    if (running == Running::Connect) {
        m_progress->setRange(0, 0);
        m_progress->setFormat(tr("Connecting to %1").arg(m_host));
    } else if (running == Running::Generate) {
        m_progress->setRange(0, 0);
        m_progress->setFormat(QString());
    } else if (running == Running::Sequences) {
        m_progress->setRange(0, 0);
        m_progress->setFormat(tr("Reading the sequences of %1").arg(ui->schema->text()));
    }
    if (!idle)
        QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    else if (QGuiApplication::overrideCursor())
        QGuiApplication::restoreOverrideCursor();
    if (idle && m_focusBeforeRun && m_focusBeforeRun->isEnabled())
        m_focusBeforeRun->setFocus();
}

void Tablesmith::cancelRun()
{
    if (m_running == Running::Connect) {
        // The client library cannot be stopped in the middle of a connect:
        // its result is dropped when it comes.
        ++m_abandonedConnects;
        setRunning(Running::Nothing);
        dropConnection();
        appendLog(tr("Cancelled: gave up connecting to %1").arg(m_host));
    } else if (m_running == Running::Generate || m_running == Running::Sequences) {
        // The run stops before its next table; the closing lines follow.
        m_run->worker()->cancel();
        m_cancel->setEnabled(false);
    }
}

void Tablesmith::dropConnection()
{
    m_connected = false;
    m_tableModel->beginRefill();
    qDeleteAll(m_tableItems);
    m_tableItems.clear();
    m_serverTables.clear();
    m_tableModel->endRefill();
    ui->groupBox->setEnabled(false);
    m_inspection->setDisconnected();
}

void Tablesmith::orderTableItems()
{
    // Only the list's order: a run takes the tables in the schema's order.
    if (m_serverTableOrder->isChecked()) {
        QHash<QString, qsizetype> position;
        for (qsizetype i = 0; i < m_serverTables.size(); ++i)
            position.insert(m_serverTables.at(i), i);
        std::stable_sort(m_tableItems.begin(), m_tableItems.end(), [&position](const TableItem *a, const TableItem *b) {
            return position.value(a->name()) < position.value(b->name());
        });
    } else {
        std::stable_sort(m_tableItems.begin(), m_tableItems.end(), [](const TableItem *a, const TableItem *b) {
            return TableModel::naturalLess(a->name(), b->name());
        });
    }
}

void Tablesmith::showProgress(GenerationRun::Stage stage, int done, int total)
{
    if (m_running != Running::Generate)
        return;
    // The text first: a change of value repaints the bar with it.
    m_progress->setFormat(stage == GenerationRun::Stage::Tables ? tr("Tables read: %v of %m")
                                                                : tr("Files written: %v of %m"));
    m_progress->setRange(0, total);
    m_progress->setValue(done);
}

void Tablesmith::appendLogLines(const QStringList &lines)
{
    // One insertion for a bunch of lines (a run over 1,000 tables logs some
    // 7,000): the pane lays out what it shows, not every line as it comes.
    QTextCursor log(ui->textLog->document());
    log.movePosition(QTextCursor::End);
    log.insertText((log.document()->isEmpty() ? QString() : QStringLiteral("\n")) + lines.join(QLatin1Char('\n')));
    ui->textLog->moveCursor(QTextCursor::End);
}

GenerationRun::CatalogReader Tablesmith::catalogReader() const
{
    return m_readTableByTable->isChecked() ? GenerationRun::CatalogReader::PerTable
                                           : GenerationRun::CatalogReader::SchemaWide;
}

GenerationRun::Switches Tablesmith::switches() const
{
    GenerationRun::Switches switches;
    switches.dao = ui->chkDao->isChecked();
    switches.object = ui->chkObject->isChecked();
    switches.model = ui->chkModel->isChecked();
    switches.editor = ui->chkCustomEditor->isChecked();
    return switches;
}

void Tablesmith::createMenus()
{
    auto *menuBar = new QMenuBar(this);
    menuBar->setObjectName(QStringLiteral("menuBar"));
    QMenu *file = menuBar->addMenu(tr("&File"));
    file->setObjectName(QStringLiteral("menuFile"));
    m_outputFolder = file->addAction(tr("&Output Folder..."));
    m_outputFolder->setObjectName(QStringLiteral("actionOutputFolder"));
    connect(m_outputFolder, &QAction::triggered, this, &Tablesmith::chooseOutputFolder);
    QAction *openFolder = file->addAction(tr("Open Output &Folder"));
    openFolder->setObjectName(QStringLiteral("actionOpenOutputFolder"));
    connect(openFolder, &QAction::triggered, this, &Tablesmith::openOutputFolder);
    QAction *compare = file->addAction(tr("&Compare with Output Folder"));
    compare->setObjectName(QStringLiteral("actionCompare"));
    connect(compare, &QAction::triggered, m_inspection, &InspectionPanel::compareWithOutputFolder);
    QAction *exportDiagram = file->addAction(tr("&Export Diagram..."));
    exportDiagram->setObjectName(QStringLiteral("actionExportDiagram"));
    connect(exportDiagram, &QAction::triggered, m_inspection, &InspectionPanel::exportDiagram);
    m_saveSequences = file->addAction(tr("Save &Sequences SQL..."));
    m_saveSequences->setObjectName(QStringLiteral("actionSaveSequencesSql"));
    m_saveSequences->setToolTip(tr("Write the statements that create the sequences the ticked tables' DAOs number "
                                   "new rows from, where the schema lacks them; Tablesmith does not run them"));
    connect(m_saveSequences, &QAction::triggered, this, &Tablesmith::saveSequencesSql);
    file->addSeparator();
    QAction *quit = file->addAction(tr("&Quit"));
    quit->setObjectName(QStringLiteral("actionQuit"));
    quit->setShortcut(QKeySequence::Quit);
    connect(quit, &QAction::triggered, this, &QWidget::close);
    addAction(quit);
    // Open, Save, Save As and the recent projects come first.
    m_projectMenu = new ProjectMenu(file, m_outputFolder, this);
    connect(m_projectMenu, &ProjectMenu::openRequested, this, &Tablesmith::openProject);
    connect(m_projectMenu, &ProjectMenu::saveRequested, this, &Tablesmith::saveProject);

    QMenu *settings = menuBar->addMenu(tr("&Settings"));
    settings->setObjectName(QStringLiteral("menuSettings"));
    m_readTableByTable = settings->addAction(tr("Read the Catalogue &Table by Table"));
    m_readTableByTable->setObjectName(QStringLiteral("actionReadTableByTable"));
    m_readTableByTable->setCheckable(true);
    m_readTableByTable->setToolTip(tr("Read the catalogue with queries for each table (slow on large schemas) "
                                      "instead of a few queries for the whole schema; both give the same files"));
    connect(m_readTableByTable, &QAction::toggled, this, [this](bool perTable) {
        const auto reader = perTable ? GenerationRun::CatalogReader::PerTable : GenerationRun::CatalogReader::SchemaWide;
        UserSettings().setCatalogReader(reader);
        m_inspection->setCatalogReader(reader);
    });
    QAction *security = settings->addAction(tr("Connection &Security..."));
    security->setObjectName(QStringLiteral("actionConnectionSecurity"));
    connect(security, &QAction::triggered, this, &Tablesmith::editConnectionSecurity);
    m_rememberPassword = settings->addAction(tr("Remember Password in the System &Keyring"));
    m_rememberPassword->setObjectName(QStringLiteral("actionRememberPassword"));
    m_rememberPassword->setCheckable(true);
    connect(m_rememberPassword, &QAction::triggered, this, &Tablesmith::setRememberPassword);
    connect(settings, &QMenu::aboutToShow, this, &Tablesmith::probeKeyring);
    m_keepUnchanged = settings->addAction(tr("&Keep Unchanged Files"));
    m_keepUnchanged->setObjectName(QStringLiteral("actionKeepUnchanged"));
    m_keepUnchanged->setCheckable(true);
    m_keepUnchanged->setToolTip(tr("Keep the files, with their modification times, whose text changes only in "
                                   "the banner's date"));
    connect(m_keepUnchanged, &QAction::toggled, this, [](bool keep) { UserSettings().setKeepUnchanged(keep); });
    m_serverTableOrder = settings->addAction(tr("List the Tables in the Server's &Order"));
    m_serverTableOrder->setObjectName(QStringLiteral("actionServerTableOrder"));
    m_serverTableOrder->setCheckable(true);
    m_serverTableOrder->setToolTip(tr("List the tables as the server gives them instead of by name"));
    m_serverTableOrder->setChecked(QSettings(QStringLiteral("Tablesmith"), QCoreApplication::applicationName())
                                           .value(serverTableOrderKey)
                                           .toBool());
    connect(m_serverTableOrder, &QAction::toggled, this, [this](bool serverOrder) {
        QSettings(QStringLiteral("Tablesmith"), QCoreApplication::applicationName()).setValue(serverTableOrderKey, serverOrder);
        m_tableModel->beginRefill();
        orderTableItems();
        m_tableModel->endRefill();
        applyTableFilter();
    });
    layout()->setMenuBar(menuBar);
}

void Tablesmith::chooseOutputFolder()
{
    const QString folder = QFileDialog::getExistingDirectory(this, tr("Output Folder"), outputFolder().path);
    if (folder.isEmpty())
        return;
    // An open project keeps its own; saving it records the choice.
    if (!m_projectMenu->path().isEmpty())
        m_project.outputDirectory = folder;
    else
        UserSettings().setOutputFolder(folder);
    appendLog(tr("Output folder: %1").arg(QDir::toNativeSeparators(folder)));
}

OutputFolder Tablesmith::outputFolder() const
{
    return windowOutputFolder(m_projectMenu->path().isEmpty() ? UserSettings().outputFolder()
                                                              : m_project.outputDirectory);
}

void Tablesmith::openOutputFolder()
{
    // The generated tree when there is one, else the folder that will hold it.
    const QString root = outputFolder().path;
    const QString code = codeFolder(root);
    const QString target = QFileInfo(code).isDir() ? code : root;
    if (!QFileInfo(target).isDir())
        appendLog(tr("The output folder %1 does not exist yet: Generate creates it.").arg(QDir::toNativeSeparators(root)));
    else if (!QDesktopServices::openUrl(QUrl::fromLocalFile(target)))
        appendLog(tr("Cannot open %1: no file manager answered.").arg(QDir::toNativeSeparators(target)));
}

void Tablesmith::saveSequencesSql()
{
    if (isRunning())
        return;
    m_inspection->showLog();
    if (!m_connected) {
        appendLog(tr("No sequences SQL to save: connect and tick tables first."));
        return;
    }
    const QStringList tables = m_tableModel->checkedTables();
    if (tables.isEmpty()) {
        appendLog(tr("No sequences SQL to save: tick the tables whose sequences to create."));
        return;
    }
    const QString path = QFileDialog::getSaveFileName(this, tr("Save Sequences SQL"),
                                                      QDir(QDir::homePath()).filePath(ui->schema->text() + QStringLiteral("-sequences.sql")),
                                                      tr("SQL script (*.sql)"));
    if (path.isEmpty())
        return;
    setRunning(Running::Sequences);
    SchemaWorker *worker = m_run->worker();
    worker->clearCancel();
    m_run->requestSequences(tables, catalogReader(), m_project.rules.schema, [this, path](const SequenceScript &script) {
        // Written here, once the read is done: a few lines, and the same
        // way the command line writes them.
        QString error;
        const QString native = QDir::toNativeSeparators(path);
        if (writeSequenceScript(script, path, &error))
            appendLog(sequenceScriptWrittenLine(script, native));
        else
            appendLog(tr("Sequences SQL not saved to %1: %2").arg(native, error));
        setRunning(Running::Nothing);
    });
}

void Tablesmith::applyTableFilter()
{
    m_tableModel->setFilterText(ui->tableFilter->text());
    if (ui->listViewSource->model() != m_tableModel)
        return;
    for (int row = 0; row < m_tableModel->rowCount(); ++row)
        ui->listViewSource->setRowHidden(row, !m_tableModel->isShown(row));
    m_inspection->tablesChanged();
}

void Tablesmith::saveForm() const
{
    UserSettings::Form form;
    form.host = ui->serverAddress->text();
    form.schema = ui->schema->text();
    form.user = ui->userName->text();
    form.port = ui->port->text();
    UserSettings().setForm(form);
}

void Tablesmith::appendLog(const QString &line)
{
    ui->textLog->appendPlainText(line);
}

bool Tablesmith::confirmRemoval(int count)
{
    QMessageBox box(QMessageBox::Warning, tr("Tablesmith"),
                    tr("The output folder holds %n entries that Tablesmith did not write (see the log).", "", count),
                    QMessageBox::NoButton, this);
    box.setInformativeText(tr("Remove them with the old output tree, or cancel and keep everything as it is?"));
    QPushButton *remove = box.addButton(tr("Remove them"), QMessageBox::DestructiveRole);
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Cancel);
    QGuiApplication::restoreOverrideCursor();
    box.exec();
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    return box.clickedButton() == remove;
}

void Tablesmith::editConnectionSecurity()
{
    ConnectionSecurityDialog dialog(m_tls, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_tls = dialog.options();
    UserSettings().setTlsOptions(m_tls);
}

void Tablesmith::openProject(const QString &path)
{
    const ProjectReading reading = readProject(path);
    if (!reading.problems.isEmpty()) {
        for (const QString &problem : reading.problems)
            appendLog(problem);
        appendLog(tr("Project not opened: %1").arg(QDir::toNativeSeparators(path)));
        return;
    }
    m_project = reading.project;
    const ConnectionSettings &connection = m_project.connection;
    ui->serverAddress->setText(connection.host);
    ui->port->setText(QString::number(connection.port));
    ui->userName->setText(connection.user);
    ui->schema->setText(connection.schema);
    m_tls = connection.tls;
    ui->chkDao->setChecked(m_project.switches.dao);
    ui->chkObject->setChecked(m_project.switches.object);
    ui->chkModel->setChecked(m_project.switches.model);
    ui->chkCustomEditor->setChecked(m_project.switches.editor);
    ui->chkApplication->setChecked(m_project.application);
    {
        // The project's choice, not the user's remembered one.
        const QSignalBlocker quiet(m_readTableByTable);
        m_readTableByTable->setChecked(m_project.catalogReader == GenerationRun::CatalogReader::PerTable);
        const QSignalBlocker alsoQuiet(m_keepUnchanged);
        m_keepUnchanged->setChecked(m_project.keepUnchanged);
    }
    m_projectMenu->setPath(path);
    m_inspection->setRules(m_project.rules.schema);
    appendLog(tr("Project opened: %1; Connect ticks its tables").arg(QDir::toNativeSeparators(path)));
    offerRememberedPassword();
}

void Tablesmith::saveProject(const QString &path)
{
    Project project = m_project;
    ConnectionSettings &connection = project.connection;
    connection.host = ui->serverAddress->text();
    connection.port = ui->port->text().toInt(nullptr, 10);
    connection.user = ui->userName->text();
    connection.schema = ui->schema->text();
    connection.password.clear();
    connection.tls = m_tls;
    project.switches = switches();
    project.application = ui->chkApplication->isChecked();
    project.catalogReader = catalogReader();
    project.outputDirectory = outputFolder().path;
    project.keepUnchanged = m_keepUnchanged->isChecked();
    // The ticks become the table list, unless the project's names and
    // patterns pick the very same tables: then they stay, so that tables
    // added later are picked up. Without ticks the project's list stays.
    const QStringList ticked = m_tableModel->checkedTables();
    if (!ticked.isEmpty()) {
        QStringList all;
        for (const TableItem *item : std::as_const(m_tableItems))
            all.append(item->name());
        const bool same = !m_projectMenu->path().isEmpty()
                && chooseTables(connection.schema, all, m_project.tables).tables == ticked;
        if (!same) {
            project.tables = TableSelection();
            // Sorted, for short diffs of a reviewed file; quoted where a
            // name would read back as a pattern or as two names.
            QStringList names = ticked;
            names.sort();
            for (const QString &name : std::as_const(names))
                project.tables.include.append(TableSelection::entryFor(name));
        }
    }
    const QString problem = writeProject(path, project);
    if (!problem.isEmpty()) {
        appendLog(problem);
        return;
    }
    m_project = readProject(path).project;
    m_projectMenu->setPath(path);
    // The rules' messages name the file's lines now.
    m_inspection->setRules(m_project.rules.schema);
    appendLog(tr("Project saved: %1").arg(QDir::toNativeSeparators(path)));
}

void Tablesmith::changeRule(const RuleChange &change, std::function<void(const QStringList &)> answer)
{
    const ProjectReading reading = withRuleChange(m_project, m_projectMenu->path(), change);
    if (!reading.problems.isEmpty()) {
        answer(reading.problems);
        return;
    }
    const ProjectRules rules = reading.project.rules;
    m_inspection->checkRules(rules.schema, [this, rules, change, answer = std::move(answer)](const QStringList &problems) {
        if (!problems.isEmpty()) {
            // The views go back to the project's own.
            m_inspection->setRules(m_project.rules.schema);
            answer(problems);
            return;
        }
        m_project.rules = rules;
        m_inspection->rulesChanged();
        const QString what = QStringLiteral("[%1] %2").arg(change.section, change.line.isEmpty()
                                                                              ? tr("class of %1 as its name gives").arg(change.classOf)
                                                                              : change.line);
        appendLog(tr("Project rule taken: %1 (File > Save Project keeps it)").arg(what));
        answer({});
    });
}

QString Tablesmith::keyringKey() const
{
    return PasswordKeyring::key(ui->userName->text(), ui->serverAddress->text(), ui->port->text().toInt(nullptr, 10));
}

void Tablesmith::probeKeyring()
{
    if (m_keyringProbed)
        return;
    m_keyringProbed = true;
    PasswordKeyring::probe(this, [this](const PasswordKeyring::Result &result) {
        if (result.status == PasswordKeyring::Status::Done)
            return;
        m_rememberPassword->setChecked(false);
        m_rememberPassword->setEnabled(false);
        m_rememberPassword->setText(tr("Remember Password in the System Keyring (unavailable)"));
        m_rememberPassword->setToolTip(tr("No system keyring answers (%1); the password is not stored anywhere.")
                                               .arg(result.error));
    });
}

void Tablesmith::setRememberPassword(bool remember)
{
    UserSettings().setRememberPassword(remember);
    // Forgetting takes the stored password away at once.
    if (!remember)
        PasswordKeyring::remove(keyringKey());
}

void Tablesmith::offerRememberedPassword()
{
    if (!m_rememberPassword->isChecked() || ui->userName->text().isEmpty())
        return;
    const QString key = keyringKey();
    const QString typed = ui->password->text();
    PasswordKeyring::read(key, this, [this, key, typed](const PasswordKeyring::Result &result) {
        // The form changed meanwhile: what the user typed or named wins.
        if (key != keyringKey() || ui->password->text() != typed)
            return;
        if (result.status == PasswordKeyring::Status::Done)
            ui->password->setText(result.password);
        else if (result.status != PasswordKeyring::Status::NotFound)
            appendLog(tr("The password could not be read from the system keyring: %1").arg(result.error));
    });
}

void Tablesmith::rememberPassword()
{
    if (!m_rememberPassword->isChecked() || ui->password->text().isEmpty())
        return;
    PasswordKeyring::write(keyringKey(), ui->password->text(), this, [this](const PasswordKeyring::Result &result) {
        if (result.status != PasswordKeyring::Status::Done)
            appendLog(tr("The password could not be kept in the system keyring: %1").arg(result.error));
    });
}
