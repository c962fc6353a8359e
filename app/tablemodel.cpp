#include "app/tablemodel.h"
