// Screw panel: face, bevels, screws with rim halves and slots, the setter rules.
#include <gtest/gtest.h>
#include <QApplication>
#include <QPalette>
#include <QScreen>

#include "controls/RackCtls.h"
#include "render.h"

namespace {

struct ScrewColours {
  std::string face, light, dark;
};

// Checks the screw whose box starts at (x, y) for screw size 2 and 1-pixel lines:
// face round the 8 × 8 box, shadow rim on the upper left, highlight rim on the lower
// right, silver inside, the grey slot and its white edge.
void expectScrew(const QImage& img, int x, int y, const ScrewColours& c) {
  SCOPED_TRACE("screw at " + std::to_string(x) + "," + std::to_string(y));
  EXPECT_EQ(at(img, x - 1, y + 4), c.face);
  EXPECT_EQ(at(img, x + 8, y + 4), c.face);
  EXPECT_EQ(at(img, x + 4, y - 1), c.face);
  EXPECT_EQ(at(img, x + 4, y + 8), c.face);
  EXPECT_EQ(at(img, x, y), c.face) << "the box's corner is outside the rim";
  EXPECT_EQ(at(img, x, y + 4), c.dark);
  EXPECT_EQ(at(img, x + 4, y), c.dark);
  EXPECT_EQ(at(img, x + 1, y + 1), c.dark);
  EXPECT_EQ(at(img, x + 7, y + 4), c.light);
  EXPECT_EQ(at(img, x + 4, y + 7), c.light);
  EXPECT_EQ(at(img, x + 6, y + 6), c.light);
  EXPECT_EQ(at(img, x + 2, y + 2), hex(clSilver));
  EXPECT_EQ(at(img, x + 5, y + 5), hex(clSilver));
  // Slot from (x+1, y+5) up to (x+6, y), its light edge from (x+2, y+6) up to (x+7, y+1).
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(at(img, x + 1 + i, y + 5 - i), hex(clGray)) << "slot pixel " << i;
    EXPECT_EQ(at(img, x + 2 + i, y + 6 - i), hex(clWhite)) << "edge pixel " << i;
  }
}

ScrewColours coloursOf(TColor face) {
  return {hex(face), hex(ShiftBrightness(face, 50)), hex(ShiftBrightness(face, -50))};
}

}  // namespace

TEST(ScrewPanel, MainWindowPanelScrewsAndBevel) {
  TScrewPanel p;
  p.setGeometry(8, 112, 433, 289);
  p.setColor(clBtnFace);
  p.setMargin(2);
  p.setScrewSize(2);
  p.setShowScrews(true);
  const QImage img = renderControl(p);
  const ScrewColours c = coloursOf(clBtnFace);
  for (auto [x, y] : {std::pair{3, 3}, {422, 3}, {3, 278}, {422, 278}}) expectScrew(img, x, y, c);
  // Raised bevel: highlight along the top and left, shadow along the right and bottom.
  EXPECT_EQ(at(img, 0, 0), c.light);
  EXPECT_EQ(at(img, 200, 0), c.light);
  EXPECT_EQ(at(img, 0, 287), c.light);
  EXPECT_EQ(at(img, 432, 0), c.dark);
  EXPECT_EQ(at(img, 432, 150), c.dark);
  EXPECT_EQ(at(img, 200, 288), c.dark);
  EXPECT_EQ(at(img, 1, 1), c.face);
  EXPECT_EQ(at(img, 431, 287), c.face);
  EXPECT_EQ(at(img, 200, 150), c.face);
}

TEST(ScrewPanel, HighlightAndShadowFollowTheFaceColour) {
  TScrewPanel p;
  p.resize(60, 40);
  p.setColor(clSilver);
  QImage img = renderControl(p);
  EXPECT_EQ(at(img, 10, 0), hex(255, 255, 255));
  EXPECT_EQ(at(img, 59, 10), hex(96, 96, 96));
  EXPECT_EQ(at(img, 30, 20), hex(192, 192, 192));
  expectScrew(img, 3, 3, coloursOf(clSilver));
  p.setColor(clRed);  // overflow tints the highlight
  img = renderControl(p);
  EXPECT_EQ(at(img, 10, 0), hex(255, 127, 127));
  EXPECT_EQ(at(img, 59, 10), hex(128, 0, 0));
  p.setBevelOuter(bvLowered);
  img = renderControl(p);
  EXPECT_EQ(at(img, 10, 0), hex(128, 0, 0));
  EXPECT_EQ(at(img, 59, 10), hex(255, 127, 127));
}

