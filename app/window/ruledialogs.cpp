#include "app/window/ruledialogs.h"

#include "project/projectrules.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

RuleDialog::RuleDialog(const QString &title, Checker checker, QWidget *parent)
    : QDialog(parent)
    , m_checker(std::move(checker))
    , m_form(new QFormLayout)
    , m_problems(new QLabel(this))
    , m_buttons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this))
{
    setWindowTitle(title);
    m_problems->setObjectName(QStringLiteral("ruleProblems"));
    m_problems->setWordWrap(true);
    m_problems->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_problems->setStyleSheet(QStringLiteral("color: #a40000"));
    m_problems->hide();
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(m_form);
    layout->addWidget(m_problems);
    layout->addWidget(m_buttons);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &RuleDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &RuleDialog::reject);
}

void RuleDialog::addRow(const QString &label, QWidget *field)
{
    m_form->addRow(label, field);
}

QString RuleDialog::problems() const
{
    return m_problems->isVisible() ? m_problems->text() : QString();
}

void RuleDialog::showProblems(const QStringList &problems)
{
    m_problems->setText(problems.join(QLatin1Char('\n')));
    m_problems->setVisible(!problems.isEmpty());
}

void RuleDialog::accept()
{
    if (m_waiting)
        return;
    if (!m_checker) {
        showProblems({tr("There is no project to take the rule.")});
        return;
    }
    QString problem;
    const RuleChange rule = change(&problem);
    if (!problem.isEmpty()) {
        showProblems({problem});
        return;
    }
    // The schema is read again with the rule: that takes a moment.
    m_waiting = true;
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(false);
    showProblems({tr("Checking the rule against the schema...")});
    m_checker(rule, [dialog = QPointer<RuleDialog>(this)](const QStringList &problems) {
        if (!dialog || !dialog->m_waiting)
            return;
        dialog->m_waiting = false;
        dialog->m_buttons->button(QDialogButtonBox::Ok)->setEnabled(true);
        dialog->showProblems(problems);
        if (problems.isEmpty())
            dialog->QDialog::accept();
    });
}

RenameClassDialog::RenameClassDialog(const TableOutline &table, Checker checker, QWidget *parent)
    : RuleDialog(tr("Rename Class"), std::move(checker), parent)
    , m_table(table.name)
    , m_name(new QLineEdit(table.className, this))
{
    m_name->setObjectName(QStringLiteral("className"));
    m_name->selectAll();
    m_name->setToolTip(tr("Empty: the name the table's name gives"));
    addRow(tr("Table:"), new QLabel(table.name.toHtmlEscaped(), this));
    addRow(tr("&Class:"), m_name);
    setMinimumWidth(380);
}

RuleChange RenameClassDialog::change(QString *problem) const
{
    Q_UNUSED(problem)
    const QString name = m_name->text().trimmed();
    return {namesSectionName(), name.isEmpty() ? QString() : classNameLine(m_table, name), m_table};
}

AddRelationDialog::AddRelationDialog(const QString &table, const QString &column, const QList<TableOutline> &tables,
                                     Checker checker, QWidget *parent)
    : RuleDialog(tr("Add Relation"), std::move(checker), parent)
    , m_tables(tables)
    , m_table(table)
    , m_columns(new QWidget(this))
    , m_clickedColumn(column)
    , m_target(new QComboBox(this))
    , m_key(new QLabel(this))
{
    m_target->setObjectName(QStringLiteral("targetTable"));
    m_key->setObjectName(QStringLiteral("targetKey"));
    auto *columns = new QHBoxLayout(m_columns);
    columns->setContentsMargins(0, 0, 0, 0);
    for (const TableOutline &outline : std::as_const(m_tables))
        m_target->addItem(outline.name);
    addRow(tr("Table:"), new QLabel(table.toHtmlEscaped(), this));
    addRow(tr("Refers to &table:"), m_target);
    addRow(tr("Its key:"), m_key);
    addRow(tr("Through &column:"), m_columns);
    connect(m_target, &QComboBox::currentIndexChanged, this, &AddRelationDialog::targetChosen);
    targetChosen();
    setMinimumWidth(420);
}

void AddRelationDialog::targetChosen()
{
    qDeleteAll(m_columnBoxes);
    m_columnBoxes.clear();
    const int index = m_target->currentIndex();
    const TableOutline target = index >= 0 ? m_tables.at(index) : TableOutline();
    QStringList own;
    for (const TableOutline &outline : std::as_const(m_tables)) {
        if (outline.name == m_table)
            own = outline.columns;
    }
    m_key->setText(target.keyColumns.isEmpty() ? tr("none: a relation refers to a table's primary key")
                                               : target.keyColumns.join(QStringLiteral(", ")).toHtmlEscaped());
    // One column of this table for each of the key's.
    for (qsizetype i = 0; i < target.keyColumns.size(); ++i) {
        auto *box = new QComboBox(m_columns);
        box->setObjectName(QStringLiteral("sourceColumn%1").arg(i + 1));
        box->addItems(own);
        const QString wanted = i == 0 && !m_clickedColumn.isEmpty() ? m_clickedColumn : target.keyColumns.at(i);
        if (own.contains(wanted))
            box->setCurrentText(wanted);
        m_columns->layout()->addWidget(box);
        m_columnBoxes.append(box);
    }
}

RuleChange AddRelationDialog::change(QString *problem) const
{
    if (m_columnBoxes.isEmpty()) {
        *problem = tr("%1 has no primary key to refer to.").arg(m_target->currentText());
        return {};
    }
    // The line as --suggest-relations writes it.
    SuggestedRelation key;
    key.table = m_table;
    key.referencedTable = m_target->currentText();
    for (const TableOutline &outline : std::as_const(m_tables)) {
        if (outline.name == key.referencedTable)
            key.referencedColumns = outline.keyColumns;
    }
    for (const QComboBox *box : m_columnBoxes)
        key.columns.append(box->currentText());
    return {relationsSectionName(), key.keyLine(), QString()};
}
