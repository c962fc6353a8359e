#pragma once

#include "engine/generationrun.h"
#include "connection/tlsoptions.h"

#include <QByteArray>
#include <QSettings>
#include <QString>

// What the window remembers from one start to the next: the connection form
// (never the password), its own size and place, the output folder the user
// chose and how the catalogue is read. Stored with QSettings under the
// organisation "Tablesmith" and the application's name.
class UserSettings
{
public:
    UserSettings();

    // The form's fields as typed; on the first start "localhost" and "3306".
    struct Form
    {
        QString host = QStringLiteral("localhost");
        QString schema;
        QString user;
        QString port = QStringLiteral("3306");
    };
    Form form() const;
    void setForm(const Form &form);

    QByteArray windowGeometry() const;
    void setWindowGeometry(const QByteArray &geometry);

    // The folder that receives "code", as the user chose it; empty when
    // none was chosen.
    QString outputFolder() const;
    void setOutputFolder(const QString &folder);

    // The schema-wide reader unless the user asked for the table-by-table
    // queries.
    GenerationRun::CatalogReader catalogReader() const;
    void setCatalogReader(GenerationRun::CatalogReader reader);

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
    QSettings m_settings;
};
