// LED bar meter: segment geometry and colours per range, the bevel, the setter rules.
#include <gtest/gtest.h>

#include <QApplication>
#include <QScreen>
#include <memory>
#include <vector>

#include "controls/RackCtls.h"
#include "render.h"

namespace {

// Configured like the main window's left level meter, in the order the window
// applies its settings.
void configureLevelMeter(TLEDMeter& m) {
  m.setGeometry(88, 48, 17, 145);
  m.setBevelStyle(bvNone);
  m.setColorLED1(16752640);
  m.setColorLED2(clLime);
  m.setColorLED3(4210943);
  m.setDirection(mdUp);
  m.setMax(16);
  m.setNumDigits(16);
  m.setStartColor2(9);
  m.setStartColor3(14);
}

// Configured like the main window's recording lamp.
void configureLamp(TLEDMeter& m) {
  m.setGeometry(96, 25, 17, 16);
  m.setColorLED1(clRed);
  m.setColorLED3(clRed);
  m.setNumDigits(1);
}

}  // namespace

TEST(LEDMeter, LevelMeterColumnsRangesAndLitSegments) {
  TLEDMeter m;
  configureLevelMeter(m);
  EXPECT_EQ(m.StartColor2(), 9);
  EXPECT_EQ(m.StartColor3(), 14);
  const std::string lit[3] = {hex(0, 160, 255), hex(0, 255, 0), hex(255, 64, 64)};
  const std::string dark[3] = {hex(0, 80, 128), hex(0, 128, 0), hex(128, 32, 32)};
  const std::string black = hex(0, 0, 0);
  for (int p : {0, 5, 9, 10, 16}) {
    m.setPosition(p);
    const QImage img = renderControl(m);
    SCOPED_TRACE("position " + std::to_string(p));
    for (int x : {0, 8, 16}) EXPECT_EQ(at(img, x, 0), hex(kUnder)) << "row 0 is left to the parent";
    for (int i = 0; i < 16; ++i) {
      const int top = 136 - 9 * i, bottom = 144 - 9 * i;
      const int range = i < 9 ? 0 : (i < 14 ? 1 : 2);
      SCOPED_TRACE("segment " + std::to_string(i));
      EXPECT_EQ(at(img, 8, top), black);
      EXPECT_EQ(at(img, 8, bottom), black);
      EXPECT_EQ(at(img, 0, top + 4), black);
      EXPECT_EQ(at(img, 16, top + 4), black);
      for (int y = top + 1; y < bottom; ++y) EXPECT_EQ(at(img, 8, y), i < p ? lit[range] : dark[range]);
      EXPECT_EQ(at(img, 1, top + 1), i < p ? lit[range] : dark[range]);
      EXPECT_EQ(at(img, 15, bottom - 1), i < p ? lit[range] : dark[range]);
    }
  }
}

TEST(LEDMeter, RecordingLampLitDarkAndHalfwayRoundsToEven) {
  TLEDMeter m;
  configureLamp(m);
  const std::string bright = hex(255, 0, 0), dim = hex(128, 0, 0);
  m.setPosition(100);
  QImage img = renderControl(m);
  EXPECT_EQ(at(img, 8, 8), bright);
  m.setPosition(0);
  img = renderControl(m);
  EXPECT_EQ(at(img, 8, 8), dim);
  m.setPosition(50);  // 1 ÷ (100 ÷ 50) = 0.5 rounds to 0
  img = renderControl(m);
  EXPECT_EQ(at(img, 8, 8), dim);
  m.setPosition(51);
  EXPECT_EQ(at(renderControl(m), 8, 8), bright);
}

