#pragma once

#include <QObject>
#include <QString>

class QAction;
class QMenu;
class QWidget;

// The project entries of the window's File menu: Open Project..., Save
// Project, Save Project As... and the last few projects, with the file
// dialogs they need. It names the open project in the window title; what a
// project holds the window reads and fills itself.
class ProjectMenu : public QObject
{
    Q_OBJECT

public:
    // Inserts the entries into `file` before `before`.
    ProjectMenu(QMenu *file, QAction *before, QWidget *window);

    // The open project's file; empty when none is open.
    QString path() const { return m_path; }
    // Called once a project was opened or saved under `path`.
    void setPath(const QString &path);

    static QString fileFilter();

signals:
    void openRequested(const QString &path);
    void saveRequested(const QString &path);

private:
    void open();
    void save();
    void saveAs();
    void fillRecent();

    QWidget *m_window;
    QString m_baseTitle;
    QString m_path;
    QMenu *m_recent;
};
