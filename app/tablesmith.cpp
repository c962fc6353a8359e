#include "app/tablesmith.h"
#include "ui_tablesmith.h"

#include "app/generationrun.h"
#include "app/mysqlconnection.h"
#include "app/runworker.h"
#include "app/tableitem.h"
#include "app/tablemodel.h"
#include "app/usersettings.h"

#include <QAction>
#include <QApplication>
#include <QBoxLayout>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTextCursor>
#include <QTextDocument>

#include <unistd.h>

Tablesmith::Tablesmith(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::Tablesmith)
{
    ui->setupUi(this);
    m_tableModel = new TableModel(&m_tableItems, this);
    connect(ui->btSelectAll, &QPushButton::clicked, m_tableModel, &TableModel::selectAll);
    connect(ui->btSelectNone, &QPushButton::clicked, m_tableModel, &TableModel::selectNone);
    connect(ui->tableFilter, &QLineEdit::textChanged, this, &Tablesmith::applyTableFilter);
    createMenus();
    createRunControls();

    const UserSettings settings;
    const UserSettings::Form form = settings.form();
    ui->serverAddress->setText(form.host);
    ui->schema->setText(form.schema);
    ui->userName->setText(form.user);
    ui->port->setText(form.port);
    restoreGeometry(settings.windowGeometry());
    m_readTableByTable->setChecked(settings.catalogReader() == GenerationRun::CatalogReader::PerTable);
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
    setRunning(Running::Connect);
    RunWorker *worker = m_run->worker();
    worker->clearCancel();
    m_run->post([worker, settings] { worker->connectToServer(settings); });
}

void Tablesmith::connectFinished(bool opened, const QString &error, const QStringList &tables)
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
        return;
    }

    appendLog(tr("Connected to: %1").arg(m_host));
    m_connected = true;
    ui->groupBox->setEnabled(true);

    for (const QString &table : tables)
        m_tableItems.append(new TableItem(table));
    m_tableModel->endRefill();

    ui->listViewSource->setModel(m_tableModel);
    applyTableFilter();
}

