// Colour values: resolving system colours through the desktop palette, and the
// brightness shift the rack controls use for dimmed LEDs, highlights and shadows.
#include <QGuiApplication>
#include <QPalette>
#include <algorithm>

#include "controls/RackCtls.h"

namespace {

constexpr TColor kSystemColorFlag = 0x80000000;

// The system colour indices, mapped to the palette roles of the running desktop.
QColor systemColor(uint32_t index) {
  const QPalette palette = QGuiApplication::palette();
  switch (index) {
    case 0: return palette.color(QPalette::Button);                     // scroll bar
    case 1: return palette.color(QPalette::Window);                     // desktop
    case 2: return palette.color(QPalette::Highlight);                  // active caption
    case 3: return palette.color(QPalette::Mid);                        // inactive caption
    case 4: return palette.color(QPalette::Window);                     // menu
    case 5: return palette.color(QPalette::Base);                       // clWindow
    case 6: return palette.color(QPalette::Shadow);                     // clWindowFrame
    case 7: return palette.color(QPalette::WindowText);                 // menu text
    case 8: return palette.color(QPalette::Text);                       // window text
    case 9: return palette.color(QPalette::HighlightedText);            // caption text
    case 10:                                                            // active border
    case 11: return palette.color(QPalette::Button);                    // inactive border
    case 12: return palette.color(QPalette::Mid);                       // application workspace
    case 13: return palette.color(QPalette::Highlight);                 // selection
    case 14: return palette.color(QPalette::HighlightedText);           // selected text
    case 15: return palette.color(QPalette::Button);                    // clBtnFace
    case 16: return palette.color(QPalette::Dark);                      // clBtnShadow
    case 17: return palette.color(QPalette::Disabled, QPalette::Text);  // grey text
    case 18: return palette.color(QPalette::ButtonText);
    case 19: return palette.color(QPalette::WindowText);  // inactive caption text
    case 20: return palette.color(QPalette::Light);       // clBtnHighlight
    case 21: return palette.color(QPalette::Shadow);      // dark 3D shadow
    case 22: return palette.color(QPalette::Midlight);    // 3D light
    case 23: return palette.color(QPalette::ToolTipText);
    case 24: return palette.color(QPalette::ToolTipBase);
    case 26: return palette.color(QPalette::Link);
    case 27: return palette.color(QPalette::Highlight);
    case 28: return palette.color(QPalette::Mid);
    case 29: return palette.color(QPalette::Highlight);
    case 30: return palette.color(QPalette::Window);
    default: return QColor(0, 0, 0);
  }
}

}  // namespace

QColor ColorToQColor(TColor color) {
  if ((color & 0xFF000000) == kSystemColorFlag) return systemColor(color & 0x00FFFFFF);
  return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

TColor ShiftBrightness(TColor color, int percent) {
  const QColor c = ColorToQColor(color);
  // 64-bit arithmetic so that no percentage can overflow; the divisions truncate
  // toward zero. A channel that overflows spills into the following channels.
  const int64_t p = percent;
  int64_t r = c.red() + (c.red() * p) / 100;
  int64_t carry = r > 255 ? r - 255 : 0;
  int64_t g = c.green() + (c.green() * p) / 100 + carry;
  if (g > 255) {
    r += g - 255;
    carry = g - 255;
  }
  int64_t b = c.blue() + (c.blue() * p) / 100 + carry;
  if (b > 255 && g <= 255) r += b - 255;
  auto clampByte = [](int64_t v) { return static_cast<uint8_t>(std::clamp<int64_t>(v, 0, 255)); };
  return RGB(clampByte(r), clampByte(g), clampByte(b));
}
