#pragma once

#include <global/vellum_global.h>

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>

namespace crud {

// Base of the generated entity classes of tables whose key is an integer
// column named id. It holds that id; the generated class holds the other
// columns. A null id means the object has no row yet: the generated DAO's
// insertObject sets it from the table's sequence (see core/functions.h).
class TABLESMITH_RUNTIME_EXPORT ObjectBase : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QVariant id READ id WRITE setId)

public:
    explicit ObjectBase(QObject *parent = nullptr);
    ~ObjectBase() override;

    QVariant id() const { return m_id; }
    void setId(QVariant id) { m_id = id; }

private:
    QVariant m_id;
};

} // namespace crud
