#include <data/objectbase.h>

void callWhatDoesNotExist(crud::ObjectBase *object) { object->setNothing(1); }
