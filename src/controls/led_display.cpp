// LED numeric display: a value shown as seven-segment digits with a separator glyph.
#include <QAccessible>
#include <QPaintEvent>
#include <QPainter>
#include <QPolygon>

#include "controls/RackCtls.h"
#include "controls/led_text.h"
#include "controls/rack_accessible.h"
#include "controls/rack_paint.h"

namespace {

// Segments in drawing order.
enum Segment { kTop, kUpperLeft, kUpperRight, kMiddle, kLowerLeft, kLowerRight, kBottom, kSegmentCount };

// Lit segments per image cell, one bit per segment in drawing order (bit 0 = top).
constexpr uint8_t kLitSegments[TLEDDisplay::kGlyphCount] = {
    0b1110111,  // 0
    0b0100100,  // 1
    0b1011101,  // 2
    0b1101101,  // 3
    0b0101110,  // 4
    0b1101011,  // 5
    0b1111010,  // 6: no top segment
    0b0100101,  // 7
    0b1111111,  // 8
    0b1101111,  // 9: with its bottom segment
    0b0001000,  // minus: the middle segment
    0b0000000,  // blank: nothing lit
};

int glyphIndex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c == '-') return TLEDDisplay::kMinusGlyph;
  return TLEDDisplay::kBlankGlyph;
}

}  // namespace

TLEDDisplay::TLEDDisplay(QWidget* parent)
    : QWidget(parent), announcer_([this] {
        const QString text = shownText();
        if (text == announcedText_) return false;
        QAccessibleTextUpdateEvent event(this, 0, announcedText_, text);
        AccessibleAnnouncer::send(&event);
        announcedText_ = text;
        return true;
      }) {
  installRackAccessibility();
  // Every pixel is painted, so the parent need not draw underneath.
  setAttribute(Qt::WA_OpaquePaintEvent);
  dimmed_ = ShiftBrightness(colorLED_, -50);
  resize(168, 36);
  buildDigitImages();
}

void TLEDDisplay::setBevelStyle(TBevelCut v) {
  bevelStyle_ = v;
  update();
}
void TLEDDisplay::setBorderStyle(TBorderStyle v) {
  borderStyle_ = v;
  update();
}
void TLEDDisplay::setColorBackGround(TColor v) {
  colorBackGround_ = v;
  buildDigitImages();
  update();
}
void TLEDDisplay::setColorLED(TColor v) {
  colorLED_ = v;
  dimmed_ = ShiftBrightness(v, -50);
  buildDigitImages();
  update();
}
void TLEDDisplay::setDecSeperator(TDecSeperator v) {
  decSeperator_ = v;
  update();
  announcer_.changed();
}
void TLEDDisplay::setDigitHeight(int32_t v) {
  digitHeight_ = v;
  buildDigitImages();
  update();
}
void TLEDDisplay::setDigitWidth(int32_t v) {
  digitWidth_ = v;
  buildDigitImages();
  update();
}
void TLEDDisplay::setDigitLineWidth(int32_t v) {
  digitLineWidth_ = v;
  buildDigitImages();
  update();
}
void TLEDDisplay::setFractionDigits(int32_t v) {
  fractionDigits_ = v;
  if (fractionDigits_ > numDigits_ - 1) fractionDigits_ = numDigits_ - 1;
  update();
  announcer_.changed();
}
void TLEDDisplay::setLeadingZeros(bool v) {
  leadingZeros_ = v;
  update();
  announcer_.changed();
}
void TLEDDisplay::setNumDigits(int32_t v) {
  numDigits_ = v;
  update();
  announcer_.changed();
}
void TLEDDisplay::setSegmentStyle(TSegmentStyle v) {
  segmentStyle_ = v;
  buildDigitImages();
  update();
}
void TLEDDisplay::setValue(long double v) {
  value_ = v;
  update();
  announcer_.changed();
  if (OnChange) OnChange(this);
}

QString TLEDDisplay::shownText() const {
  constexpr char kSeparator[] = {'.', ',', ':', '-'};  // by TDecSeperator
  QString shown;
  forEachLedCell(ledDisplayText(value_, fractionDigits_, numDigits_), numDigits_, leadingZeros_,
                 [&](int, char c, bool separatorAfter) {
                   if (c != '\0' && c != ' ') shown += QLatin1Char(c);
                   if (separatorAfter) shown += QLatin1Char(kSeparator[decSeperator_]);
                 });
  return shown;
}

void TLEDDisplay::buildDigitImages() {
  digitsRatio_ = devicePixelRatioF();
  buildDigitImages(digits_, digitsRatio_);
}

