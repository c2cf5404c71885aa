// Layouts not written yet: each creates no element. Remove a layout's entry
// here when its own file defines it.
#include "VemaroDrawer.h"

PF_Err ShapeDrawer::createCirclePatterns() { return PF_Err_NONE; }
PF_Err ShapeDrawer::createRectanglePatterns() { return PF_Err_NONE; }
PF_Err ShapeDrawer::createPathPatterns() { return PF_Err_NONE; }
PF_Err ShapeDrawer::createWaveformPatterns() { return PF_Err_NONE; }
PF_Err ShapeDrawer::createGraphPatterns() { return PF_Err_NONE; }
PF_Err ShapeDrawer::createRandomPatterns() { return PF_Err_NONE; }
