// LED bar meter: a row or column of segments lit up to the current position.
#include <QAccessible>
#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "controls/RackCtls.h"
#include "controls/rack_accessible.h"
#include "controls/rack_paint.h"

namespace {

// Segments that a scale value covers: N ÷ (span ÷ share), rounded to the nearest
// whole number with halves going to the even neighbour. The value is measured from
// `Min`, so a scale that does not start at 0 fills up the same way as one that does.
int segmentCount(int32_t value, int32_t min, int32_t max, int32_t n) {
  const long double span = static_cast<long double>(max) - min;
  const long double share = static_cast<long double>(value) - min;
  if (span <= 0 || share <= 0 || n <= 0) return 0;
  const long double count = std::nearbyint(n / (span / share));  // default rounding: halves to even
  return static_cast<int>(std::clamp<long double>(count, 0, n));
}

}  // namespace

TLEDMeter::TLEDMeter(QWidget* parent)
    : QWidget(parent), announcer_([this] {
        if (position_ == announcedPosition_) return false;
        announcedPosition_ = position_;
        QAccessibleValueChangeEvent event(this, position_);
        AccessibleAnnouncer::send(&event);
        return true;
      }) {
  installRackAccessibility();
  for (int i = 0; i < 3; ++i) dimmed_[i] = ShiftBrightness(colorLED_[i], -50);
  resize(143, 16);
}

void TLEDMeter::setBevelStyle(TBevelCut v) {
  if (v == bevelStyle_) return;
  bevelStyle_ = v;
  redraw();
}

void TLEDMeter::setColorLED(int index, TColor v) {
  if (v == colorLED_[index]) return;
  colorLED_[index] = v;
  dimmed_[index] = ShiftBrightness(v, -50);
  redraw();
}
void TLEDMeter::setColorLED1(TColor v) { setColorLED(0, v); }
void TLEDMeter::setColorLED2(TColor v) { setColorLED(1, v); }
void TLEDMeter::setColorLED3(TColor v) { setColorLED(2, v); }

void TLEDMeter::setColorSeperator(TColor v) {
  if (v == colorSeperator_) return;
  colorSeperator_ = v;
  redraw();
}

void TLEDMeter::setDirection(TMeterDirection v) {
  if (v == direction_) return;
  direction_ = v;
  redraw();
}

void TLEDMeter::setMax(int32_t v) {
  if (v == max_) return;
  max_ = v;
  if (startColor2_ > max_) startColor2_ = max_;
  if (startColor3_ > max_) startColor3_ = max_;
  redraw();
}

void TLEDMeter::setMin(int32_t v) {
  if (v == min_) return;
  min_ = v;
  if (startColor2_ < min_) startColor2_ = min_;
  if (startColor3_ < min_) startColor3_ = min_;
  redraw();
}

void TLEDMeter::setNumDigits(int32_t v) {
  if (v == numDigits_) return;
  numDigits_ = v;
  redraw();
}

void TLEDMeter::setPosition(int32_t v) {
  // The comparison uses the value as passed: a value beyond the scale is clamped
  // but still counts as a change, so callers always get their notification.
  if (v == position_) return;
  if (v > max_) v = max_;
  if (v < min_) v = min_;
  const int litBefore = litSegments();
  position_ = v;
  redrawLit(litBefore);
  announcer_.changed();
  if (OnChange) OnChange(this);
}

int TLEDMeter::percent() const {
  const int64_t span = int64_t{max_} - min_;
  if (span <= 0) return 0;
  const int64_t share = std::clamp<int64_t>(int64_t{position_} - min_, 0, span);
  return static_cast<int>((share * 100 + span / 2) / span);  // halves round up: 10 of 16 is 63 %
}

void TLEDMeter::setStartColor2(int32_t v) {
  if (v == startColor2_) return;
  if (v > max_) v = max_;
  if (v < min_) v = min_;
  if (v > startColor3_) v = startColor3_;
  startColor2_ = v;
  redraw();
}

void TLEDMeter::setStartColor3(int32_t v) {
  if (v == startColor3_) return;
  if (v > max_) v = max_;
  if (v < min_) v = min_;
  if (v < startColor2_) v = startColor2_;
  startColor3_ = v;
  redraw();
}

void TLEDMeter::drawTo(QPainter& painter) const {
  painter.save();
  rack::preparePainter(painter);
  paintSegments(painter);
  painter.restore();
}

int TLEDMeter::litSegments() const { return segmentCount(position_, min_, max_, numDigits_); }

bool TLEDMeter::segmentsFit() const { return numDigits_ >= 1 && !segmentRect(0).isEmpty(); }

QRect TLEDMeter::segmentRect(int i) const {
  const int W = width(), H = height(), n = numDigits_;
  const int b = bevelStyle_ != bvNone ? 1 : 0;
  const bool row = direction_ == mdRight || direction_ == mdLeft;
  const int w = row ? (W - 2 * b) / n : W - 2 * b - 1;
  const int h = row ? H - 2 * b : (H - 2 * b) / n;
  if (w <= 0 || h <= 0) return {};  // more segments than pixels: nothing to draw
  int x = b, y = b;
  switch (direction_) {
    case mdRight: x = b + i * w; break;
    case mdLeft: x = W - b - (i + 1) * w - 1; break;
    case mdUp: y = H - b - (i + 1) * h; break;
    case mdDown: y = b + i * h; break;
  }
  // Columns x .. x+w and rows y .. y+h-1.
  return QRect(x, y, w + 1, h);
}

