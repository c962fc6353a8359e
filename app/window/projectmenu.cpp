#include "app/window/projectmenu.h"

#include "project/usersettings.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QWidget>

namespace {
const int recentCount = 5;
}

ProjectMenu::ProjectMenu(QMenu *file, QAction *before, QWidget *window)
    : QObject(window)
    , m_window(window)
    , m_baseTitle(window->windowTitle())
{
    const auto add = [&](const QString &text, const char *name, void (ProjectMenu::*slot)()) {
        auto *action = new QAction(text, file);
        action->setObjectName(QLatin1String(name));
        file->insertAction(before, action);
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    add(tr("&Open Project..."), "actionOpenProject", &ProjectMenu::open)->setShortcut(QKeySequence::Open);
    add(tr("&Save Project"), "actionSaveProject", &ProjectMenu::save)->setShortcut(QKeySequence::Save);
    add(tr("Save Project &As..."), "actionSaveProjectAs", &ProjectMenu::saveAs);
    m_recent = new QMenu(tr("&Recent Projects"), file);
    m_recent->setObjectName(QStringLiteral("menuRecentProjects"));
    file->insertMenu(before, m_recent);
    file->insertSeparator(before);
    fillRecent();
}

QString ProjectMenu::fileFilter()
{
    return tr("Tablesmith projects (*.ini);;All files (*)");
}

void ProjectMenu::setPath(const QString &path)
{
    m_path = QFileInfo(path).absoluteFilePath();
    m_window->setWindowTitle(QStringLiteral("%1 - %2").arg(QFileInfo(path).fileName(), m_baseTitle));
    UserSettings settings;
    QStringList recent = settings.recentProjects();
    recent.removeAll(m_path);
    recent.prepend(m_path);
    settings.setRecentProjects(recent.mid(0, recentCount));
    fillRecent();
}

void ProjectMenu::open()
{
    const QString path = QFileDialog::getOpenFileName(m_window, tr("Open Project"), QFileInfo(m_path).path(),
                                                      fileFilter());
    if (!path.isEmpty())
        emit openRequested(path);
}

void ProjectMenu::save()
{
    if (m_path.isEmpty())
        saveAs();
    else
        emit saveRequested(m_path);
}

void ProjectMenu::saveAs()
{
    QString path = QFileDialog::getSaveFileName(m_window, tr("Save Project As"),
                                                m_path.isEmpty() ? QStringLiteral("tablesmith.ini") : m_path,
                                                fileFilter());
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".ini");
    emit saveRequested(path);
}

void ProjectMenu::fillRecent()
{
    m_recent->clear();
    const QStringList recent = UserSettings().recentProjects();
    for (const QString &path : recent) {
        QAction *action = m_recent->addAction(QDir::toNativeSeparators(path));
        connect(action, &QAction::triggered, this, [this, path] { emit openRequested(path); });
    }
    m_recent->setEnabled(!recent.isEmpty());
}
