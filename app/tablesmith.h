#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QWidget>

QT_BEGIN_NAMESPACE
namespace Ui {
class Tablesmith;
}
QT_END_NAMESPACE

class TableItem;
class TableModel;

// The main window: the connection form, the table check list with the
// generation switches, and the log pane.
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
    void appendLog(const QString &line);
    // Asks whether an old output tree holding `count` entries the tool did
    // not write may be removed all the same.
    bool confirmRemoval(int count);

    Ui::Tablesmith *ui;
    QSqlDatabase m_connection;
    QSqlDatabase m_infoSchema;
    QList<TableItem *> m_tableItems;
    TableModel *m_tableModel;
};
