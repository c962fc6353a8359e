#pragma once

#include "app/generationrun.h"

#include <QList>
#include <QSqlDatabase>
#include <QWidget>

QT_BEGIN_NAMESPACE
namespace Ui {
class Tablesmith;
}
QT_END_NAMESPACE

QT_BEGIN_NAMESPACE
class QAction;
QT_END_NAMESPACE

class InspectionPanel;
class TableItem;
class TableModel;

// The main window: the connection form, the table check list with the
// generation switches, and the log pane; a File menu chooses the output
// folder, a Settings menu how the catalogue is read. The form (never the
// password), the window's size and place and both choices are remembered
// across starts.
class Tablesmith : public QWidget
{
    Q_OBJECT

public:
    explicit Tablesmith(QWidget *parent = nullptr);
    ~Tablesmith() override;

private slots:
    void on_btConnect_clicked();
    void on_btGenerate_clicked();

private:
    // Where Generate writes, and why there if it is not the usual place.
    struct OutputFolder
    {
        QString path;
        QString note;
    };

    void createMenus();
    void chooseOutputFolder();
    OutputFolder outputFolder() const;
    void applyTableFilter();
    void openOutputFolder();
    GenerationRun::Switches switches() const;
    void saveForm() const;
    void appendLog(const QString &line);
    // Asks whether an old output tree holding `count` entries the tool did
    // not write may be removed all the same.
    bool confirmRemoval(int count);

    Ui::Tablesmith *ui;
    QSqlDatabase m_connection;
    QSqlDatabase m_infoSchema;
    QList<TableItem *> m_tableItems;
    TableModel *m_tableModel;
    QAction *m_readTableByTable = nullptr;
    QAction *m_keepUnchanged = nullptr;
    InspectionPanel *m_inspection = nullptr;
};
