// Vector drawing of the button faces and the program icon.
#include "app/window/button_faces.h"

#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

namespace {

using Drawing = std::function<void(QPainter&, const QRectF&)>;

// Draws a face into a square of side `s` centred in `r`, in units of that side.
QRectF square(const QRectF& r) {
  const qreal s = std::min(r.width(), r.height());
  return QRectF(r.center().x() - s / 2, r.center().y() - s / 2, s, s);
}

void drawRing(QPainter& p, const QRectF& r, const QColor& color) {
  const QRectF q = square(r);
  const qreal s = q.width();
  QPen pen(color, s * 0.17);
  p.setPen(pen);
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(q.center(), s * 0.32, s * 0.32);
}

void drawDisc(QPainter& p, const QRectF& r) {
  const QRectF q = square(r);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::black);
  p.drawEllipse(q.center(), q.width() * 0.38, q.width() * 0.38);
}

void drawSquare(QPainter& p, const QRectF& r) {
  const QRectF q = square(r);
  const qreal side = q.width() * 0.64;
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::black);
  p.drawRect(QRectF(q.center().x() - side / 2, q.center().y() - side / 2, side, side));
}

void drawFloppy(QPainter& p, const QRectF& r) {
  const QRectF q = square(r);
  const qreal u = q.width() / 16.0;  // a 16-unit grid
  auto at = [&](qreal x, qreal y, qreal w, qreal h) { return QRectF(q.left() + x * u, q.top() + y * u, w * u, h * u); };
  // Body with the cut corner at the top right.
  QPainterPath body;
  body.moveTo(q.left() + 1.5 * u, q.top() + 1.5 * u);
  body.lineTo(q.left() + 12.5 * u, q.top() + 1.5 * u);
  body.lineTo(q.left() + 14.5 * u, q.top() + 3.5 * u);
  body.lineTo(q.left() + 14.5 * u, q.top() + 14.5 * u);
  body.lineTo(q.left() + 1.5 * u, q.top() + 14.5 * u);
  body.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x1c, 0x2a, 0x4a));
  p.drawPath(body);
  // Metal shutter with its window.
  p.setBrush(QColor(0xc8, 0xcc, 0xd0));
  p.drawRect(at(4, 1.5, 8, 5));
  p.setBrush(QColor(0x1c, 0x2a, 0x4a));
  p.drawRect(at(9, 2.5, 2, 3));
  // Label.
  p.setBrush(Qt::white);
  p.drawRect(at(3.5, 8.5, 9, 6));
  p.setPen(QPen(QColor(0x80, 0x80, 0x90), u * 0.6));
  p.drawLine(QPointF(q.left() + 5 * u, q.top() + 10.5 * u), QPointF(q.left() + 11 * u, q.top() + 10.5 * u));
  p.drawLine(QPointF(q.left() + 5 * u, q.top() + 12.5 * u), QPointF(q.left() + 11 * u, q.top() + 12.5 * u));
}

