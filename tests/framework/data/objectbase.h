#pragma once

#include <global/vellum_global.h>

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>

namespace crud {

// Base of the entity classes of tables with an id column: it holds the id.
class VELLUM_EXPORT ObjectBase : public QObject
{
public:
    explicit ObjectBase(QObject *parent = nullptr) : QObject(parent) {}

    QVariant id() const { return m_id; }
    void setId(QVariant id) { m_id = id; }

private:
    QVariant m_id;
};

} // namespace crud
