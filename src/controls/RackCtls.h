// Rack-style display controls: the LED bar meter, the seven-segment LED display, the
// panel with drawn screws, and the colour shift they share.
#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QWidget>
#include <cstdint>
#include <functional>

#include "controls/accessible_announcer.h"

// A colour value: RGB written 0x00BBGGRR, or 0x80000000 + a system colour index.
using TColor = uint32_t;
constexpr TColor clBlack = 0x000000;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clWindow = 0x80000005;
constexpr TColor clWindowFrame = 0x80000006;
constexpr TColor clBtnFace = 0x8000000F;
constexpr TColor clBtnShadow = 0x80000010;
constexpr TColor clBtnHighlight = 0x80000014;

// RGB(r, g, b) as a colour value.
constexpr TColor RGB(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<TColor>(r) | (static_cast<TColor>(g) << 8) | (static_cast<TColor>(b) << 16);
}
// Resolves a colour value to RGB; system colours come from the running desktop's palette.
QColor ColorToQColor(TColor color);
// Brightens (percent > 0) or dims (percent < 0) a colour; overflow spills into the
// other channels. Returns an RGB colour value.
TColor ShiftBrightness(TColor color, int percent);

enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };
enum TMeterDirection { mdDown, mdLeft, mdRight, mdUp };
enum TBorderStyle { bsNone, bsSingle };
enum TDecSeperator { dsPoint, dsComma, dsDoublePoint, dsMinus };
enum TSegmentStyle { ssRectangular, ssBeveled };
enum TAlignment { taLeftJustify, taRightJustify, taCenter };

using TNotifyEvent = std::function<void(QObject* Sender)>;

// A row or column of LED segments lit up to a level. It draws over its parent's
// surface; an effective change is drawn before the setter returns. Where the segments
// and the bevel cover every pixel the meter is opaque, so its parent is not repainted
// under it when it changes.
class TLEDMeter : public QWidget {
 public:
  explicit TLEDMeter(QWidget* parent = nullptr);

  TBevelCut BevelStyle() const { return bevelStyle_; }
  void setBevelStyle(TBevelCut v);
  TColor ColorLED1() const { return colorLED_[0]; }
  void setColorLED1(TColor v);
  TColor ColorLED2() const { return colorLED_[1]; }
  void setColorLED2(TColor v);
  TColor ColorLED3() const { return colorLED_[2]; }
  void setColorLED3(TColor v);
  TColor ColorSeperator() const { return colorSeperator_; }
  void setColorSeperator(TColor v);
  TMeterDirection Direction() const { return direction_; }
  void setDirection(TMeterDirection v);
  int32_t Max() const { return max_; }
  void setMax(int32_t v);
  int32_t Min() const { return min_; }
  void setMin(int32_t v);
  int32_t NumDigits() const { return numDigits_; }
  void setNumDigits(int32_t v);
  int32_t Position() const { return position_; }
  void setPosition(int32_t v);
  int32_t StartColor2() const { return startColor2_; }
  void setStartColor2(int32_t v);
  int32_t StartColor3() const { return startColor3_; }
  void setStartColor3(int32_t v);

  TNotifyEvent OnChange;

  // Draws the meter into `painter` (also what the widget shows).
  void drawTo(QPainter& painter) const;

  // Position as a whole percentage of the scale (0 when the scale is empty).
  int percent() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void setColorLED(int index, TColor v);
  // Segments lit at the current position.
  int litSegments() const;
  // Whether there is at least one segment and the segments are at least a pixel wide.
  bool segmentsFit() const;
  // Segment `i`'s outline, counted from where the meter starts to light up; empty when
  // the segments would be narrower than a pixel.
  QRect segmentRect(int i) const;
  // Segments `from` .. `to`-1 as the position and the colour ranges have them, and one
  // segment with its outline, lit or dark, in colour range `range`; on a prepared painter.
  void paintSegments(QPainter& painter, int from, int to) const;
  void paintSegment(QPainter& painter, const QRect& outline, bool lit, int range) const;
  // The segments and the bevel, on a painter prepared for pixel-exact work.
  void paintSegments(QPainter& painter) const;
  // True when the segments and the bevel leave no pixel to the parent.
  bool paintsEveryPixel() const;
  void renderCache();
  void redraw();
  // Whether the image is drawn at the widget's size and device pixel ratio.
  bool cacheFits() const;
  // After a position change from `litBefore` lit segments: draws what changed.
  void redrawLit(int litBefore);
  TBevelCut bevelStyle_ = bvLowered;
  TColor colorLED_[3] = {clLime, clYellow, clRed};
  TColor dimmed_[3] = {};
  TColor colorSeperator_ = clBlack;
  TMeterDirection direction_ = mdRight;
  int32_t max_ = 100;
  int32_t min_ = 0;
  int32_t numDigits_ = 20;
  int32_t position_ = 0;
  int32_t startColor2_ = 75;
  int32_t startColor3_ = 90;
  // The meter as last drawn (transparent where it leaves the parent's pixels), at the
  // widget's device pixel ratio, and a painter kept open on it: a redraw allocates
  // nothing unless the size or the ratio changed.
  QImage cache_;
  QPainter cachePainter_;
  bool cacheStale_ = false;  // the image lags behind the properties (drawn at the next paint)
  // Tells a screen reader of new positions; the position it last told.
  AccessibleAnnouncer announcer_;
  int32_t announcedPosition_ = 0;
};