void drawProgramIcon(QPainter& p, const QRectF& r) {
  const QRectF q = square(r);
  const qreal u = q.width() / 64.0;
  auto at = [&](qreal x, qreal y, qreal w, qreal h) { return QRectF(q.left() + x * u, q.top() + y * u, w * u, h * u); };
  // Rack plate with a raised edge.
  p.setPen(QPen(QColor(0x50, 0x50, 0x50), 2 * u));
  QLinearGradient plate(q.topLeft(), q.bottomRight());
  plate.setColorAt(0, QColor(0xe0, 0xe0, 0xe0));
  plate.setColorAt(1, QColor(0xa8, 0xa8, 0xa8));
  p.setBrush(plate);
  p.drawRoundedRect(at(3, 3, 58, 58), 6 * u, 6 * u);
  // Screws in the corners.
  p.setPen(QPen(QColor(0x40, 0x40, 0x40), 1.2 * u));
  for (const QPointF c : {QPointF(10, 10), QPointF(54, 10), QPointF(10, 54), QPointF(54, 54)}) {
    const QPointF centre(q.left() + c.x() * u, q.top() + c.y() * u);
    p.setBrush(QColor(0xd8, 0xd8, 0xd8));
    p.drawEllipse(centre, 3 * u, 3 * u);
    p.drawLine(centre + QPointF(-2 * u, 2 * u), centre + QPointF(2 * u, -2 * u));
  }
  // Two LED bar meters: blue, green and red segments lit from the bottom.
  const QColor lit[3] = {QColor(0, 160, 255), QColor(0, 255, 0), QColor(255, 64, 64)};
  const QColor dark[3] = {QColor(0, 80, 128), QColor(0, 128, 0), QColor(128, 32, 32)};
  p.setPen(Qt::NoPen);
  for (int meter = 0; meter < 2; ++meter) {
    const qreal x = meter == 0 ? 18 : 34;
    const int level = meter == 0 ? 7 : 5;
    p.setBrush(Qt::black);
    p.drawRect(at(x - 1, 13, 12, 40));
    for (int segment = 0; segment < 8; ++segment) {
      const int zone = segment < 4 ? 0 : (segment < 6 ? 1 : 2);
      p.setBrush(segment < level ? lit[zone] : dark[zone]);
      p.drawRect(at(x, 48 - segment * 4.8, 10, 3.8));
    }
  }
  // Red recording lamp.
  p.setBrush(QColor(0xe0, 0, 0));
  p.setPen(QPen(QColor(0x60, 0, 0), 1 * u));
  p.drawEllipse(QPointF(q.left() + 52 * u, q.top() + 32 * u), 4 * u, 4 * u);
}

// An icon engine that draws its picture at whatever size and scale is asked for.
class DrawnIconEngine : public QIconEngine {
 public:
  explicit DrawnIconEngine(Drawing drawing) : drawing_(std::move(drawing)) {}

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    const qreal scale = painter->device() != nullptr ? painter->device()->devicePixelRatioF() : 1.0;
    QPixmap picture = pixmap((QSizeF(rect.size()) * scale).toSize(), mode, state);
    picture.setDevicePixelRatio(scale);
    painter->drawPixmap(rect, picture);
  }

  // The picture drawn at exactly `size` pixels; the icon asks for the device's pixels
  // when the screen is scaled, so nothing is ever enlarged from a smaller drawing.
  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override {
    QImage image(size.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
      QPainter p(&image);
      p.setRenderHint(QPainter::Antialiasing);
      drawing_(p, QRectF(QPointF(0, 0), QSizeF(image.size())));
    }
    if (mode == QIcon::Disabled) greyOut(image);
    return QPixmap::fromImage(image);
  }

  QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }
  QIconEngine* clone() const override { return new DrawnIconEngine(drawing_); }
  QString key() const override { return "tessaron-drawn"; }

 private:
  // Every painted pixel becomes a mid grey of the same coverage.
  static void greyOut(QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
      for (int x = 0; x < image.width(); ++x) {
        const int alpha = qAlpha(line[x]);
        const int grey = 0x90 * alpha / 255;
        line[x] = qRgba(grey, grey, grey, alpha);
      }
    }
  }
  Drawing drawing_;
};

QIcon drawnIcon(Drawing drawing) { return QIcon(new DrawnIconEngine(std::move(drawing))); }

}  // namespace

QIcon buttonFace(ButtonFace face) {
  switch (face) {
    case ButtonFace::RedRing: return drawnIcon([](QPainter& p, const QRectF& r) { drawRing(p, r, QColor(220, 0, 0)); });
    case ButtonFace::BlackRing: return drawnIcon([](QPainter& p, const QRectF& r) { drawRing(p, r, Qt::black); });
    case ButtonFace::BlackDisc: return drawnIcon(drawDisc);
    case ButtonFace::BlackSquare: return drawnIcon(drawSquare);
    case ButtonFace::FloppyDisk: return drawnIcon(drawFloppy);
  }
  return {};
}

QIcon tessaronIcon() { return drawnIcon(drawProgramIcon); }
