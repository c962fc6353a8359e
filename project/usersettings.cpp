#include "project/usersettings.h"

#include <QCoreApplication>

namespace {
const QString perTable = QStringLiteral("per-table");
} // namespace

UserSettings::UserSettings()
    : m_settings(QStringLiteral("Tablesmith"), QCoreApplication::applicationName())
{
}

UserSettings::Form UserSettings::form() const
{
    Form form;
    form.host = m_settings.value(QStringLiteral("form/host"), form.host).toString();
    form.schema = m_settings.value(QStringLiteral("form/schema")).toString();
    form.user = m_settings.value(QStringLiteral("form/user")).toString();
    form.port = m_settings.value(QStringLiteral("form/port"), form.port).toString();
    return form;
}

void UserSettings::setForm(const Form &form)
{
    m_settings.setValue(QStringLiteral("form/host"), form.host);
    m_settings.setValue(QStringLiteral("form/schema"), form.schema);
    m_settings.setValue(QStringLiteral("form/user"), form.user);
    m_settings.setValue(QStringLiteral("form/port"), form.port);
}

QByteArray UserSettings::windowGeometry() const
{
    return m_settings.value(QStringLiteral("window/geometry")).toByteArray();
}

void UserSettings::setWindowGeometry(const QByteArray &geometry)
{
    m_settings.setValue(QStringLiteral("window/geometry"), geometry);
}

QString UserSettings::outputFolder() const
{
    return m_settings.value(QStringLiteral("output/folder")).toString();
}

void UserSettings::setOutputFolder(const QString &folder)
{
    m_settings.setValue(QStringLiteral("output/folder"), folder);
}

GenerationRun::CatalogReader UserSettings::catalogReader() const
{
    return m_settings.value(QStringLiteral("catalog/reader")).toString() == perTable
            ? GenerationRun::CatalogReader::PerTable
            : GenerationRun::CatalogReader::SchemaWide;
}

void UserSettings::setCatalogReader(GenerationRun::CatalogReader reader)
{
    m_settings.setValue(QStringLiteral("catalog/reader"),
                        reader == GenerationRun::CatalogReader::PerTable ? perTable : QStringLiteral("schema"));
}

TlsOptions UserSettings::tlsOptions() const
{
    TlsOptions options;
    options.required = m_settings.value(QStringLiteral("tls/ssl"), false).toBool();
    options.ca = m_settings.value(QStringLiteral("tls/ssl-ca")).toString();
    options.caPath = m_settings.value(QStringLiteral("tls/ssl-capath")).toString();
    options.cert = m_settings.value(QStringLiteral("tls/ssl-cert")).toString();
    options.key = m_settings.value(QStringLiteral("tls/ssl-key")).toString();
    options.cipher = m_settings.value(QStringLiteral("tls/ssl-cipher")).toString();
    options.verifyServerCert = m_settings.value(QStringLiteral("tls/ssl-verify-server-cert"), false).toBool();
    return options;
}

void UserSettings::setTlsOptions(const TlsOptions &options)
{
    m_settings.setValue(QStringLiteral("tls/ssl"), options.required);
    m_settings.setValue(QStringLiteral("tls/ssl-ca"), options.ca);
    m_settings.setValue(QStringLiteral("tls/ssl-capath"), options.caPath);
    m_settings.setValue(QStringLiteral("tls/ssl-cert"), options.cert);
    m_settings.setValue(QStringLiteral("tls/ssl-key"), options.key);
    m_settings.setValue(QStringLiteral("tls/ssl-cipher"), options.cipher);
    m_settings.setValue(QStringLiteral("tls/ssl-verify-server-cert"), options.verifyServerCert);
}

QStringList UserSettings::recentProjects() const
{
    return m_settings.value(QStringLiteral("projects/recent")).toStringList();
}

void UserSettings::setRecentProjects(const QStringList &paths)
{
    m_settings.setValue(QStringLiteral("projects/recent"), paths);
}

bool UserSettings::rememberPassword() const
{
    return m_settings.value(QStringLiteral("keyring/remember"), false).toBool();
}

void UserSettings::setRememberPassword(bool remember)
{
    m_settings.setValue(QStringLiteral("keyring/remember"), remember);
}

bool UserSettings::keepUnchanged() const
{
    return m_settings.value(QStringLiteral("generate/keepUnchanged"), false).toBool();
}

void UserSettings::setKeepUnchanged(bool keep)
{
    m_settings.setValue(QStringLiteral("generate/keepUnchanged"), keep);
}
