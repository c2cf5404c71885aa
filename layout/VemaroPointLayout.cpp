#include "VemaroDrawer.h"

PF_Err ShapeDrawer::createPointPatterns() { return PF_Err_NONE; }
