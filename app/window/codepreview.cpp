#include "app/window/codepreview.h"

#include "app/window/cpphighlighter.h"

#include <QFileInfo>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QVBoxLayout>

CodePreview::CodePreview(QWidget *parent)
    : QWidget(parent)
    , m_status(new QLabel(this))
    , m_tabs(new QTabWidget(this))
{
    m_status->setObjectName(QStringLiteral("previewStatus"));
    m_status->setWordWrap(true);
    m_tabs->setObjectName(QStringLiteral("previewTabs"));
    m_tabs->setDocumentMode(true);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_status);
    layout->addWidget(m_tabs, 1);
    setMessage(tr("Click a table in the list to see the files Generate would write for it."));
}

void CodePreview::clearTabs()
{
    while (m_tabs->count() > 0) {
        QWidget *page = m_tabs->widget(0);
        m_tabs->removeTab(0);
        delete page;
    }
}

void CodePreview::setFiles(const PreviewResult &result)
{
    clearTabs();
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (const PreviewFile &file : result.files) {
        auto *page = new QPlainTextEdit(m_tabs);
        page->setReadOnly(true);
        page->setLineWrapMode(QPlainTextEdit::NoWrap);
        page->setFont(fixed);
        page->setProperty("path", file.path);
        // The document turns some characters into others (a no-break space
        // into a space); the text itself is kept as generated.
        page->setProperty("text", file.text);
        new CppHighlighter(page->document());
        page->setPlainText(file.text);
        const int tab = m_tabs->addTab(page, QFileInfo(file.path).fileName());
        m_tabs->setTabToolTip(tab, file.path);
    }
    QString status = result.files.isEmpty()
            ? tr("Generate writes no files for %1: every switch is off.").arg(result.table)
            : tr("What Generate would write for %1 (%n files, nothing is written):", "", int(result.files.size()))
                      .arg(result.table);
    if (!result.error.isEmpty())
        status += QLatin1Char('\n') + result.error;
    m_status->setText(status);
}

void CodePreview::setMessage(const QString &text)
{
    clearTabs();
    m_status->setText(text);
}

QString CodePreview::fileText(const QString &path) const
{
    for (int i = 0; i < m_tabs->count(); ++i) {
        auto *page = qobject_cast<QPlainTextEdit *>(m_tabs->widget(i));
        if (page && page->property("path").toString().endsWith(path))
            return page->property("text").toString();
    }
    return QString();
}

QStringList CodePreview::filePaths() const
{
    QStringList paths;
    for (int i = 0; i < m_tabs->count(); ++i)
        paths.append(m_tabs->widget(i)->property("path").toString());
    return paths;
}
