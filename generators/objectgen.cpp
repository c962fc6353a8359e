#include "generators/objectgen.h"
