#pragma once

#include "engine/schemaviews.h"
#include "project/projectfile.h"

#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

QT_BEGIN_NAMESPACE
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
QT_END_NAMESPACE

// A dialog that gives one rule of the open project. OK hands the rule to
// the checker, which answers later (the schema is read with it); the
// dialog closes once the rule is taken and otherwise shows why not.
class RuleDialog : public QDialog
{
    Q_OBJECT

public:
    // `answer` is to be called with the rule's problems, none when it was
    // taken.
    using Checker = std::function<void(const RuleChange &change, std::function<void(const QStringList &)> answer)>;

    RuleDialog(const QString &title, Checker checker, QWidget *parent);

    // The problems shown; empty while there are none.
    QString problems() const;

public slots:
    void accept() override;

protected:
    // The rule the fields give, or why they give none.
    virtual RuleChange change(QString *problem) const = 0;
    // The fields go above the problems and the buttons.
    void addRow(const QString &label, QWidget *field);

private:
    void showProblems(const QStringList &problems);

    Checker m_checker;
    class QFormLayout *m_form;
    QLabel *m_problems;
    QDialogButtonBox *m_buttons;
    // Closed meanwhile: a late answer changes nothing.
    bool m_waiting = false;
};

// Rename Class...: the class of one table, a [names] rule; an empty name
// takes the rule away.
class RenameClassDialog : public RuleDialog
{
    Q_OBJECT

public:
    RenameClassDialog(const TableOutline &table, Checker checker, QWidget *parent);

protected:
    RuleChange change(QString *problem) const override;

private:
    QString m_table;
    QLineEdit *m_name;
};

// Add Relation...: a key the schema does not declare, from a column of one
// table to the key of another, a [relations] rule.
class AddRelationDialog : public RuleDialog
{
    Q_OBJECT

public:
    AddRelationDialog(const QString &table, const QString &column, const QList<TableOutline> &tables, Checker checker,
                      QWidget *parent);

protected:
    RuleChange change(QString *problem) const override;

private:
    void targetChosen();

    QList<TableOutline> m_tables;
    QString m_table;
    QWidget *m_columns;
    QList<QComboBox *> m_columnBoxes;
    QString m_clickedColumn;
    QComboBox *m_target;
    QLabel *m_key;
};