void TLEDDisplay::buildDigitImages(QImage (&images)[kGlyphCount], qreal ratio) const {
  const int w = digitWidth_, h = digitHeight_, lw = digitLineWidth_;
  const QColor background = ColorToQColor(colorBackGround_);
  const QColor lit = ColorToQColor(colorLED_), dark = ColorToQColor(dimmed_);
  for (int glyph = 0; glyph < kGlyphCount; ++glyph) {
    if (w <= 0 || h <= 0) {
      images[glyph] = QImage();
      continue;
    }
    QImage image(QSize(w, h) * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(background);
    QPainter painter(&image);
    rack::preparePainter(painter);
    auto colorOf = [&](int segment) { return (kLitSegments[glyph] >> segment) & 1 ? lit : dark; };

    if (segmentStyle_ == ssBeveled) {
      const int k = lw + 1, m = h / 2, t = (lw + 2) / 2;
      const QPoint P[14] = {{0, 0},
                            {w - 1, 0},
                            {k, k},
                            {w - 1 - k, k},
                            {0, m},
                            {k, m - t},
                            {w - 1 - k, m - t},
                            {w - 1, m},
                            {k, m + t},
                            {w - 1 - k, m + t},
                            {0, h - 1},
                            {k, h - 1 - k},
                            {w - 1 - k, h - 1 - k},
                            {w - 1, h - 1}};
      const QPolygon polygons[kSegmentCount] = {
          QPolygon({P[0], P[1], P[3], P[2]}),              // top
          QPolygon({P[0], P[2], P[5], P[4]}),              // upper left
          QPolygon({P[1], P[7], P[6], P[3]}),              // upper right
          QPolygon({P[4], P[5], P[6], P[7], P[9], P[8]}),  // middle
          QPolygon({P[4], P[8], P[11], P[10]}),            // lower left
          QPolygon({P[7], P[13], P[12], P[9]}),            // lower right
          QPolygon({P[10], P[11], P[12], P[13]}),          // bottom
      };
      for (int s = 0; s < kSegmentCount; ++s) {
        // Filled in the segment colour, outlined in the background colour: the
        // outline leaves a thin seam between neighbouring segments.
        painter.setBrush(colorOf(s));
        painter.drawPolygon(polygons[s]);
        const QPolygon& poly = polygons[s];
        for (int i = 0; i < poly.size(); ++i) rack::drawLine(painter, poly[i], poly[(i + 1) % poly.size()], background);
      }
    } else {
      const int m = h / 2, half = lw / 2, x1 = w - half - 1;
      const QPoint lines[kSegmentCount][2] = {
          {{lw, half}, {w - lw - 1, half}},              // top
          {{half, (3 * lw) / 2}, {half, m - lw}},        // upper left
          {{x1, (3 * lw) / 2}, {x1, m - lw}},            // upper right
          {{lw, m}, {w - lw, m}},                        // middle
          {{half, m + lw}, {half, h - (3 * lw) / 2}},    // lower left
          {{x1, m + lw}, {x1, h - (3 * lw) / 2}},        // lower right
          {{lw, h - half - 1}, {w - lw, h - half - 1}},  // bottom
      };
      for (int s = 0; s < kSegmentCount; ++s) rack::drawLine(painter, lines[s][0], lines[s][1], colorOf(s), lw);
    }
    painter.end();
    images[glyph] = image;
  }
}

void TLEDDisplay::drawTo(QPainter& painter) const {
  painter.save();
  rack::preparePainter(painter);
  const int W = width(), H = height(), N = numDigits_, DH = digitHeight_;
  painter.fillRect(QRect(0, 0, W, H), ColorToQColor(colorBackGround_));

  // More cells than pixels would stack every digit in one place: draw none.
  if (N >= 1 && W / N > 0) {
    // Digit images made for another pixel ratio would be scaled and blurred; make
    // a set for this surface instead.
    const qreal ratio = rack::painterDeviceRatio(painter);
    QImage local[kGlyphCount];
    const QImage* images = digits_;
    if (ratio != digitsRatio_) {
      buildDigitImages(local, ratio);
      images = local;
    }
    const LedText text = ledDisplayText(value_, fractionDigits_, N);
    const QColor led = ColorToQColor(colorLED_);
    const int cell = W / N;
    const int y = (H - DH) / 2;
    forEachLedCell(text, N, leadingZeros_, [&](int index, char c, bool separatorAfter) {
      if (c != '\0') {
        const QImage& image = images[glyphIndex(c)];
        if (!image.isNull()) painter.drawImage(QPoint((cell - digitWidth_) / 2 + index * cell, y), image);
      }
      if (!separatorAfter) return;
      // The glyph stands just left of where the next cell's digit would begin.
      const int x = (cell - digitWidth_) / 2 + (index + 1) * cell;
      switch (decSeperator_) {
        case dsPoint: rack::fillEllipse(painter, QRect(x - 6, y + DH - 5, 4, 4), led); break;
        case dsComma:
          rack::fillEllipse(painter, QRect(x - 6, y + DH - 8, 4, 4), led);
          rack::drawLine(painter, QPoint(x - 3, y + DH - 5), QPoint(x - 6, y + DH - 1), led);
          rack::drawLine(painter, QPoint(x - 6, y + DH - 1), QPoint(x - 2, y + DH - 6), led);
          break;
        case dsDoublePoint:
          for (const int e : {y + DH / 3, y + (2 * DH) / 3}) rack::fillEllipse(painter, QRect(x - 6, e - 2, 4, 4), led);
          break;
        case dsMinus:
          rack::drawLine(painter, QPoint(x - 6, y + DH / 2), QPoint(x - digitLineWidth_, y + DH / 2), led,
                         digitLineWidth_);
          break;
      }
    });
  }

  QRect rect(0, 0, W, H);
  if (bevelStyle_ != bvNone) {
    rack::drawControlBevel(painter, rect, bevelStyle_);
    rect.adjust(1, 1, -1, -1);
  }
  if (borderStyle_ == bsSingle && rect.width() > 0 && rect.height() > 0) {
    const QColor frame = ColorToQColor(clWindowFrame);
    painter.fillRect(QRect(rect.left(), rect.top(), rect.width(), 1), frame);
    painter.fillRect(QRect(rect.left(), rect.bottom(), rect.width(), 1), frame);
    painter.fillRect(QRect(rect.left(), rect.top(), 1, rect.height()), frame);
    painter.fillRect(QRect(rect.right(), rect.top(), 1, rect.height()), frame);
  }
  painter.restore();
}

void TLEDDisplay::paintEvent(QPaintEvent*) {
  if (digitsRatio_ != devicePixelRatioF()) buildDigitImages();
  QPainter painter(this);
  drawTo(painter);
}
