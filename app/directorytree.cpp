#include "app/directorytree.h"
