#pragma once

#include "engine/schemaviews.h"

#include <QWidget>

QT_BEGIN_NAMESPACE
class QLabel;
class QTabWidget;
QT_END_NAMESPACE

// The files Generate would write for one table, one read-only tab each, in
// a fixed-width font with C++ colouring.
class CodePreview : public QWidget
{
    Q_OBJECT

public:
    explicit CodePreview(QWidget *parent = nullptr);

    void setFiles(const PreviewResult &result);
    void setMessage(const QString &text);
    // The text of the tab whose file name ends in `path`; empty if none.
    QString fileText(const QString &path) const;
    QStringList filePaths() const;

private:
    void clearTabs();

    QLabel *m_status;
    QTabWidget *m_tabs;
};