TEST(LEDMeter, RowWhoseInnerWidthIsAMultipleOfTheSegmentCount) {
  // The lamp: 17 × 16 with a lowered bevel, one segment over columns 1..16 and rows
  // 1..14; the bevel covers column 16 and rows 0 and 15.
  TLEDMeter lamp;
  configureLamp(lamp);
  lamp.setPosition(100);
  QImage img = renderControl(lamp);
  const std::string shadow = hex(clBtnShadow), light = hex(clBtnHighlight), black = hex(0, 0, 0);
  const std::string red = hex(255, 0, 0);
  for (int x = 0; x < 17; ++x) EXPECT_EQ(at(img, x, 0), shadow) << x;
  for (int x = 1; x < 17; ++x) EXPECT_EQ(at(img, x, 15), light) << x;
  for (int y = 0; y < 15; ++y) EXPECT_EQ(at(img, 0, y), shadow) << y;
  for (int y = 1; y < 16; ++y) EXPECT_EQ(at(img, 16, y), light) << y;
  EXPECT_EQ(at(img, 0, 15), light);
  EXPECT_EQ(at(img, 16, 0), shadow);
  EXPECT_EQ(at(img, 1, 8), black);
  EXPECT_EQ(at(img, 8, 1), black);
  EXPECT_EQ(at(img, 8, 14), black);
  EXPECT_EQ(at(img, 2, 2), red);
  EXPECT_EQ(at(img, 15, 13), red);
  lamp.setBevelStyle(bvRaised);
  img = renderControl(lamp);
  EXPECT_EQ(at(img, 5, 0), light);
  EXPECT_EQ(at(img, 16, 8), shadow);

  // Without a bevel the last closing outline falls just outside the control.
  TLEDMeter row;
  row.resize(40, 10);
  row.setBevelStyle(bvNone);
  row.setNumDigits(4);
  row.setMax(4);  // pulls both start values down to 4
  row.setStartColor2(2);
  row.setStartColor3(3);
  row.setPosition(1);
  img = renderControl(row);
  for (int x : {0, 10, 20, 30}) EXPECT_EQ(at(img, x, 5), black) << x;
  EXPECT_EQ(at(img, 5, 5), hex(0, 255, 0));
  EXPECT_EQ(at(img, 15, 5), hex(0, 128, 0));
  EXPECT_EQ(at(img, 39, 5), hex(128, 0, 0));
  EXPECT_EQ(at(img, 39, 0), black);
  EXPECT_EQ(at(img, 39, 9), black);

  // Lit from the right: segment 0 at the right end, its outline on the last column.
  row.setDirection(mdLeft);
  img = renderControl(row);
  EXPECT_EQ(at(img, 39, 5), black);
  EXPECT_EQ(at(img, 29, 5), black);
  EXPECT_EQ(at(img, 35, 5), hex(0, 255, 0));
  EXPECT_EQ(at(img, 0, 5), hex(128, 0, 0));
}

TEST(LEDMeter, LeftoverPixelsKeepTheParent) {
  TLEDMeter m;
  m.resize(43, 10);
  m.setBevelStyle(bvNone);
  m.setNumDigits(4);  // segments of 10 columns: 0..40 drawn, 41 and 42 left alone
  QImage img = renderControl(m);
  EXPECT_EQ(at(img, 40, 5), hex(0, 0, 0));
  EXPECT_EQ(at(img, 41, 5), hex(kUnder));
  EXPECT_EQ(at(img, 42, 5), hex(kUnder));

  // A column lit from the top leaves the rows at the bottom alone, and its
  // rightmost column too (segments are Width - 1 wide).
  m.resize(10, 43);
  m.setDirection(mdDown);
  m.setPosition(30);  // 4 ÷ (100 ÷ 30) = 1.2 -> 1
  img = renderControl(m);
  EXPECT_EQ(at(img, 5, 0), hex(0, 0, 0));
  EXPECT_EQ(at(img, 5, 5), hex(0, 255, 0));
  EXPECT_EQ(at(img, 5, 15), hex(0, 128, 0));
  EXPECT_EQ(at(img, 5, 39), hex(0, 0, 0));
  EXPECT_EQ(at(img, 5, 40), hex(kUnder));
  EXPECT_EQ(at(img, 9, 5), hex(0, 0, 0));
}

