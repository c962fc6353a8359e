#include "app/window/compareview.h"

#include "engine/unifieddiff.h"

#include <QFile>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QSyntaxHighlighter>
#include <QVBoxLayout>

namespace {

// Added lines green, removed lines red, hunk heads blue.
class DiffHighlighter : public QSyntaxHighlighter
{
public:
    using QSyntaxHighlighter::QSyntaxHighlighter;

protected:
    void highlightBlock(const QString &text) override
    {
        QColor colour;
        if (text.startsWith(QLatin1String("+++")) || text.startsWith(QLatin1String("---")))
            colour = QColor(0x55, 0x55, 0x55);
        else if (text.startsWith(QLatin1Char('+')))
            colour = QColor(0x1a, 0x7f, 0x37);
        else if (text.startsWith(QLatin1Char('-')))
            colour = QColor(0xcf, 0x22, 0x2e);
        else if (text.startsWith(QLatin1String("@@")))
            colour = QColor(0x05, 0x50, 0xae);
        if (colour.isValid())
            setFormat(0, int(text.size()), colour);
    }
};

} // namespace

CompareView::CompareView(QWidget *parent)
    : QWidget(parent)
    , m_compare(new QPushButton(tr("Compare with Output Folder"), this))
    , m_status(new QLabel(this))
    , m_list(new QListWidget(this))
    , m_diff(new QPlainTextEdit(this))
{
    m_compare->setObjectName(QStringLiteral("btCompare"));
    m_status->setObjectName(QStringLiteral("compareStatus"));
    m_status->setWordWrap(true);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_list->setObjectName(QStringLiteral("compareList"));
    m_diff->setObjectName(QStringLiteral("compareDiff"));
    m_diff->setReadOnly(true);
    m_diff->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_diff->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    new DiffHighlighter(m_diff->document());

    auto *splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(m_list);
    splitter->addWidget(m_diff);
    splitter->setStretchFactor(1, 2);
    auto *bar = new QHBoxLayout;
    bar->addWidget(m_compare);
    bar->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(bar);
    layout->addWidget(m_status);
    layout->addWidget(splitter, 1);

    connect(m_compare, &QPushButton::clicked, this, &CompareView::compareRequested);
    connect(m_list, &QListWidget::currentRowChanged, this, &CompareView::showDifference);
    setMessage(tr("Compare the ticked tables' code with what the output folder holds, writing nothing."));
}

void CompareView::setResult(const ComparisonResult &result)
{
    m_result = result;
    m_list->clear();
    m_diff->clear();
    m_list->addItems(result.differences);
    QStringList status;
    for (const QString &line : result.errors) {
        // The convention notes belong to Generate's log.
        if (!line.startsWith(QLatin1String("Note: ")))
            status.append(line);
    }
    // The first changed file's diff shows at once.
    for (int row = 0; row < result.differences.size(); ++row) {
        if (result.differences.at(row).startsWith(QLatin1String("changed: "))) {
            m_list->setCurrentRow(row);
            break;
        }
    }
    if (result.completed) {
        status.append(result.closingLine);
        if (result.differences.isEmpty())
            status.append(tr("The output folder is up to date: Generate would change nothing."));
        else
            status.append(tr("Select a changed file to see how Generate would change it."));
    }
    m_status->setText(status.join(QLatin1Char('\n')));
}

void CompareView::setMessage(const QString &text)
{
    m_result = ComparisonResult();
    m_list->clear();
    m_diff->clear();
    m_status->setText(text);
}

void CompareView::setBusy(bool busy)
{
    m_compare->setEnabled(!busy);
    if (busy)
        m_status->setText(tr("Comparing..."));
}

QStringList CompareView::differences() const
{
    return m_result.differences;
}

QString CompareView::diffText() const
{
    return m_diff->toPlainText();
}

void CompareView::showDifference(int row)
{
    m_diff->clear();
    if (row < 0 || row >= m_result.differences.size())
        return;
    const QString line = m_result.differences.at(row);
    const qsizetype colon = line.indexOf(QLatin1String(": "));
    const QString kind = line.left(colon);
    const QString path = line.mid(colon + 2);
    const QString onDisk = m_result.root + QLatin1Char('/') + path;
    if (kind == QLatin1String("new")) {
        m_diff->setPlainText(tr("Generate would add %1 (%n lines).", "",
                                int(m_result.generated.value(path).count(QLatin1Char('\n'))))
                                     .arg(path));
        return;
    }
    if (kind == QLatin1String("not Tablesmith's")) {
        m_diff->setPlainText(tr("Tablesmith did not write %1: Generate will refuse to replace the output tree "
                                "while it is there, and asks before removing it.").arg(onDisk));
        return;
    }
    if (kind == QLatin1String("stale")) {
        m_diff->setPlainText(tr("Generate would remove %1: no chosen table or switch writes it.").arg(onDisk));
        return;
    }
    QFile file(onDisk);
    if (!file.open(QIODevice::ReadOnly)) {
        m_diff->setPlainText(tr("Cannot read %1: %2").arg(onDisk, file.errorString()));
        return;
    }
    const QString diff = unifiedDiff(QStringLiteral("a/") + path, QString::fromUtf8(file.readAll()),
                                     QStringLiteral("b/") + path, m_result.generated.value(path));
    m_diff->setPlainText(diff.isEmpty() ? tr("%1 no longer differs: compare again.").arg(path) : diff);
}
