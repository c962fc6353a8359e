#include "app/tablesmith.h"
#include "ui_tablesmith.h"

#include "app/generationrun.h"
#include "app/mysqlconnection.h"
#include "app/tableitem.h"
#include "app/tablemodel.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QSqlError>

namespace {

// Both actions block the window while the server answers; the cursor says so.
class BusyCursor
{
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

} // namespace

Tablesmith::Tablesmith(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::Tablesmith)
{
    ui->setupUi(this);
    m_tableModel = new TableModel(&m_tableItems, this);
    connect(ui->btSelectAll, &QPushButton::clicked, m_tableModel, &TableModel::selectAll);
    connect(ui->btSelectNone, &QPushButton::clicked, m_tableModel, &TableModel::selectNone);
}

Tablesmith::~Tablesmith()
{
    delete ui;
    // The model reads m_tableItems, which is gone before the QWidget base
    // deletes the children; so the model goes first.
    delete m_tableModel;
    qDeleteAll(m_tableItems);
}

void Tablesmith::on_btConnect_clicked()
{
    const BusyCursor busy;
    const QString host = ui->serverAddress->text();
    appendLog(tr("Establishing connection to: %1").arg(host));

    // The old registrations are replaced below; while handles to them live,
    // Qt warns that they are still in use and keeps them open.
    m_connection = QSqlDatabase();
    m_infoSchema = QSqlDatabase();

    ConnectionSettings settings;
    settings.host = host;
    settings.schema = ui->schema->text();
    settings.user = ui->userName->text();
    settings.password = ui->password->text();
    // Not a number: 0, which leaves the port to the client library.
    settings.port = ui->port->text().toInt(nullptr, 10);
    m_connection = openMysqlConnection(schemaConnectionName(), settings.schema, settings);
    m_infoSchema = openMysqlConnection(catalogConnectionName(), QStringLiteral("information_schema"),
                                       settings);

    // The old rows go whatever the outcome; views are told through a reset
    // so none keeps rows that no longer exist.
    m_tableModel->beginRefill();
    qDeleteAll(m_tableItems);
    m_tableItems.clear();

    if (!m_connection.isOpen()) {
        m_tableModel->endRefill();
        appendLog(m_connection.lastError().text());
        ui->groupBox->setEnabled(false);
        return;
    }

    appendLog(tr("Connected to: %1").arg(host));
    ui->groupBox->setEnabled(true);

    const QStringList tables = m_connection.tables(QSql::Tables);
    for (const QString &table : tables)
        m_tableItems.append(new TableItem(table));
    m_tableModel->endRefill();

    ui->listViewSource->setModel(m_tableModel);
}

void Tablesmith::on_btGenerate_clicked()
{
    const BusyCursor busy;
    GenerationRun run(QCoreApplication::applicationDirPath(),
                      [this](const QString &line) { ui->textLog->appendPlainText(line); });
    GenerationRun::Switches switches;
    switches.dao = ui->chkDao->isChecked();
    switches.object = ui->chkObject->isChecked();
    switches.model = ui->chkModel->isChecked();
    switches.editor = ui->chkCustomEditor->isChecked();
    run.setSwitches(switches);
    run.setForeignEntriesHandler([this](const QStringList &, int count) { return confirmRemoval(count); });
    run.run(ui->schema->text(), m_tableModel->checkedTables());
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
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    return box.clickedButton() == remove;
}