// A number shown as seven-segment LED digits with an optional separator glyph.
class TLEDDisplay : public QWidget {
 public:
  explicit TLEDDisplay(QWidget* parent = nullptr);

  TBevelCut BevelStyle() const { return bevelStyle_; }
  void setBevelStyle(TBevelCut v);
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void setBorderStyle(TBorderStyle v);
  TColor ColorBackGround() const { return colorBackGround_; }
  void setColorBackGround(TColor v);
  TColor ColorLED() const { return colorLED_; }
  void setColorLED(TColor v);
  TDecSeperator DecSeperator() const { return decSeperator_; }
  void setDecSeperator(TDecSeperator v);
  int32_t DigitHeight() const { return digitHeight_; }
  void setDigitHeight(int32_t v);
  int32_t DigitWidth() const { return digitWidth_; }
  void setDigitWidth(int32_t v);
  int32_t DigitLineWidth() const { return digitLineWidth_; }
  void setDigitLineWidth(int32_t v);
  int32_t FractionDigits() const { return fractionDigits_; }
  void setFractionDigits(int32_t v);
  bool LeadingZeros() const { return leadingZeros_; }
  void setLeadingZeros(bool v);
  int32_t NumDigits() const { return numDigits_; }
  void setNumDigits(int32_t v);
  TSegmentStyle SegmentStyle() const { return segmentStyle_; }
  void setSegmentStyle(TSegmentStyle v);
  long double Value() const { return value_; }
  void setValue(long double v);

  TNotifyEvent OnChange;

  void drawTo(QPainter& painter) const;

  // The characters the display shows, left to right, the separator as the character its
  // glyph stands for (":" for dsDoublePoint); cells left empty are left out.
  QString shownText() const;

  // Image cells beyond the ten digits: a minus sign and a cell with no segment lit.
  static constexpr int kMinusGlyph = 10;
  static constexpr int kBlankGlyph = 11;
  static constexpr int kGlyphCount = 12;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void buildDigitImages();
  void buildDigitImages(QImage (&images)[kGlyphCount], qreal ratio) const;
  TBevelCut bevelStyle_ = bvLowered;
  TBorderStyle borderStyle_ = bsSingle;
  TColor colorBackGround_ = clGray;
  TColor colorLED_ = clLime;
  TColor dimmed_ = 0;
  TDecSeperator decSeperator_ = dsComma;
  int32_t digitHeight_ = 30;
  int32_t digitWidth_ = 20;
  int32_t digitLineWidth_ = 3;
  int32_t fractionDigits_ = 0;
  bool leadingZeros_ = true;
  int32_t numDigits_ = 6;
  TSegmentStyle segmentStyle_ = ssBeveled;
  long double value_ = 0;
  QImage digits_[kGlyphCount];
  qreal digitsRatio_ = 1;
  // Tells a screen reader of new texts; the text it last told.
  AccessibleAnnouncer announcer_;
  QString announcedText_;
};

// A container panel drawn like the front plate of a rack unit, with a screw head in
// each corner. The drawing is kept in a pixmap, redrawn only when a property, the size,
// the palette, the font or the device pixel ratio changes; a repaint (such as under a
// child that changed) copies just the exposed part of it.
class TScrewPanel : public QWidget {
 public:
  explicit TScrewPanel(QWidget* parent = nullptr);

  TColor Color() const { return color_; }
  void setColor(TColor v);
  int32_t Margin() const { return margin_; }
  void setMargin(int32_t v);
  uint8_t ScrewSize() const { return screwSize_; }
  void setScrewSize(uint8_t v);
  bool ShowScrews() const { return showScrews_; }
  void setShowScrews(bool v);
  TAlignment Alignment() const { return alignment_; }
  void setAlignment(TAlignment v);
  TBevelCut BevelInner() const { return bevelInner_; }
  void setBevelInner(TBevelCut v);
  TBevelCut BevelOuter() const { return bevelOuter_; }
  void setBevelOuter(TBevelCut v);
  int32_t BevelWidth() const { return bevelWidth_; }
  void setBevelWidth(int32_t v);
  int32_t BorderWidth() const { return borderWidth_; }
  void setBorderWidth(int32_t v);
  QString Caption() const { return caption_; }
  void setCaption(const QString& v);

  void drawTo(QPainter& painter) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  // The drawing has changed: the pixmap is redrawn at the next paint.
  void redraw();
  TColor color_ = clBtnFace;
  TColor highlight_ = 0;
  TColor shadow_ = 0;
  int32_t margin_ = 2;
  uint8_t screwSize_ = 2;
  bool showScrews_ = true;
  TAlignment alignment_ = taCenter;
  TBevelCut bevelInner_ = bvNone;
  TBevelCut bevelOuter_ = bvRaised;
  int32_t bevelWidth_ = 1;
  int32_t borderWidth_ = 0;
  QString caption_;
  QPixmap cache_;
  bool cacheValid_ = false;
};
