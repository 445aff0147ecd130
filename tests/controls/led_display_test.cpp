// LED numeric display: digit cells, segments per digit, separator glyphs, bevel and
// border, and the setter rules.
#include <gtest/gtest.h>

#include "controls/RackCtls.h"
#include "render.h"

namespace {

// Configured like the main window's time displays.
void configureTimeDisplay(TLEDDisplay& d) {
  d.setGeometry(32, 248, 73, 24);
  d.setBevelStyle(bvLowered);
  d.setBorderStyle(bsSingle);
  d.setColorBackGround(clGray);
  d.setDecSeperator(dsDoublePoint);
  d.setDigitHeight(15);
  d.setDigitWidth(10);
  d.setDigitLineWidth(1);
  d.setFractionDigits(2);
  d.setNumDigits(4);
  d.setSegmentStyle(ssBeveled);
}

// One pixel inside each segment of a 10 × 15 bevelled digit image, in the order top,
// upper left, upper right, middle, lower left, lower right, bottom.
constexpr int kProbe[7][2] = {{4, 1}, {1, 3}, {8, 3}, {4, 7}, {1, 10}, {8, 10}, {4, 13}};
// Lit segments per digit, in the same order.
constexpr const char* kLit[10] = {"1110111", "0010010", "1011101", "1011011", "0111010",
                                  "1101011", "0101111", "1010010", "1111111", "1111011"};

// Checks the digit image at (x, y): each segment lit or dimmed as the digit needs,
// and the top segment's ends exactly at x + 2 and x + 7.
void expectDigit(const QImage& img, int x, int y, int digit, const std::string& lit, const std::string& dim) {
  SCOPED_TRACE("digit " + std::to_string(digit) + " at x " + std::to_string(x));
  for (int s = 0; s < 7; ++s)
    EXPECT_EQ(at(img, x + kProbe[s][0], y + kProbe[s][1]), kLit[digit][s] == '1' ? lit : dim) << "segment " << s;
  const std::string top = kLit[digit][0] == '1' ? lit : dim;
  EXPECT_EQ(at(img, x + 2, y + 1), top);
  EXPECT_EQ(at(img, x + 7, y + 1), top);
  EXPECT_EQ(at(img, x + 1, y + 1), hex(clGray));
  EXPECT_EQ(at(img, x + 8, y + 1), hex(clGray));
}

void expectEmptyCell(const QImage& img, int x, int y) {
  for (int s = 0; s < 7; ++s) EXPECT_EQ(at(img, x + kProbe[s][0], y + kProbe[s][1]), hex(clGray)) << x << " " << s;
}

// Checks a colon whose dots lie in the boxes (x, 7, x+4, 11) and (x, 12, x+4, 16).
void expectColon(const QImage& img, int x, const std::string& color) {
  for (int top : {7, 12}) {
    SCOPED_TRACE("colon dot at " + std::to_string(x) + "," + std::to_string(top));
    for (int dy = 0; dy < 4; ++dy)
      for (int dx = 1; dx < 3; ++dx) EXPECT_EQ(at(img, x + dx, top + dy), color);
    EXPECT_EQ(at(img, x, top + 1), color);
    EXPECT_EQ(at(img, x + 3, top + 2), color);
    EXPECT_EQ(at(img, x - 1, top + 1), hex(clGray));
    EXPECT_EQ(at(img, x + 4, top + 1), hex(clGray));
  }
  EXPECT_EQ(at(img, x + 1, 6), hex(clGray));
  EXPECT_EQ(at(img, x + 1, 11), hex(clGray));
  EXPECT_EQ(at(img, x + 1, 16), hex(clGray));
}

const std::string kLime = hex(0, 255, 0), kDarkLime = hex(0, 128, 0);

}  // namespace

TEST(LEDDisplay, TimeDisplayShowsMinutesAndSeconds) {
  TLEDDisplay d;
  configureTimeDisplay(d);
  d.setValue(5.07L);
  const QImage img = renderControl(d);
  const int xs[4] = {4, 22, 40, 58}, digits[4] = {0, 5, 0, 7};
  for (int i = 0; i < 4; ++i) expectDigit(img, xs[i], 4, digits[i], kLime, kDarkLime);
  expectColon(img, 34, kLime);
  EXPECT_EQ(at(img, 53, 9), hex(clGray)) << "one separator only";
  // Lowered bevel outside, a window-frame border inside it, background elsewhere.
  EXPECT_EQ(at(img, 0, 0), hex(clBtnShadow));
  EXPECT_EQ(at(img, 36, 0), hex(clBtnShadow));
  EXPECT_EQ(at(img, 0, 12), hex(clBtnShadow));
  EXPECT_EQ(at(img, 72, 12), hex(clBtnHighlight));
  EXPECT_EQ(at(img, 36, 23), hex(clBtnHighlight));
  for (auto [x, y] : {std::pair{1, 1}, {36, 1}, {1, 12}, {71, 12}, {36, 22}, {71, 22}})
    EXPECT_EQ(at(img, x, y), hex(clWindowFrame)) << x << "," << y;
  EXPECT_EQ(at(img, 2, 2), hex(clGray));
  EXPECT_EQ(at(img, 70, 21), hex(clGray));
}

