#pragma once

#include "connection/tlsoptions.h"
#include "engine/runoptions.h"
#include "project/projectfile.h"

#include <QByteArray>
#include <QSettings>
#include <QString>

// What the window remembers from one start to the next: the connection form
// (never the password), its own size and place, the output folder the user
// chose and how the catalogue is read. Stored with QSettings under the
// organisation "Tablesmith" and the application's name; what a project file
// holds too is stored under the project file's keys ("connection/host"),
// with the same defaults, and read from the keys of older versions until
// written anew.
class UserSettings
{
public:
    UserSettings();

    // The form's fields as typed; on the first start "localhost" and "3306".
    struct Form
    {
        QString host;
        QString schema;
        QString user;
        QString port;
    };
    Form form() const;
    void setForm(const Form &form);

    QByteArray windowGeometry() const;
    void setWindowGeometry(const QByteArray &geometry);

    // The folder that receives "code", as the user chose it; "." (the
    // window's default folder, see windowOutputFolder()) when none was
    // chosen.
    QString outputFolder() const;
    void setOutputFolder(const QString &folder);

    // The schema-wide reader unless the user asked for the table-by-table
    // queries.
    CatalogReader catalogReader() const;
    void setCatalogReader(CatalogReader reader);

    // Settings > Connection Security...
    TlsOptions tlsOptions() const;
    void setTlsOptions(const TlsOptions &options);

    // Whether the window keeps the password in the system keyring.
    bool rememberPassword() const;
    void setRememberPassword(bool remember);

    // The projects opened or saved last, the latest first.
    QStringList recentProjects() const;
    void setRecentProjects(const QStringList &paths);

    // Whether Generate keeps the files whose text changes only in the
    // banner's date; off unless the user turned it on.
    bool keepUnchanged() const;
    void setKeepUnchanged(bool keep);

private:
    // A value a project file holds too, as its text there; its default when
    // none is stored.
    QString text(ProjectKey key) const;
    void setText(ProjectKey key, const QString &value);
    // The default project with `keys` taken from the stored values; a value
    // that cannot be read leaves the default.
    Project read(std::initializer_list<ProjectKey> keys) const;
    void write(const Project &project, std::initializer_list<ProjectKey> keys);

    QSettings m_settings;
};