TEST(ScrewPanel, DesktopColourChangeKeepsHighlightAndShadowUntilColourIsSet) {
  const QPalette saved = QApplication::palette();
  TScrewPanel p;
  p.resize(60, 40);
  p.setColor(clBtnFace);
  const ScrewColours before = coloursOf(clBtnFace);
  QPalette changed = saved;
  changed.setColor(QPalette::Button, QColor(0, 0, 200));
  QApplication::setPalette(changed);
  QImage img = renderControl(p);
  EXPECT_EQ(at(img, 30, 20), hex(0, 0, 200)) << "the face resolves at drawing time";
  EXPECT_EQ(at(img, 10, 0), before.light);
  EXPECT_EQ(at(img, 59, 10), before.dark);
  p.setColor(clBtnFace);
  img = renderControl(p);
  EXPECT_EQ(at(img, 10, 0), hex(45, 0, 255));
  EXPECT_EQ(at(img, 59, 10), hex(0, 0, 100));
  QApplication::setPalette(saved);
}

TEST(ScrewPanel, WhatItShowsFollowsPropertiesSizeAndDesktopColours) {
  const QPalette saved = QApplication::palette();
  TScrewPanel p;
  p.resize(60, 40);
  p.setColor(clSilver);
  EXPECT_EQ(at(p.grab().toImage(), 30, 20), hex(clSilver));
  p.setColor(clRed);
  QImage img = p.grab().toImage();
  EXPECT_EQ(at(img, 30, 20), hex(clRed));
  expectScrew(img, 3, 3, coloursOf(clRed));
  p.setShowScrews(false);
  EXPECT_EQ(at(p.grab().toImage(), 4, 3), hex(clRed)) << "the screw is gone";
  p.setShowScrews(true);
  p.resize(80, 50);
  img = p.grab().toImage();
  EXPECT_EQ(at(img, 79, 25), hex(128, 0, 0)) << "shadow along the new right edge";
  expectScrew(img, 69, 39, coloursOf(clRed));

  p.setColor(clBtnFace);
  p.grab();
  QPalette changed = saved;
  changed.setColor(QPalette::Button, QColor(0, 0, 200));
  QApplication::setPalette(changed);
  QCoreApplication::processEvents();  // the widgets hear of the change
  EXPECT_EQ(at(p.grab().toImage(), 30, 20), hex(0, 0, 200)) << "the face follows the desktop";
  QApplication::setPalette(saved);
}

TEST(ScrewPanel, BevelsBorderAndMarginPlaceTheScrews) {
  TScrewPanel p;
  p.resize(100, 60);
  p.setColor(clSilver);
  p.setBorderWidth(2);
  p.setBevelInner(bvLowered);
  p.setMargin(4);
  QImage img = renderControl(p);
  const ScrewColours c = coloursOf(clSilver);
  // Outer bevel at 0, empty border at 1..2, inner lowered bevel at 3, inner rectangle (4, 4, 96, 56).
  EXPECT_EQ(at(img, 50, 0), c.light);
  EXPECT_EQ(at(img, 50, 1), c.face);
  EXPECT_EQ(at(img, 50, 2), c.face);
  EXPECT_EQ(at(img, 50, 3), c.dark);
  EXPECT_EQ(at(img, 3, 30), c.dark);
  EXPECT_EQ(at(img, 96, 30), c.light);
  EXPECT_EQ(at(img, 50, 56), c.light);
  EXPECT_EQ(at(img, 50, 4), c.face);
  for (auto [x, y] : {std::pair{8, 8}, {84, 8}, {8, 44}, {84, 44}}) expectScrew(img, x, y, c);

  // No outer bevel: only the border insets the inner bevel.
  p.setBevelOuter(bvNone);
  p.setBevelInner(bvRaised);
  img = renderControl(p);
  EXPECT_EQ(at(img, 50, 0), c.face);
  EXPECT_EQ(at(img, 50, 2), c.light);
  EXPECT_EQ(at(img, 97, 30), c.dark);
  expectScrew(img, 7, 7, c);

  // Wider bevels fill exactly their width and the screws' lines follow it.
  p.setBevelOuter(bvRaised);
  p.setBevelInner(bvNone);
  p.setBorderWidth(0);
  p.setBevelWidth(3);
  img = renderControl(p);
  for (int y = 0; y < 3; ++y) EXPECT_EQ(at(img, 50, y), c.light) << y;
  EXPECT_EQ(at(img, 50, 3), c.face);
  for (int x = 97; x < 100; ++x) EXPECT_EQ(at(img, x, 30), c.dark) << x;
  EXPECT_EQ(at(img, 96, 30), c.face);
  // Screw of size 8 at (7, 7), 32 pixels across: a 3-pixel rim on the left and right.
  p.setScrewSize(8);
  img = renderControl(p);
  for (int x = 7; x < 10; ++x) EXPECT_EQ(at(img, x, 23), c.dark) << x;
  EXPECT_EQ(at(img, 10, 23), hex(clSilver));
  for (int x = 36; x < 39; ++x) EXPECT_EQ(at(img, x, 23), c.light) << x;
  EXPECT_EQ(at(img, 35, 23), hex(clSilver));
  EXPECT_EQ(at(img, 39, 23), c.face);
}