TEST(LEDMeter, PositionComparesBeforeClampingAndNotifies) {
  TLEDMeter m;
  configureLevelMeter(m);
  m.show();
  PaintCounter counter(&m);
  counter.paints();
  int changes = 0;
  QObject* sender = nullptr;
  m.OnChange = [&](QObject* s) {
    ++changes;
    sender = s;
  };
  m.setPosition(0);  // unchanged: nothing happens
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(counter.paints(), 0);

  m.setPosition(20);
  EXPECT_EQ(m.Position(), 16);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(sender, &m);
  EXPECT_EQ(counter.paints(), 1);
  m.setPosition(20);  // compared with the stored 16 before clamping: acts again
  EXPECT_EQ(m.Position(), 16);
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(counter.paints(), 1);
  m.setPosition(16);
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(counter.paints(), 0);

  m.setPosition(-3);
  EXPECT_EQ(m.Position(), 0);
  EXPECT_EQ(changes, 3);

  // Min above Max: the position ends at Min.
  m.setMin(20);
  m.setPosition(5);
  EXPECT_EQ(m.Position(), 20);
}

TEST(LEDMeter, NoSetterActsOnAnUnchangedValue) {
  TLEDMeter m;
  m.show();
  PaintCounter counter(&m);
  counter.paints();
  int changes = 0;
  m.OnChange = [&](QObject*) { ++changes; };
  m.setBevelStyle(bvLowered);
  m.setColorLED1(clLime);
  m.setColorLED2(clYellow);
  m.setColorLED3(clRed);
  m.setColorSeperator(clBlack);
  m.setDirection(mdRight);
  m.setMax(100);
  m.setMin(0);
  m.setNumDigits(20);
  m.setPosition(0);
  m.setStartColor2(75);
  m.setStartColor3(90);
  EXPECT_EQ(counter.paints(), 0);
  EXPECT_EQ(changes, 0);

  m.setColorSeperator(clWhite);
  EXPECT_EQ(counter.paints(), 1);
  m.setDirection(mdDown);
  EXPECT_EQ(counter.paints(), 1);
  m.setNumDigits(5);
  EXPECT_EQ(counter.paints(), 1);
  m.setColorLED2(clRed);
  EXPECT_EQ(counter.paints(), 1);
  EXPECT_EQ(changes, 0) << "only Position notifies";
}

TEST(LEDMeter, StartColoursArePulledByMaxMinAndEachOther) {
  TLEDMeter m;
  m.setMax(16);  // pulls 75 and 90 down to 16
  EXPECT_EQ(m.StartColor2(), 16);
  EXPECT_EQ(m.StartColor3(), 16);
  m.setStartColor2(9);
  m.setStartColor3(14);
  EXPECT_EQ(m.StartColor2(), 9);
  EXPECT_EQ(m.StartColor3(), 14);

  m.setMin(12);  // raises the second start to 12, the third stays
  EXPECT_EQ(m.StartColor2(), 12);
  EXPECT_EQ(m.StartColor3(), 14);
  EXPECT_EQ(m.Position(), 0) << "Min does not touch Position";
  m.setStartColor3(5);  // raised to Min, then to StartColor2
  EXPECT_EQ(m.StartColor3(), 12);
  m.setStartColor2(40);  // lowered to Max, then to StartColor3
  EXPECT_EQ(m.StartColor2(), 12);
  m.setStartColor3(40);
  EXPECT_EQ(m.StartColor3(), 16);
  m.setStartColor2(14);
  EXPECT_EQ(m.StartColor2(), 14);
}

