#include "project/usersettings.h"

#include <QCoreApplication>

namespace {

// The window's own keys, which no project file has.
const QString geometryKey = QStringLiteral("window/geometry");
const QString recentProjectsKey = QStringLiteral("projects/recent");
const QString rememberPasswordKey = QStringLiteral("keyring/remember");

constexpr std::initializer_list<ProjectKey> tlsKeys = {
        ProjectKey::Ssl,     ProjectKey::SslCa,     ProjectKey::SslCapath,          ProjectKey::SslCert,
        ProjectKey::SslKey, ProjectKey::SslCipher, ProjectKey::SslVerifyServerCert};

} // namespace

UserSettings::UserSettings()
    : m_settings(QStringLiteral("Tablesmith"), QCoreApplication::applicationName())
{
}

QString UserSettings::text(ProjectKey key) const
{
    for (const QString &name : {settingsKey(key), formerSettingsKey(key)}) {
        if (!name.isEmpty() && m_settings.contains(name))
            return m_settings.value(name).toString();
    }
    return projectValue(Project(), key);
}

void UserSettings::setText(ProjectKey key, const QString &value)
{
    m_settings.setValue(settingsKey(key), value);
    // The older key would only be read again by an older version.
    const QString former = formerSettingsKey(key);
    if (!former.isEmpty())
        m_settings.remove(former);
}

Project UserSettings::read(std::initializer_list<ProjectKey> keys) const
{
    Project project;
    for (const ProjectKey key : keys)
        setProjectValue(&project, key, text(key));
    return project;
}

void UserSettings::write(const Project &project, std::initializer_list<ProjectKey> keys)
{
    for (const ProjectKey key : keys)
        setText(key, projectValue(project, key));
}

UserSettings::Form UserSettings::form() const
{
    // As typed, so not read through a project, which takes only a valid port.
    return {text(ProjectKey::Host), text(ProjectKey::Schema), text(ProjectKey::User), text(ProjectKey::Port)};
}

void UserSettings::setForm(const Form &form)
{
    setText(ProjectKey::Host, form.host);
    setText(ProjectKey::Schema, form.schema);
    setText(ProjectKey::User, form.user);
    setText(ProjectKey::Port, form.port);
}

QByteArray UserSettings::windowGeometry() const
{
    return m_settings.value(geometryKey).toByteArray();
}

void UserSettings::setWindowGeometry(const QByteArray &geometry)
{
    m_settings.setValue(geometryKey, geometry);
}

QString UserSettings::outputFolder() const
{
    return read({ProjectKey::Output}).outputDirectory;
}

void UserSettings::setOutputFolder(const QString &folder)
{
    Project project;
    project.outputDirectory = folder;
    write(project, {ProjectKey::Output});
}

CatalogReader UserSettings::catalogReader() const
{
    return read({ProjectKey::Catalog}).catalogReader;
}

void UserSettings::setCatalogReader(CatalogReader reader)
{
    Project project;
    project.catalogReader = reader;
    write(project, {ProjectKey::Catalog});
}

TlsOptions UserSettings::tlsOptions() const
{
    return read(tlsKeys).connection.tls;
}

void UserSettings::setTlsOptions(const TlsOptions &options)
{
    Project project;
    project.connection.tls = options;
    write(project, tlsKeys);
}

QStringList UserSettings::recentProjects() const
{
    return m_settings.value(recentProjectsKey).toStringList();
}

void UserSettings::setRecentProjects(const QStringList &paths)
{
    m_settings.setValue(recentProjectsKey, paths);
}

bool UserSettings::rememberPassword() const
{
    return m_settings.value(rememberPasswordKey, false).toBool();
}

void UserSettings::setRememberPassword(bool remember)
{
    m_settings.setValue(rememberPasswordKey, remember);
}

bool UserSettings::keepUnchanged() const
{
    return read({ProjectKey::KeepUnchanged}).keepUnchanged;
}

void UserSettings::setKeepUnchanged(bool keep)
{
    Project project;
    project.keepUnchanged = keep;
    write(project, {ProjectKey::KeepUnchanged});
}
