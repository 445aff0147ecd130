// Colour values and the brightness shift (placeholder).
#include "controls/RackCtls.h"

QColor ColorToQColor(TColor color) { return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF); }
TColor ShiftBrightness(TColor color, int) { return color; }