TEST(LEDDisplay, EveryDigitHasItsSegments) {
  TLEDDisplay d;
  configureTimeDisplay(d);
  d.setFractionDigits(0);
  d.setBevelStyle(bvNone);
  d.setBorderStyle(bsNone);
  const long double values[3] = {123, 4567, 8901};
  const int digits[3][4] = {{0, 1, 2, 3}, {4, 5, 6, 7}, {8, 9, 0, 1}};
  for (int v = 0; v < 3; ++v) {
    d.setValue(values[v]);
    const QImage img = renderControl(d);
    for (int i = 0; i < 4; ++i) expectDigit(img, 4 + 18 * i, 4, digits[v][i], kLime, kDarkLime);
    for (int x : {34, 52}) EXPECT_EQ(at(img, x + 1, 9), hex(clGray)) << "no separator without fraction digits";
  }
}

TEST(LEDDisplay, ZeroWithAndWithoutLeadingZeros) {
  TLEDDisplay d;
  configureTimeDisplay(d);
  d.setValue(0);
  QImage img = renderControl(d);
  for (int x : {4, 22, 40, 58}) expectDigit(img, x, 4, 0, kLime, kDarkLime);
  expectColon(img, 34, kLime);

  d.setLeadingZeros(false);
  img = renderControl(d);
  for (int x : {4, 22, 40, 58}) expectEmptyCell(img, x, 4);
  expectColon(img, 34, kLime);

  // Zeros after the first non-zero digit are drawn.
  d.setValue(0.07L);
  img = renderControl(d);
  for (int x : {4, 22, 40}) expectEmptyCell(img, x, 4);
  expectDigit(img, 58, 4, 7, kLime, kDarkLime);
  d.setValue(10.05L);
  img = renderControl(d);
  expectDigit(img, 4, 4, 1, kLime, kDarkLime);
  expectDigit(img, 22, 4, 0, kLime, kDarkLime);
  expectDigit(img, 40, 4, 0, kLime, kDarkLime);
}

TEST(LEDDisplay, LongTextShowsItsFirstDigits) {
  TLEDDisplay d;
  configureTimeDisplay(d);
  d.setValue(123.45L);  // 123:4, the separator after the third digit
  const QImage img = renderControl(d);
  const int digits[4] = {1, 2, 3, 4};
  for (int i = 0; i < 4; ++i) expectDigit(img, 4 + 18 * i, 4, digits[i], kLime, kDarkLime);
  expectColon(img, 52, kLime);
  EXPECT_EQ(at(img, 35, 9), hex(clGray));
}

TEST(LEDDisplay, SwitchingTheLedColourRedrawsDigitsAndGlyph) {
  TLEDDisplay d;
  configureTimeDisplay(d);
  d.setValue(12.34L);
  d.setColorLED(RGB(255, 176, 160));
  QImage img = renderControl(d);
  const std::string lit = hex(255, 176, 160), dim = hex(128, 88, 80);
  const int digits[4] = {1, 2, 3, 4};
  for (int i = 0; i < 4; ++i) expectDigit(img, 4 + 18 * i, 4, digits[i], lit, dim);
  expectColon(img, 34, lit);
  d.setColorLED(clLime);
  img = renderControl(d);
  for (int i = 0; i < 4; ++i) expectDigit(img, 4 + 18 * i, 4, digits[i], kLime, kDarkLime);
}

TEST(LEDDisplay, SeparatorGlyphs) {
  TLEDDisplay d;
  configureTimeDisplay(d);
  d.setBevelStyle(bvNone);
  d.setBorderStyle(bsNone);
  d.setValue(12.34L);          // separator just left of x = 40, digit height 15, y = 4
  d.setDecSeperator(dsPoint);  // dot in (34, 14, 38, 18)
  QImage img = renderControl(d);
  EXPECT_EQ(at(img, 35, 15), kLime);
  EXPECT_EQ(at(img, 36, 17), kLime);
  EXPECT_EQ(at(img, 35, 13), hex(clGray));
  EXPECT_EQ(at(img, 35, 9), hex(clGray));

  d.setDecSeperator(dsComma);  // dot in (34, 11, 38, 15), tail (37,14) -> (34,18) -> (38,13)
  img = renderControl(d);
  EXPECT_EQ(at(img, 35, 12), kLime);
  EXPECT_EQ(at(img, 34, 18), kLime);
  EXPECT_EQ(at(img, 35, 17), kLime);
  EXPECT_EQ(at(img, 37, 14), kLime);  // tail start, a corner the dot leaves out
  EXPECT_EQ(at(img, 35, 10), hex(clGray));

  d.setDecSeperator(dsMinus);  // one row at y + 7 from x - 6 up to x - 1
  img = renderControl(d);
  for (int x = 34; x < 39; ++x) EXPECT_EQ(at(img, x, 11), kLime) << x;
  EXPECT_EQ(at(img, 39, 11), hex(clGray));
  EXPECT_EQ(at(img, 35, 10), hex(clGray));
  EXPECT_EQ(at(img, 35, 12), hex(clGray));
}

