#pragma once

#include <global/vellum_global.h>

#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>

namespace crud {

// Base of the generated data-access classes, one per table. Each generated
// DAO is a singleton (T...DAO::instance(), owned by the application object)
// that works on the calling thread's connection of the Session
// (core/connectionpool.h). Failures do not throw: they give false, null or
// an empty list.
template<class T>
class GenericDAO : public QObject
{
public:
    explicit GenericDAO(QObject *parent = nullptr) : QObject(parent) {}

    // Writes a new row. For a table with an id column, the id is first taken
    // from the table's sequence and set on the object.
    virtual bool insertObject(T *obj) = 0;
    // Writes the object's values to the row of its key.
    virtual bool updateObject(T *obj) = 0;
    // Generated DAOs do not delete rows: false.
    virtual bool deleteObject(T *obj) = 0;
    // The row of that key as a new object (a child of the DAO), or null.
    virtual T *getById(qlonglong id) = 0;
    // Every row, as new objects (children of the DAO).
    virtual QList<T *> getAll() = 0;
    // The rows whose column `columnName` equals `value`. The column name is
    // put into the statement as it is: never pass text a user typed.
    virtual QList<T *> getByMatch(const QString &columnName, QVariant value) = 0;
};

} // namespace crud
