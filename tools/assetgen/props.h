// Pictures one generator borrows from another.
#pragma once

#include "tools/assetgen/canvas.h"

// The soldier model carved in stone, standing on nothing: for the statue.
Canvas StoneFigure();
