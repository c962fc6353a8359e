#include "generators/daogen.h"
