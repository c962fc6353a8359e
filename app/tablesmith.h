#pragma once

#include "engine/generationrun.h"
#include "connection/mysqlconnection.h"
#include "project/outputfolder.h"
#include "project/projectfile.h"
#include "connection/tlsoptions.h"

#include <QList>
#include <QPointer>
#include <QRect>
#include <QWidget>

#include <memory>

QT_BEGIN_NAMESPACE
namespace Ui {
class Tablesmith;
}
QT_END_NAMESPACE

QT_BEGIN_NAMESPACE
class QAction;
class QProgressBar;
class QPushButton;
QT_END_NAMESPACE

class InspectionPanel;
class ProjectMenu;
class SchemaThread;
class TableItem;
class TableModel;

// The main window: the connection form, the table check list with the
// generation switches, and the log pane; a File menu chooses the output
// folder, a Settings menu how the catalogue is read. The form (never the
// password), the window's size and place and both choices are remembered
// across starts. Connect and Generate run on a worker thread; meanwhile a
// progress bar and a Cancel button show below the log, and the form and the
// Generator group are disabled.
class Tablesmith : public QWidget
{
    Q_OBJECT

public:
    explicit Tablesmith(QWidget *parent = nullptr);
    ~Tablesmith() override;

    // Whether a Connect, a Generate or a Save Sequences SQL is under way.
    bool isRunning() const { return m_running != Running::Nothing; }

    // Where a first start (no remembered place) puts the window: a good
    // share of the screen's free area, never below `least`, centred.
    static QRect firstGeometry(const QRect &available, const QSize &least);

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    void on_btConnect_clicked();
    void on_btGenerate_clicked();

private:
    enum class Running {
        Nothing,
        Connect,
        Generate,
        Sequences
    };

    void createMenus();
    void createRunControls();
    void setRunning(Running running);
    void cancelRun();
    // No connection, no tables, views and Generator cleared.
    void dropConnection();
    // By name, or as the server listed them when the Settings menu says so.
    void orderTableItems();
    void connectFinished(bool opened, const QString &error, const QStringList &tables, const QString &encryption);
    void showProgress(GenerationRun::Stage stage, int done, int total);
    void appendLogLines(const QStringList &lines);
    void chooseOutputFolder();
    // Where Generate writes, and why there if it is not the usual place.
    OutputFolder outputFolder() const;
    void applyTableFilter();
    void openOutputFolder();
    // File > Save Sequences SQL: asks where, then writes what the command
    // line's --sequences-sql writes for the ticked tables.
    void saveSequencesSql();
    GenerationRun::CatalogReader catalogReader() const;
    GenerationRun::Switches switches() const;
    void saveForm() const;
    void appendLog(const QString &line);
    // Asks whether an old output tree holding `count` entries the tool did
    // not write may be removed all the same.
    bool confirmRemoval(int count);
    void editConnectionSecurity();
    // A project fills the form, the switches and the security settings at
    // once, and ticks its tables after Connect; nothing of a file with
    // faults is used.
    void openProject(const QString &path);
    void saveProject(const QString &path);
    // A rule from the Relations tab: taken into the open project (in
    // memory; Save Project writes it) once it reads as the file's rules do
    // and fits the schema; `answer` gets the problems otherwise.
    void changeRule(const RuleChange &change, std::function<void(const QStringList &)> answer);
    // The keyring: asked whether it is there when the Settings menu first
    // opens, read when the form names an account, written after a Connect;
    // its answers come later, the window never waits for them.
    void probeKeyring();
    void setRememberPassword(bool remember);
    void offerRememberedPassword();
    void rememberPassword();
    QString keyringKey() const;

    Ui::Tablesmith *ui;
    QList<TableItem *> m_tableItems;
    TableModel *m_tableModel;
    QAction *m_readTableByTable = nullptr;
    TlsOptions m_tls;
    QAction *m_rememberPassword = nullptr;
    bool m_keyringProbed = false;
    ProjectMenu *m_projectMenu = nullptr;
    // The open project (m_projectMenu names its file): what it holds beyond
    // the form.
    Project m_project;
    QAction *m_keepUnchanged = nullptr;
    QAction *m_serverTableOrder = nullptr;
    // The last Connect's tables in the server's order.
    QStringList m_serverTables;
    InspectionPanel *m_inspection = nullptr;
    QAction *m_outputFolder = nullptr;
    QAction *m_saveSequences = nullptr;
    QProgressBar *m_progress = nullptr;
    QPushButton *m_cancel = nullptr;
    Running m_running = Running::Nothing;
    bool m_connected = false;
    // Connects given up by Cancel whose results are still to come.
    int m_abandonedConnects = 0;
    QString m_host;
    // What the pending or last Connect used (the password too, for the
    // views' own connections; never stored).
    ConnectionSettings m_connectSettings;
    QPointer<QWidget> m_focusBeforeRun;
    // Connect and Generate; the views have a thread of their own.
    std::unique_ptr<SchemaThread> m_run;
};