void Tablesmith::on_btGenerate_clicked()
{
    if (isRunning())
        return;
    const OutputFolder folder = outputFolder();
    RunWorker::GenerateJob job;
    job.root = folder.path;
    job.outputFolderNote = folder.note;
    job.schema = ui->schema->text();
    job.chosenTables = m_tableModel->checkedTables();
    job.reader = m_readTableByTable->isChecked() ? GenerationRun::CatalogReader::PerTable
                                                 : GenerationRun::CatalogReader::SchemaWide;
    job.switches.dao = ui->chkDao->isChecked();
    job.switches.object = ui->chkObject->isChecked();
    job.switches.model = ui->chkModel->isChecked();
    job.switches.editor = ui->chkCustomEditor->isChecked();
    job.expectedTables = int(m_tableItems.size());
    setRunning(Running::Generate);
    RunWorker *worker = m_run->worker();
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

    m_run = std::make_unique<RunThread>();
    RunWorker *worker = m_run->worker();
    connect(worker, &RunWorker::logLines, this, &Tablesmith::appendLogLines);
    connect(worker, &RunWorker::progress, this, &Tablesmith::showProgress);
    connect(worker, &RunWorker::connectFinished, this, &Tablesmith::connectFinished);
    connect(worker, &RunWorker::generateFinished, this, [this](const QString &interrupted, const QString &closing) {
        if (!interrupted.isEmpty())
            appendLog(interrupted);
        appendLog(closing);
        setRunning(Running::Nothing);
    });
    connect(worker, &RunWorker::foreignEntries, this, [this, worker](int count) {
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
    m_progress->setVisible(!idle);
    m_cancel->setVisible(!idle);
    m_cancel->setEnabled(!idle);
    if (running == Running::Connect) {
        m_progress->setRange(0, 0);
        m_progress->setFormat(tr("Connecting to %1").arg(m_host));
    } else if (running == Running::Generate) {
        m_progress->setRange(0, 0);
        m_progress->setFormat(QString());
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
        m_connected = false;
        setRunning(Running::Nothing);
        m_tableModel->beginRefill();
        qDeleteAll(m_tableItems);
        m_tableItems.clear();
        m_tableModel->endRefill();
        ui->groupBox->setEnabled(false);
        appendLog(tr("Cancelled: gave up connecting to %1").arg(m_host));
    } else if (m_running == Running::Generate) {
        // The run stops before its next table; the closing lines follow.
        m_run->worker()->cancel();
        m_cancel->setEnabled(false);
    }
}

void Tablesmith::showProgress(int tablesRead, int tablesExpected, int filesWritten, int filesExpected)
{
    if (m_running != Running::Generate)
        return;
    // The text first: a change of value repaints the bar with it.
    if (filesWritten == 0 && tablesRead < tablesExpected) {
        m_progress->setFormat(tr("Tables read: %v of %m"));
        m_progress->setRange(0, tablesExpected);
        m_progress->setValue(tablesRead);
    } else if (filesExpected > 0) {
        m_progress->setFormat(tr("Files written: %v of %m"));
        m_progress->setRange(0, filesExpected);
        m_progress->setValue(filesWritten);
    }
}

void Tablesmith::appendLogLines(const QStringList &lines)
{
    // One edit for a bunch of lines: a run over 1,000 tables logs some 7,000.
    QTextCursor log(ui->textLog->document());
    log.beginEditBlock();
    for (const QString &line : lines) {
        log.movePosition(QTextCursor::End);
        if (!log.document()->isEmpty())
            log.insertBlock();
        log.insertText(line);
    }
    log.endEditBlock();
    ui->textLog->moveCursor(QTextCursor::End);
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
    file->addSeparator();
    QAction *quit = file->addAction(tr("&Quit"));
    quit->setObjectName(QStringLiteral("actionQuit"));
    quit->setShortcut(QKeySequence::Quit);
    connect(quit, &QAction::triggered, this, &QWidget::close);
    addAction(quit);

    QMenu *settings = menuBar->addMenu(tr("&Settings"));
    settings->setObjectName(QStringLiteral("menuSettings"));
    m_readTableByTable = settings->addAction(tr("Read the Catalogue &Table by Table"));
    m_readTableByTable->setObjectName(QStringLiteral("actionReadTableByTable"));
    m_readTableByTable->setCheckable(true);
    m_readTableByTable->setToolTip(tr("Read the catalogue with queries for each table (slow on large schemas) "
                                      "instead of a few queries for the whole schema; both give the same files"));
    connect(m_readTableByTable, &QAction::toggled, this, [](bool perTable) {
        UserSettings().setCatalogReader(perTable ? GenerationRun::CatalogReader::PerTable
                                                 : GenerationRun::CatalogReader::SchemaWide);
    });
    layout()->setMenuBar(menuBar);
}

void Tablesmith::chooseOutputFolder()
{
    const QString folder = QFileDialog::getExistingDirectory(this, tr("Output Folder"), outputFolder().path);
    if (folder.isEmpty())
        return;
    UserSettings().setOutputFolder(folder);
    appendLog(tr("Output folder: %1").arg(QDir::toNativeSeparators(folder)));
}

Tablesmith::OutputFolder Tablesmith::outputFolder() const
{
    const QString chosen = UserSettings().outputFolder();
    if (!chosen.isEmpty())
        return {chosen, QString()};
    // Beside the executable where it may be written (a build tree), else in
    // the user's documents (an installed program).
    const QString beside = QCoreApplication::applicationDirPath();
    if (::access(QFile::encodeName(beside).constData(), W_OK | X_OK) == 0)
        return {beside, QString()};
    QString base = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (base.isEmpty())
        base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return {base + QStringLiteral("/Tablesmith"),
            tr("the program's folder %1 cannot be written to").arg(QDir::toNativeSeparators(beside))};
}

void Tablesmith::applyTableFilter()
{
    m_tableModel->setFilterText(ui->tableFilter->text());
    if (ui->listViewSource->model() != m_tableModel)
        return;
    for (int row = 0; row < m_tableModel->rowCount(); ++row)
        ui->listViewSource->setRowHidden(row, !m_tableModel->isShown(row));
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
