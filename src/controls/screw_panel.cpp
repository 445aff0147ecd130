// Screw panel: a container drawn as the front plate of a rack unit.
#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>

#include "controls/RackCtls.h"
#include "controls/rack_accessible.h"
#include "controls/rack_paint.h"

namespace {

// Panel bevel of `width` pixels on (l, t, r, b), right and bottom exclusive, as nested
// 1-pixel frames: first colour along the top and the left, second along the right
// and the bottom.
void drawPanelBevel(QPainter& painter, int l, int t, int r, int b, int width, const QColor& first,
                    const QColor& second) {
  for (int i = 0; i < width && r - l > 0 && b - t > 0; ++i, ++l, ++t, --r, --b) {
    rack::drawLine(painter, QPoint(r - 1, t), QPoint(l, t), first);
    rack::drawLine(painter, QPoint(l, t), QPoint(l, b - 1), first);
    rack::drawLine(painter, QPoint(r - 1, t), QPoint(r - 1, b - 1), second);
    rack::drawLine(painter, QPoint(r - 1, b - 1), QPoint(l, b - 1), second);
  }
}

// One half of a screw's rim (a ring `pen` pixels wide inside the box). The halves are
// parted along the diagonal from upper right to lower left; pixels on the diagonal
// belong to both halves, so the one drawn later owns them.
void fillRimHalf(QPainter& painter, const QRect& box, int pen, bool upperLeft, const QColor& color) {
  QPainterPath ring;
  ring.addEllipse(QRectF(box));
  QPainterPath inner;
  inner.addEllipse(QRectF(box).adjusted(pen, pen, -pen, -pen));
  ring = ring.subtracted(inner);
  const QPointF c = QRectF(box).center();
  const qreal d = box.width() + box.height();
  QPolygonF half;
  if (upperLeft)
    half << QPointF(c.x() + d + 0.5, c.y() - d) << QPointF(c.x() - d, c.y() + d + 0.5) << QPointF(c.x() - d, c.y() - d);
  else
    half << QPointF(c.x() + d, c.y() - d - 0.5) << QPointF(c.x() - d - 0.5, c.y() + d) << QPointF(c.x() + d, c.y() + d);
  QPainterPath clip;
  clip.addPolygon(half);
  painter.fillPath(ring.intersected(clip), color);
}

}  // namespace

TScrewPanel::TScrewPanel(QWidget* parent) : QWidget(parent) {
  installRackAccessibility();
  setAttribute(Qt::WA_OpaquePaintEvent);  // the face covers every pixel
  highlight_ = ShiftBrightness(color_, 50);
  shadow_ = ShiftBrightness(color_, -50);
  resize(45, 45);
}

void TScrewPanel::setColor(TColor v) {
  // Highlight and shadow are taken from the colour as it resolves now; a later
  // change of the desktop colours does not move them until the colour is set again.
  color_ = v;
  highlight_ = ShiftBrightness(v, 50);
  shadow_ = ShiftBrightness(v, -50);
  redraw();
}

void TScrewPanel::setMargin(int32_t v) {
  if (v >= width() - screwSize_ || v >= height() - screwSize_) return;
  margin_ = v;
  redraw();
}

void TScrewPanel::setScrewSize(uint8_t v) {
  if (v < 1 || v > 8) return;  // screw sizes run from 1 to 8
  if (v >= width() || v >= height()) return;
  screwSize_ = v;
  redraw();
}

void TScrewPanel::setShowScrews(bool v) {
  showScrews_ = v;
  redraw();
}
void TScrewPanel::setAlignment(TAlignment v) {
  alignment_ = v;
  redraw();
}
void TScrewPanel::setBevelInner(TBevelCut v) {
  bevelInner_ = v;
  redraw();
}
void TScrewPanel::setBevelOuter(TBevelCut v) {
  bevelOuter_ = v;
  redraw();
}
void TScrewPanel::setBevelWidth(int32_t v) {
  if (v < 1) return;
  bevelWidth_ = v;
  redraw();
}
void TScrewPanel::setBorderWidth(int32_t v) {
  if (v < 0) return;
  borderWidth_ = v;
  redraw();
}
void TScrewPanel::setCaption(const QString& v) {
  caption_ = v;
  redraw();
}

