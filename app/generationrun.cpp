#include "app/generationrun.h"
