// Pixel-exact drawing primitives shared by the rack controls. All coordinates are
// logical pixels; on a high-DPI surface the painter's scale turns each logical pixel
// into a block of device pixels, so nothing is smoothed and edges stay sharp.
#pragma once

#include <QColor>
#include <QPainter>
#include <QPoint>
#include <QRect>

#include "controls/RackCtls.h"

namespace rack {

// A line of the given width. Width 1 draws the pixels from `from` up to, but not
// including, `to` (each pixel once, so polylines join without gaps or doubles);
// wider lines are centred on the path with round ends.
void drawLine(QPainter& painter, QPoint from, QPoint to, const QColor& color, int width = 1);

// A filled ellipse inside the box (left, top, right, bottom), right and bottom
// exclusive: the pixels whose centres lie inside the ellipse.
void fillEllipse(QPainter& painter, const QRect& box, const QColor& color);

// The 1-pixel bevel round `rect`: top row and left column (without its bottom pixel)
// in the first colour, bottom row and right column (without its top pixel) in the
// second. Raised uses the button highlight first; every other cut the button shadow.
void drawControlBevel(QPainter& painter, const QRect& rect, TBevelCut cut);

// A painter ready for pixel-exact work: no antialiasing, no pen, no brush.
void preparePainter(QPainter& painter);

// Device pixel ratio of the surface a painter draws on (1 when unknown).
qreal painterDeviceRatio(const QPainter& painter);

}  // namespace rack