void TScrewPanel::drawTo(QPainter& painter) const {
  painter.save();
  rack::preparePainter(painter);
  const QColor face = ColorToQColor(color_), light = ColorToQColor(highlight_), dark = ColorToQColor(shadow_);
  int l = 0, t = 0, r = width(), b = height();
  painter.fillRect(QRect(l, t, r, b), face);

  int pen = 1;
  auto bevel = [&](TBevelCut cut) {
    const bool raised = cut == bvRaised;
    drawPanelBevel(painter, l, t, r, b, bevelWidth_, raised ? light : dark, raised ? dark : light);
    pen = bevelWidth_;
  };
  int inset = borderWidth_;
  if (bevelOuter_ != bvNone) {
    bevel(bevelOuter_);
    inset += bevelWidth_;
  }
  l += inset, t += inset, r -= inset, b -= inset;
  if (bevelInner_ != bvNone) {
    bevel(bevelInner_);
    l += bevelWidth_, t += bevelWidth_, r -= bevelWidth_, b -= bevelWidth_;
  }

  if (showScrews_) {
    const int q = screwSize_, d = 4 * q;
    const QPoint corners[4] = {{l + margin_, t + margin_},
                               {r - margin_ - d, t + margin_},
                               {l + margin_, b - margin_ - d},
                               {r - margin_ - d, b - margin_ - d}};
    const QColor silver = ColorToQColor(clSilver), gray = ColorToQColor(clGray), white = ColorToQColor(clWhite);
    for (const QPoint& corner : corners) {
      const int X = corner.x(), Y = corner.y();
      const QRect box(X, Y, d, d);
      rack::fillEllipse(painter, box, dark);  // rim
      rack::fillEllipse(painter, box.adjusted(pen, pen, -pen, -pen), silver);
      fillRimHalf(painter, box, pen, true, dark);
      rack::drawLine(painter, QPoint(X + q - 1, Y + 3 * q - 1), QPoint(X + 3 * q, Y + q - 2), gray, pen);  // slot
      fillRimHalf(painter, box, pen, false, light);
      rack::drawLine(painter, QPoint(X + q, Y + 3 * q), QPoint(X + 3 * q + 1, Y + q - 1), white, pen);  // its edge
    }
  }

  if (!caption_.isEmpty() && r > l && b > t) {
    const QRect area(l, t, r - l, b - t);
    int flags = Qt::AlignVCenter | Qt::TextSingleLine;
    flags |= alignment_ == taLeftJustify    ? Qt::AlignLeft
             : alignment_ == taRightJustify ? Qt::AlignRight
                                            : Qt::AlignHCenter;
    painter.setClipRect(area);
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(area, flags, caption_);
  }
  painter.restore();
}

void TScrewPanel::redraw() {
  cacheValid_ = false;
  update();
}

void TScrewPanel::changeEvent(QEvent* event) {
  // The face and the bevel colours may be system colours, the caption uses the font
  // and the palette's text colour. A change of the desktop's palette or font reaches
  // the panel as a change of its own.
  switch (event->type()) {
    case QEvent::PaletteChange:
    case QEvent::FontChange:
    case QEvent::StyleChange: redraw(); break;
    default: break;
  }
  QWidget::changeEvent(event);
}

void TScrewPanel::paintEvent(QPaintEvent* event) {
  const qreal ratio = devicePixelRatioF();
  const QSize pixels = size() * ratio;
  if (pixels.isEmpty()) return;
  if (!cacheValid_ || cache_.size() != pixels || cache_.devicePixelRatio() != ratio) {
    if (cache_.size() != pixels) cache_ = QPixmap(pixels);
    cache_.setDevicePixelRatio(ratio);
    QPainter painter(&cache_);
    drawTo(painter);
    cacheValid_ = true;
  }
  // Only what was exposed, pixel for pixel from the pixmap.
  QPainter painter(this);
  for (const QRect& r : event->region())
    painter.drawPixmap(r.topLeft(), cache_, QRect(r.topLeft() * ratio, r.size() * ratio));
}
