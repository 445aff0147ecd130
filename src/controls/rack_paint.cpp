// Pixel-exact drawing primitives shared by the rack controls.
#include "controls/rack_paint.h"

#include <QPaintDevice>
#include <QPainterPath>
#include <cstdlib>

namespace rack {

void drawLine(QPainter& painter, QPoint from, QPoint to, const QColor& color, int width) {
  if (width > 1) {
    painter.save();
    painter.setPen(QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawLine(QPointF(from) + QPointF(0.5, 0.5), QPointF(to) + QPointF(0.5, 0.5));
    painter.restore();
    return;
  }
  // Bresenham walk over the integer grid; the end point itself is left out.
  int x = from.x(), y = from.y();
  const int dx = std::abs(to.x() - x), dy = -std::abs(to.y() - y);
  const int sx = x < to.x() ? 1 : -1, sy = y < to.y() ? 1 : -1;
  int err = dx + dy;
  while (x != to.x() || y != to.y()) {
    painter.fillRect(QRect(x, y, 1, 1), color);
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
}

void fillEllipse(QPainter& painter, const QRect& box, const QColor& color) {
  if (box.width() <= 0 || box.height() <= 0) return;
  QPainterPath path;
  path.addEllipse(QRectF(box));
  painter.fillPath(path, color);
}

void drawControlBevel(QPainter& painter, const QRect& rect, TBevelCut cut) {
  if (cut == bvNone || rect.width() <= 0 || rect.height() <= 0) return;
  const QColor first = ColorToQColor(cut == bvRaised ? clBtnHighlight : clBtnShadow);
  const QColor second = ColorToQColor(cut == bvRaised ? clBtnShadow : clBtnHighlight);
  const int l = rect.left(), t = rect.top(), r = rect.right(), b = rect.bottom();
  painter.fillRect(QRect(l, t, rect.width(), 1), first);       // whole top row
  painter.fillRect(QRect(l, t, 1, rect.height() - 1), first);  // left column without its bottom pixel
  painter.fillRect(QRect(l, b, rect.width(), 1), second);      // whole bottom row
  if (rect.height() > 1) painter.fillRect(QRect(r, t + 1, 1, rect.height() - 1), second);
}

void preparePainter(QPainter& painter) {
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::NoBrush);
}

qreal painterDeviceRatio(const QPainter& painter) {
  const QPaintDevice* device = painter.device();
  return device ? device->devicePixelRatioF() : 1.0;
}

}  // namespace rack
