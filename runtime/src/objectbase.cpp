#include <data/objectbase.h>

namespace crud {

ObjectBase::ObjectBase(QObject *parent)
    : QObject(parent)
{
}

ObjectBase::~ObjectBase() = default;

} // namespace crud
