#include "mysql/threadconnections.h"

namespace mysql {

namespace {

thread_local QString t_schema;
thread_local QString t_catalog;

} // namespace

QString schemaConnection()
{
    return t_schema.isEmpty() ? QStringLiteral("Connection") : t_schema;
}

QString catalogConnection()
{
    return t_catalog.isEmpty() ? QStringLiteral("InformationSchema") : t_catalog;
}

ThreadConnectionNames::ThreadConnectionNames(const QString &schema, const QString &catalog)
    : m_previousSchema(t_schema)
    , m_previousCatalog(t_catalog)
{
    t_schema = schema;
    t_catalog = catalog;
}

ThreadConnectionNames::~ThreadConnectionNames()
{
    t_schema = m_previousSchema;
    t_catalog = m_previousCatalog;
}

} // namespace mysql
