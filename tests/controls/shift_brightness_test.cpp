// Colour values: RGB and system colours, and the brightness shift with its spill-over.
#include <gtest/gtest.h>
#include <QGuiApplication>
#include <QPalette>

#include "controls/RackCtls.h"
#include "render.h"

TEST(ShiftBrightness, HalvingRoundsEachChannelUp) {
  EXPECT_EQ(ShiftBrightness(RGB(255, 160, 64), -50), RGB(128, 80, 32));
  EXPECT_EQ(ShiftBrightness(RGB(1, 1, 1), -50), RGB(1, 1, 1));
  EXPECT_EQ(ShiftBrightness(RGB(255, 176, 160), -50), RGB(128, 88, 80));
  EXPECT_EQ(ShiftBrightness(RGB(192, 192, 192), -50), RGB(96, 96, 96));
  // The meter colours of the main window.
  EXPECT_EQ(ShiftBrightness(16752640, -50), RGB(0, 80, 128));
  EXPECT_EQ(ShiftBrightness(clLime, -50), RGB(0, 128, 0));
  EXPECT_EQ(ShiftBrightness(4210943, -50), RGB(128, 32, 32));
  EXPECT_EQ(ShiftBrightness(clRed, -50), RGB(128, 0, 0));
}

TEST(ShiftBrightness, OverflowSpillsIntoTheOtherChannels) {
  EXPECT_EQ(ShiftBrightness(RGB(192, 192, 192), 50), RGB(255, 255, 255));
  EXPECT_EQ(ShiftBrightness(RGB(255, 0, 0), 50), RGB(255, 127, 127));
  // Green overflowing carries into red and on into blue; blue's own overflow is
  // dropped once green overflowed.
  EXPECT_EQ(ShiftBrightness(RGB(0, 200, 0), 50), RGB(45, 255, 45));
  EXPECT_EQ(ShiftBrightness(RGB(0, 0, 200), 50), RGB(45, 0, 255));
  EXPECT_EQ(ShiftBrightness(RGB(10, 20, 30), 0), RGB(10, 20, 30));
}

TEST(ShiftBrightness, ExtremePercentagesStayInRange) {
  EXPECT_EQ(ShiftBrightness(RGB(200, 100, 50), -100), RGB(0, 0, 0));
  EXPECT_EQ(ShiftBrightness(RGB(200, 100, 50), -1000), RGB(0, 0, 0));
  EXPECT_EQ(ShiftBrightness(RGB(200, 100, 50), 2147483647), RGB(255, 255, 255));
  EXPECT_EQ(ShiftBrightness(RGB(200, 100, 50), -2147483647 - 1), RGB(0, 0, 0));
}

TEST(SystemColours, ResolveThroughTheDesktopPalette) {
  const QPalette palette = QGuiApplication::palette();
  EXPECT_EQ(hex(clBtnFace), hex(palette.color(QPalette::Button)));
  EXPECT_EQ(hex(clBtnShadow), hex(palette.color(QPalette::Dark)));
  EXPECT_EQ(hex(clBtnHighlight), hex(palette.color(QPalette::Light)));
  EXPECT_EQ(hex(clWindow), hex(palette.color(QPalette::Base)));
  EXPECT_EQ(hex(clWindowFrame), hex(palette.color(QPalette::Shadow)));
  EXPECT_EQ(hex(clRed), hex(255, 0, 0));
  EXPECT_EQ(hex(16752640), hex(0, 160, 255));
  // The shift works on the resolved colour and returns plain RGB.
  const QColor face = palette.color(QPalette::Button);
  EXPECT_EQ(ShiftBrightness(clBtnFace, 0), RGB(face.red(), face.green(), face.blue()));
}
