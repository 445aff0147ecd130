// LED bar meter (placeholder drawing).
#include <QPainter>

#include "controls/RackCtls.h"

TLEDMeter::TLEDMeter(QWidget* parent) : QWidget(parent) { resize(143, 16); }
void TLEDMeter::setBevelStyle(TBevelCut v) { bevelStyle_ = v; }
void TLEDMeter::setColorLED1(TColor v) { colorLED_[0] = v; }
void TLEDMeter::setColorLED2(TColor v) { colorLED_[1] = v; }
void TLEDMeter::setColorLED3(TColor v) { colorLED_[2] = v; }
void TLEDMeter::setColorSeperator(TColor v) { colorSeperator_ = v; }
void TLEDMeter::setDirection(TMeterDirection v) { direction_ = v; }
void TLEDMeter::setMax(int32_t v) { max_ = v; }
void TLEDMeter::setMin(int32_t v) { min_ = v; }
void TLEDMeter::setNumDigits(int32_t v) { numDigits_ = v; }
void TLEDMeter::setPosition(int32_t v) { position_ = v; }
void TLEDMeter::setStartColor2(int32_t v) { startColor2_ = v; }
void TLEDMeter::setStartColor3(int32_t v) { startColor3_ = v; }
void TLEDMeter::drawTo(QPainter&) const {}
void TLEDMeter::paintEvent(QPaintEvent*) {}
void TLEDMeter::redraw() {}