TEST(LEDDisplay, RectangularSegments) {
  TLEDDisplay d;  // defaults: 168 × 36, six cells of 28, digits 20 × 30 at x 4 + 28 i, y 3
  d.setBevelStyle(bvNone);
  d.setBorderStyle(bsNone);
  d.setSegmentStyle(ssRectangular);
  d.setValue(1);
  const QImage img = renderControl(d);
  const std::string gray = hex(clGray);
  // Cells 0..4 show 0, cell 5 shows 1: the 0's middle is dim, the 1's top is dim.
  for (int cell = 0; cell < 5; ++cell) {
    const int x = 4 + 28 * cell;
    EXPECT_EQ(at(img, x + 10, 3 + 1), kLime) << cell;       // top, 3 pixels thick
    EXPECT_EQ(at(img, x + 10, 3 + 15), kDarkLime) << cell;  // middle
    EXPECT_EQ(at(img, x + 1, 3 + 8), kLime) << cell;        // upper left
    EXPECT_EQ(at(img, x + 18, 3 + 22), kLime) << cell;      // lower right
    EXPECT_EQ(at(img, x + 10, 3 + 8), gray) << cell;        // inside the digit
  }
  const int x = 4 + 28 * 5;
  EXPECT_EQ(at(img, x + 10, 3 + 1), kDarkLime);
  EXPECT_EQ(at(img, x + 18, 3 + 8), kLime);
  EXPECT_EQ(at(img, x + 18, 3 + 22), kLime);
}

TEST(LEDDisplay, SetterRules) {
  TLEDDisplay d;
  d.setNumDigits(4);
  d.setFractionDigits(5);
  EXPECT_EQ(d.FractionDigits(), 3);
  d.setNumDigits(2);
  EXPECT_EQ(d.FractionDigits(), 3) << "lowering NumDigits leaves FractionDigits";
  d.setFractionDigits(1);
  EXPECT_EQ(d.FractionDigits(), 1);

  int changes = 0;
  QObject* sender = nullptr;
  d.OnChange = [&](QObject* s) {
    ++changes;
    sender = s;
  };
  d.setValue(3.5L);
  d.setValue(3.5L);
  EXPECT_EQ(changes, 2) << "every assignment notifies";
  EXPECT_EQ(sender, &d);
  EXPECT_EQ(d.Value(), 3.5L);
}

TEST(LEDDisplay, ValuesWithoutAFixedPointFormDrawNoGarbage) {
  TLEDDisplay d;
  configureTimeDisplay(d);
  d.setBevelStyle(bvNone);
  d.setBorderStyle(bsNone);
  d.setValue(-5.07L);  // minus sign, 5:07
  QImage img = renderControl(d);
  for (int s = 0; s < 7; ++s) EXPECT_EQ(at(img, 4 + kProbe[s][0], 4 + kProbe[s][1]), s == 3 ? kLime : kDarkLime);
  expectDigit(img, 22, 4, 5, kLime, kDarkLime);
  expectColon(img, 34, kLime);
  for (long double v :
       {std::numeric_limits<long double>::quiet_NaN(), std::numeric_limits<long double>::infinity(), 1e30L}) {
    d.setValue(v);
    img = renderControl(d);
    for (int x : {4, 22, 40, 58})
      for (int s = 0; s < 7; ++s) EXPECT_EQ(at(img, x + kProbe[s][0], 4 + kProbe[s][1]), kDarkLime);
  }
  for (int n : {0, -2, 74, 2147483647}) {  // no cell fits: background only
    d.setNumDigits(n);
    img = renderControl(d);
    EXPECT_EQ(at(img, 6, 5), hex(clGray)) << n;
  }
  d.setNumDigits(4);
  d.setDigitWidth(0);  // no digit images
  img = renderControl(d);
  EXPECT_EQ(at(img, 6, 5), hex(clGray));
}

TEST(LEDDisplay, PaintEventAndHighDpiStayCrisp) {
  TLEDDisplay d;
  configureTimeDisplay(d);
  d.setValue(5.07L);
  const QImage one = renderControl(d);
  // The widget's own painting shows the same pixels.
  QImage painted(d.size(), QImage::Format_ARGB32);
  d.render(&painted);
  EXPECT_EQ(painted.convertToFormat(QImage::Format_RGB32), one.convertToFormat(QImage::Format_RGB32));
  const QImage two = renderControl(d, 2.0);
  EXPECT_TRUE(hasOnlyColoursOf(one, two));
  // Solid areas stay solid blocks: the colon's dot centre and the digit images' rows.
  EXPECT_EQ(hex(two.pixelColor(71, 18)), kLime);
  EXPECT_EQ(hex(two.pixelColor(2 * 22 + 8, 2 * 4 + 2)), kLime);  // top of the 5
}