TEST(ScrewPanel, ScrewsOffLeavesFaceAndBevel) {
  TScrewPanel p;
  p.resize(60, 40);
  p.setColor(clSilver);
  p.setShowScrews(false);
  const QImage img = renderControl(p);
  for (int y = 1; y < 39; ++y)
    for (int x = 1; x < 59; ++x) ASSERT_EQ(at(img, x, y), hex(clSilver)) << x << "," << y;
}

TEST(ScrewPanel, MarginAndScrewSizeAreRefusedWhenTooLarge) {
  TScrewPanel p;  // 45 × 45, screw size 2, margin 2
  p.setMargin(43);
  EXPECT_EQ(p.Margin(), 2);
  p.setMargin(42);
  EXPECT_EQ(p.Margin(), 42);
  p.resize(100, 20);
  p.setMargin(18);  // not below Height - ScrewSize
  EXPECT_EQ(p.Margin(), 42);
  p.setMargin(17);
  EXPECT_EQ(p.Margin(), 17);

  p.resize(100, 8);
  p.setScrewSize(8);  // not below Height
  EXPECT_EQ(p.ScrewSize(), 2);
  p.setScrewSize(7);
  EXPECT_EQ(p.ScrewSize(), 7);
  p.resize(100, 100);
  p.setScrewSize(0);
  p.setScrewSize(9);
  EXPECT_EQ(p.ScrewSize(), 7) << "screw sizes run from 1 to 8";
  p.setBevelWidth(0);
  EXPECT_EQ(p.BevelWidth(), 1);
  p.setBorderWidth(-1);
  EXPECT_EQ(p.BorderWidth(), 0);
}

TEST(ScrewPanel, PaintEventAndHighDpiStayCrisp) {
  TScrewPanel p;
  p.resize(80, 50);
  p.setColor(clSilver);
  p.setCaption(QString());
  const QImage one = renderControl(p);
  QImage painted(p.size(), QImage::Format_ARGB32);
  p.render(&painted);
  EXPECT_EQ(painted.convertToFormat(QImage::Format_RGB32), one.convertToFormat(QImage::Format_RGB32));
  const QImage two = renderControl(p, 2.0);
  EXPECT_TRUE(hasOnlyColoursOf(one, two));
  EXPECT_EQ(hex(two.pixelColor(0, 0)), hex(255, 255, 255));
  EXPECT_EQ(hex(two.pixelColor(159, 50)), hex(96, 96, 96));
  // Slot pixel (4, 8) of the first screw covers device pixels 8..9 × 16..17.
  for (int dy = 0; dy < 2; ++dy)
    for (int dx = 0; dx < 2; ++dx) EXPECT_EQ(hex(two.pixelColor(8 + dx, 16 + dy)), hex(clGray));
}

TEST(ScrewPanel, MetersRepaintOverThePanelPixelForPixel) {
  // The panel as the window has it, with a level meter (its top row left to the panel)
  // and the lamp (opaque). What reaches the screen after the meters changed must be the
  // panel's drawing with each meter's drawing over it.
  TScrewPanel panel;
  panel.setGeometry(8, 112, 433, 289);
  TLEDMeter level(&panel);
  level.setGeometry(88, 48, 17, 145);
  level.setBevelStyle(bvNone);
  level.setDirection(mdUp);
  level.setMax(16);
  level.setNumDigits(16);
  TLEDMeter lamp(&panel);
  lamp.setGeometry(96, 25, 17, 16);
  lamp.setNumDigits(1);
  panel.show();
  QCoreApplication::processEvents();
  for (int p : {16, 3, 9}) {
    level.setPosition(p);
    lamp.setPosition(p * 10);
    QCoreApplication::processEvents();
  }
  const QImage screen = panel.screen()->grabWindow(panel.winId()).toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(screen.size(), panel.size());
  QImage expected = renderControl(panel);
  QPainter painter(&expected);
  for (const TLEDMeter* m : {&level, &lamp}) {
    QImage meter = renderControl(*m);
    for (int y = 0; y < meter.height(); ++y)
      for (int x = 0; x < meter.width(); ++x)
        if (meter.pixelColor(x, y) == kUnder) meter.setPixelColor(x, y, Qt::transparent);
    painter.drawImage(m->pos(), meter);
  }
  painter.end();
  EXPECT_EQ(screen, expected.convertToFormat(QImage::Format_RGB32));
}