TEST(LEDMeter, EmptyScaleAndLoweredMax) {
  TLEDMeter m;
  m.resize(40, 10);
  m.setBevelStyle(bvNone);
  m.setNumDigits(4);
  m.setPosition(100);
  m.setMax(0);  // Max = Min: nothing lit, every segment the dimmed third colour
  QImage img = renderControl(m);
  for (int x : {5, 15, 25, 35}) EXPECT_EQ(at(img, x, 5), hex(128, 0, 0)) << x;

  TLEDMeter lowered;
  lowered.resize(40, 10);
  lowered.setBevelStyle(bvNone);
  lowered.setNumDigits(4);
  lowered.setPosition(80);
  lowered.setMax(50);  // Position stays 80 and lights every segment
  lowered.setStartColor2(25);
  lowered.setStartColor3(38);
  EXPECT_EQ(lowered.Position(), 80);
  img = renderControl(lowered);
  EXPECT_EQ(at(img, 5, 5), hex(0, 255, 0));
  EXPECT_EQ(at(img, 25, 5), hex(255, 255, 0));
  EXPECT_EQ(at(img, 35, 5), hex(255, 0, 0));

  for (int n : {0, -3, 41, 2147483647}) {  // no segments fit: the parent shows through
    lowered.setNumDigits(n);
    img = renderControl(lowered);
    EXPECT_EQ(at(img, 5, 5), hex(kUnder)) << n;
  }
}

TEST(LEDMeter, ScaleNotStartingAtZeroFillsFromMin) {
  TLEDMeter m;
  m.resize(40, 10);
  m.setBevelStyle(bvNone);
  m.setNumDigits(4);
  m.setMin(-100);
  m.setPosition(0);  // half of -100..100
  QImage img = renderControl(m);
  EXPECT_EQ(at(img, 15, 5), hex(0, 255, 0));
  EXPECT_EQ(at(img, 25, 5), hex(0, 128, 0));
  // Extreme ends of the 32-bit range must not overflow the span.
  m.setMin(-2147483647 - 1);
  m.setMax(2147483647);
  m.setPosition(2147483647);
  img = renderControl(m);
  EXPECT_EQ(at(img, 35, 5), hex(255, 0, 0));
}

TEST(LEDMeter, EffectiveChangeIsDrawnBeforeTheSetterReturns) {
  // What the widget shows right after the setter, with no event handled in between.
  TLEDMeter m;
  configureLamp(m);
  m.setPosition(100);
  EXPECT_EQ(hex(m.grab().toImage().pixelColor(8, 8)), hex(255, 0, 0));
  m.setPosition(0);
  EXPECT_EQ(hex(m.grab().toImage().pixelColor(8, 8)), hex(128, 0, 0));
}

TEST(LEDMeter, BevelFollowsTheDesktopPalette) {
  const QPalette saved = QApplication::palette();
  TLEDMeter lamp;
  configureLamp(lamp);  // lowered bevel: the button shadow along the top
  lamp.setPosition(100);
  EXPECT_EQ(at(lamp.grab().toImage(), 8, 0), hex(clBtnShadow));
  QPalette changed = saved;
  changed.setColor(QPalette::Dark, QColor(0, 90, 0));
  QApplication::setPalette(changed);
  QCoreApplication::processEvents();  // the widgets hear of the change
  EXPECT_EQ(at(lamp.grab().toImage(), 8, 0), hex(0, 90, 0));
  QApplication::setPalette(saved);
}

TEST(LEDMeter, PaintEventShowsTheMeterOverItsParent) {
  QWidget parent;
  parent.resize(60, 200);
  parent.setAutoFillBackground(true);
  QPalette palette = parent.palette();
  palette.setColor(QPalette::Window, kUnder);
  parent.setPalette(palette);
  TLEDMeter m(&parent);
  m.setGeometry(10, 10, 43, 10);
  m.setBevelStyle(bvNone);
  m.setNumDigits(4);
  m.setPosition(100);
  TLEDMeter level(&parent);
  configureLevelMeter(level);
  level.move(10, 30);
  level.setPosition(16);
  QImage img(parent.size(), QImage::Format_ARGB32);
  img.fill(Qt::white);
  parent.render(&img);
  EXPECT_EQ(at(img, 15, 15), hex(0, 255, 0));
  EXPECT_EQ(at(img, 10, 15), hex(0, 0, 0));
  EXPECT_EQ(at(img, 52, 15), hex(kUnder)) << "leftover column shows the parent";
  EXPECT_EQ(at(img, 18, 30), hex(kUnder)) << "leftover row shows the parent";
  EXPECT_EQ(at(img, 18, 31), hex(0, 0, 0));
}

