#include "generators/modelgen.h"
