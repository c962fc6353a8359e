#include "generators/editorgen.h"
