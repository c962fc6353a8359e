#include "app/tableitem.h"
