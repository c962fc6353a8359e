#include "app/usersettings.h"

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

bool UserSettings::keepUnchanged() const
{
    return m_settings.value(QStringLiteral("generate/keepUnchanged"), false).toBool();
}

void UserSettings::setKeepUnchanged(bool keep)
{
    m_settings.setValue(QStringLiteral("generate/keepUnchanged"), keep);
}