void TLEDMeter::paintSegments(QPainter& painter, int from, int to) const {
  const int lit = litSegments();
  const int c2 = segmentCount(startColor2_, min_, max_, numDigits_);
  const int c3 = segmentCount(startColor3_, min_, max_, numDigits_);
  for (int i = from; i < to; ++i) paintSegment(painter, segmentRect(i), i < lit, i < c2 ? 0 : (i < c3 ? 1 : 2));
}

void TLEDMeter::paintSegment(QPainter& painter, const QRect& outline, bool lit, int range) const {
  const QColor color = ColorToQColor(lit ? colorLED_[range] : dimmed_[range]);
  // Outline in the separator colour, inside in the segment colour. Neighbours share
  // their outline column or row, drawn in the same colour by both.
  painter.fillRect(outline, ColorToQColor(colorSeperator_));
  if (outline.width() > 2 && outline.height() > 2) painter.fillRect(outline.adjusted(1, 1, -1, -1), color);
}

void TLEDMeter::paintSegments(QPainter& painter) const {
  if (segmentsFit()) paintSegments(painter, 0, numDigits_);
  rack::drawControlBevel(painter, QRect(0, 0, width(), height()), bevelStyle_);
}

bool TLEDMeter::paintsEveryPixel() const {
  const int W = width(), H = height(), n = numDigits_;
  const int b = bevelStyle_ != bvNone ? 1 : 0;
  // The segments cover the whole inside across the direction they light up in; along
  // it, n segments cover n·w + 1 columns (they share separators) or n·h rows.
  if (n < 1 || W - 2 * b <= 0 || H - 2 * b <= 0) return false;
  if (direction_ == mdRight || direction_ == mdLeft) {
    const int w = (W - 2 * b) / n;
    return w > 0 && static_cast<int64_t>(n) * w + 1 >= W - 2 * b;
  }
  const int h = (H - 2 * b) / n;
  return h > 0 && W - 2 * b - 1 > 0 && static_cast<int64_t>(n) * h >= H - 2 * b;
}

void TLEDMeter::renderCache() {
  const qreal ratio = devicePixelRatioF();
  const QSize pixels = size() * ratio;
  if (pixels.isEmpty()) {
    if (cachePainter_.isActive()) cachePainter_.end();
    cache_ = QImage();
    return;
  }
  if (cache_.size() != pixels || cache_.devicePixelRatio() != ratio) {
    if (cachePainter_.isActive()) cachePainter_.end();
    cache_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    cache_.setDevicePixelRatio(ratio);
    cachePainter_.begin(&cache_);
    rack::preparePainter(cachePainter_);
  }
  cache_.fill(Qt::transparent);  // pixels the meter leaves alone show the parent
  paintSegments(cachePainter_);
  cacheStale_ = false;
}

void TLEDMeter::redraw() {
  // Drawn at once into the image the widget shows, then put on screen. While the
  // window's updates are off (nobody can see it) nothing is drawn: the next paint draws
  // the meter as it then stands.
  setAttribute(Qt::WA_OpaquePaintEvent, paintsEveryPixel());
  if (!updatesEnabled()) {
    cacheStale_ = true;
    return;
  }
  renderCache();
  update();
}

bool TLEDMeter::cacheFits() const {
  return !cache_.isNull() && cache_.size() == size() * devicePixelRatioF() &&
         cache_.devicePixelRatio() == devicePixelRatioF();
}

void TLEDMeter::redrawLit(int litBefore) {
  if (!updatesEnabled() || cacheStale_ || !cacheFits()) {
    redraw();
    return;
  }
  // Only the segments that went on or off are drawn again, and only they are put on
  // screen; the rest of the image stays as it is.
  const int lit = litSegments();
  if (lit == litBefore || !segmentsFit()) {
    update();  // nothing in the image changes
    return;
  }
  const int from = std::min(lit, litBefore), to = std::max(lit, litBefore);
  paintSegments(cachePainter_, from, to);
  // The outermost segments' outline can lie on the bevel, which is drawn over them.
  rack::drawControlBevel(cachePainter_, QRect(0, 0, width(), height()), bevelStyle_);
  update(segmentRect(from) | segmentRect(to - 1));
}

void TLEDMeter::resizeEvent(QResizeEvent*) { setAttribute(Qt::WA_OpaquePaintEvent, paintsEveryPixel()); }

void TLEDMeter::changeEvent(QEvent* event) {
  // The bevel's colours, and any colour property that is a system colour, follow the
  // desktop's palette.
  if ((event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange) && !cache_.isNull()) {
    renderCache();
    update();
  }
  QWidget::changeEvent(event);
}

void TLEDMeter::paintEvent(QPaintEvent*) {
  if (cacheStale_ || !cacheFits()) renderCache();
  QPainter painter(this);
  painter.drawImage(QPoint(0, 0), cache_);
}
