// LED numeric display (placeholder drawing).
#include <QPainter>

#include "controls/RackCtls.h"

TLEDDisplay::TLEDDisplay(QWidget* parent) : QWidget(parent) { resize(168, 36); }
void TLEDDisplay::setBevelStyle(TBevelCut v) { bevelStyle_ = v; }
void TLEDDisplay::setBorderStyle(TBorderStyle v) { borderStyle_ = v; }
void TLEDDisplay::setColorBackGround(TColor v) { colorBackGround_ = v; }
void TLEDDisplay::setColorLED(TColor v) { colorLED_ = v; }
void TLEDDisplay::setDecSeperator(TDecSeperator v) { decSeperator_ = v; }
void TLEDDisplay::setDigitHeight(int32_t v) { digitHeight_ = v; }
void TLEDDisplay::setDigitWidth(int32_t v) { digitWidth_ = v; }
void TLEDDisplay::setDigitLineWidth(int32_t v) { digitLineWidth_ = v; }
void TLEDDisplay::setFractionDigits(int32_t v) { fractionDigits_ = v; }
void TLEDDisplay::setLeadingZeros(bool v) { leadingZeros_ = v; }
void TLEDDisplay::setNumDigits(int32_t v) { numDigits_ = v; }
void TLEDDisplay::setSegmentStyle(TSegmentStyle v) { segmentStyle_ = v; }
void TLEDDisplay::setValue(long double v) {
  value_ = v;
  update();
  if (OnChange) OnChange(this);
}
void TLEDDisplay::drawTo(QPainter&) const {}
void TLEDDisplay::paintEvent(QPaintEvent*) {}
void TLEDDisplay::buildDigitImages() {}
