#pragma once

#include "engine/schemaviews.h"

#include <QWidget>

QT_BEGIN_NAMESPACE
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
QT_END_NAMESPACE

// The files of the output folder that Generate would add, change or remove,
// as the command line's --check lists them; a changed file's unified diff
// shows when it is selected.
class CompareView : public QWidget
{
    Q_OBJECT

public:
    explicit CompareView(QWidget *parent = nullptr);

    void setResult(const ComparisonResult &result);
    void setMessage(const QString &text);
    void setBusy(bool busy);
    // The listed lines, as --check prints them.
    QStringList differences() const;
    QString diffText() const;

signals:
    void compareRequested();

private:
    void showDifference(int row);

    QPushButton *m_compare;
    QLabel *m_status;
    QListWidget *m_list;
    QPlainTextEdit *m_diff;
    ComparisonResult m_result;
};