TEST(LEDMeter, OnlyAMeterThatLeavesPixelsRepaintsItsParent) {
  QWidget parent;
  parent.resize(200, 200);
  TLEDMeter lamp(&parent);
  configureLamp(lamp);
  TLEDMeter level(&parent);
  configureLevelMeter(level);  // row 0 is left to the parent
  TLEDMeter row(&parent);
  row.setGeometry(120, 10, 41, 10);  // segments of 10 columns cover all 41 columns
  row.setBevelStyle(bvNone);
  row.setNumDigits(4);
  parent.show();
  PaintCounter counter(&parent);
  counter.paints();
  for (int p : {100, 0}) {
    lamp.setPosition(p);
    row.setPosition(p);
    EXPECT_EQ(counter.paints(), 0) << "nothing under an opaque meter is painted again";
  }
  level.setPosition(5);
  EXPECT_EQ(counter.paints(), 1);
  row.resize(43, 10);  // now two columns are left over
  counter.paints();
  row.setPosition(50);
  EXPECT_EQ(counter.paints(), 1);
}

TEST(LEDMeter, EveryChangeReachesTheScreenAsTheWholeDrawing) {
  // A position change draws only the segments that went on or off. What reaches the
  // screen must still be the meter's whole drawing: in every direction, up and down
  // the scale, with the outermost segments of a row meeting the bevel.
  QWidget parent;
  parent.resize(120, 60);
  const struct {
    TMeterDirection direction;
    TBevelCut bevel;
    QRect geometry;
  } cases[] = {{mdRight, bvLowered, {4, 4, 42, 10}},
               {mdLeft, bvRaised, {4, 20, 42, 10}},
               {mdUp, bvLowered, {60, 4, 10, 42}},
               {mdDown, bvRaised, {80, 4, 10, 42}}};
  std::vector<std::unique_ptr<TLEDMeter>> meters;
  for (const auto& c : cases) {
    auto& m = meters.emplace_back(std::make_unique<TLEDMeter>(&parent));
    m->setGeometry(c.geometry);
    m->setBevelStyle(c.bevel);
    m->setDirection(c.direction);
    m->setNumDigits(4);
  }
  parent.show();
  QCoreApplication::processEvents();
  for (int p : {100, 30, 55, 0, 75, 100, 20}) {
    for (auto& m : meters) m->setPosition(p);
    QCoreApplication::processEvents();
    const QImage screen = parent.screen()->grabWindow(parent.winId()).toImage();
    for (size_t k = 0; k < meters.size(); ++k) {
      const QImage drawn = renderControl(*meters[k]);
      int wrong = 0;
      for (int y = 0; y < drawn.height(); ++y)
        for (int x = 0; x < drawn.width(); ++x)
          if (drawn.pixelColor(x, y) != kUnder &&
              screen.pixelColor(meters[k]->pos() + QPoint(x, y)) != drawn.pixelColor(x, y))
            ++wrong;
      EXPECT_EQ(wrong, 0) << "meter " << k << " at position " << p;
    }
  }
}

TEST(LEDMeter, HighDpiRenderingIsBlockScaled) {
  TLEDMeter m;
  configureLevelMeter(m);
  m.setPosition(11);
  EXPECT_TRUE(isBlockScaled(renderControl(m), renderControl(m, 2.0), 2));
  TLEDMeter lamp;
  configureLamp(lamp);
  lamp.setPosition(100);
  EXPECT_TRUE(isBlockScaled(renderControl(lamp), renderControl(lamp, 3.0), 3));
}
