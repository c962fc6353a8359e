#pragma once

#include <global/vellum_global.h>

#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>

namespace crud {

// Base of the data-access classes. The operations are pure so that a
// generated class whose declarations do not match cannot be instantiated.
template<class T>
class GenericDAO : public QObject
{
public:
    explicit GenericDAO(QObject *parent = nullptr) : QObject(parent) {}

    virtual bool insertObject(T *obj) = 0;
    virtual bool updateObject(T *obj) = 0;
    virtual bool deleteObject(T *obj) = 0;
    virtual T *getById(qlonglong id) = 0;
    virtual QList<T *> getAll() = 0;
    virtual QList<T *> getByMatch(const QString &columnName, QVariant value) = 0;
};

} // namespace crud
