// Screw panel (placeholder drawing).
#include <QPainter>

#include "controls/RackCtls.h"

TScrewPanel::TScrewPanel(QWidget* parent) : QWidget(parent) { resize(45, 45); }
void TScrewPanel::setColor(TColor v) { color_ = v; }
void TScrewPanel::setMargin(int32_t v) { margin_ = v; }
void TScrewPanel::setScrewSize(uint8_t v) { screwSize_ = v; }
void TScrewPanel::setShowScrews(bool v) { showScrews_ = v; }
void TScrewPanel::setAlignment(TAlignment v) { alignment_ = v; }
void TScrewPanel::setBevelInner(TBevelCut v) { bevelInner_ = v; }
void TScrewPanel::setBevelOuter(TBevelCut v) { bevelOuter_ = v; }
void TScrewPanel::setBevelWidth(int32_t v) { bevelWidth_ = v; }
void TScrewPanel::setBorderWidth(int32_t v) { borderWidth_ = v; }
void TScrewPanel::setCaption(const QString& v) { caption_ = v; }
void TScrewPanel::drawTo(QPainter&) const {}
void TScrewPanel::paintEvent(QPaintEvent*) {}
