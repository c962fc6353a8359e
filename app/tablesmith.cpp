#include "app/tablesmith.h"
