#include "app/overview/take_picture.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QPainter>
#include <QStringList>
#include <QToolTip>
#include <algorithm>
#include <cmath>

#include "app/run/run_record.h"

namespace {

constexpr int kTopMargin = 9;  // room for the marks' flags
constexpr int kRightMargin = 8;
constexpr int kLaneGap = 6;
constexpr int kMarkReach = 3;  // pixels either side of a mark that show its text
// The run time between two labelled ticks of the axis, in tenths, from which the
// shortest that leaves room for a label is taken.
constexpr uint64_t kTickSteps[] = {10,   20,   50,   100,   150,   300,   600,    1200,
                                   3000, 6000, 9000, 18000, 36000, 72000, 108000, 216000};
constexpr int kTickRoom = 90;

QFont smallFont(const QFont& font) {
  QFont small = font;
  small.setPixelSize(10);
  return small;
}

// The local clock time of run time `tenths`.
QString clockText(const QDateTime& start, uint64_t tenths) {
  return start.addMSecs(static_cast<qint64>(tenths) * 100).toString("HH:mm:ss");
}

}  // namespace

double peakDb(uint16_t peak) {
  if (peak == 0) return -INFINITY;
  return 20.0 * std::log10(peak / 32767.0);
}

QString levelText(uint16_t peak) {
  if (peak == 0) return TakePicture::tr("silence");
  return TakePicture::tr("%1 dB").arg(QLocale().toString(peakDb(peak), 'f', 1));
}

TakePicture::TakePicture(const TakeHistory& history, QWidget* parent) : QWidget(parent), history_(history) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(false);
  setFocusPolicy(Qt::StrongFocus);
}

void TakePicture::setCursorX(int x) {
  const QRect plot = plotArea();
  cursorX_ = history_.size() == 0 ? -1 : std::clamp(x, plot.left(), plot.right());
  setAccessibleName(cursorX_ < 0 ? tr("Take picture") : describeAt(cursorX_));
  update();
}

void TakePicture::keyPressEvent(QKeyEvent* event) {
  const QRect plot = plotArea();
  const int at = cursorX_ < 0 ? plot.left() : cursorX_;
  const int page = std::max(1, plot.width() / 10);
  switch (event->key()) {
    case Qt::Key_Left: setCursorX(cursorX_ < 0 ? plot.left() : at - 1); break;
    case Qt::Key_Right: setCursorX(cursorX_ < 0 ? plot.left() : at + 1); break;
    case Qt::Key_PageUp: setCursorX(at - page); break;
    case Qt::Key_PageDown: setCursorX(at + page); break;
    case Qt::Key_Home: setCursorX(plot.left()); break;
    case Qt::Key_End: setCursorX(plot.right()); break;
    default: QWidget::keyPressEvent(event);
  }
}

QRect TakePicture::plotArea() const {
  const QFontMetrics metrics(smallFont(font()));
  const int left = metrics.horizontalAdvance("-48") + 8;
  const int bottom = 2 * metrics.height() + 8;
  return {left, kTopMargin, std::max(1, width() - left - kRightMargin), std::max(2, height() - kTopMargin - bottom)};
}

QRect TakePicture::lane(int channel) const {
  const QRect plot = plotArea();
  if (history_.channels() == 1) return plot;
  const int height = std::max(1, (plot.height() - kLaneGap) / 2);
  return {plot.left(), plot.top() + channel * (height + kLaneGap), plot.width(), height};
}

int TakePicture::xOf(uint64_t tenths) const {
  const QRect plot = plotArea();
  const uint64_t n = history_.size();
  if (n == 0) return plot.left();
  const auto w = static_cast<uint64_t>(plot.width());
  // The first column of the stretch that holds `tenths`: where a run shorter than the
  // width gives a tenth several columns, its leftmost; otherwise the one column holding it.
  const uint64_t first = (tenths * w + n - 1) / n;
  const uint64_t holding = ((tenths + 1) * w - 1) / n;
  return plot.left() + static_cast<int>(std::min({first, holding, w - 1}));
}

TakeStretch TakePicture::stretchAt(int x) const {
  const QRect plot = plotArea();
  if (x < plot.left() || x > plot.right()) return {};
  return history_.columnStretch(x - plot.left(), plot.width());
}

QRgb TakePicture::markColour(TakeMarkKind kind) {
  switch (kind) {
    case TakeMarkKind::FileStart: return kFileMark;
    case TakeMarkKind::Dropout: return kDropoutMark;
    case TakeMarkKind::Marker: break;
  }
  return kMarkerMark;
}

std::vector<const TakeMark*> TakePicture::marksAt(int x) const {
  std::vector<const TakeMark*> found;
  for (const TakeMark& mark : history_.marks()) {
    if (std::abs(xOf(mark.tenths) - x) <= kMarkReach) found.push_back(&mark);
  }
  return found;
}

QString TakePicture::describeAt(int x) const {
  const TakeStretch stretch = stretchAt(x);
  if (stretch.first >= stretch.last) return {};
  const TakeColumn column = history_.summarise(stretch);
  QString text = runTimeText(stretch.first / 10) + " (" + clockText(history_.start(), stretch.first) + "): ";
  QStringList facts;
  if (history_.channels() == 1) {
    facts << tr("level %1").arg(levelText(column.peak[0]));
  } else {
    facts << tr("left %1").arg(levelText(column.peak[0])) << tr("right %1").arg(levelText(column.peak[1]));
  }
  if (column.clipped[0] || column.clipped[1]) facts << tr("clipped");
  if (column.lost) {
    facts << tr("input lost");
  } else if (column.silent) {
    facts << tr("no signal");
  }
  text += facts.join(", ");
  for (const TakeMark* mark : marksAt(x)) text += "; " + mark->text;
  return text;
}

void TakePicture::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  draw(painter);
}

void TakePicture::draw(QPainter& painter) const {
  painter.fillRect(rect(), QColor::fromRgb(kBackground));
  painter.setFont(smallFont(font()));
  if (history_.size() == 0) {
    painter.setPen(QColor::fromRgb(kGrid));
    painter.drawText(rect(), Qt::AlignCenter, tr("The picture of a run appears here when it starts."));
    return;
  }
  history_.reduce(plotArea().width(), columns_);
  // The marks' lines lie under the levels, so that no mark hides a clip; their flags
  // above the lanes are always seen.
  for (int c = 0; c < history_.channels(); ++c) drawShading(painter, c);
  drawMarks(painter);
  for (int c = 0; c < history_.channels(); ++c) drawLane(painter, c);
  drawAxis(painter);
  if (cursorX_ >= 0) {
    const QRect plot = plotArea();
    painter.fillRect(cursorX_, plot.top(), 1, plot.height(), QColor::fromRgb(kCursor));
  }
}

void TakePicture::drawShading(QPainter& painter, int channel) const {
  const QRect area = lane(channel);
  for (size_t i = 0; i < columns_.size(); ++i) {
    const TakeColumn& column = columns_[i];
    const int x = area.left() + static_cast<int>(i);
    if (column.lost) {
      painter.fillRect(x, area.top(), 1, area.height(), QColor::fromRgb(kLost));
    } else if (column.silent) {
      painter.fillRect(x, area.top(), 1, area.height(), QColor::fromRgb(kSilent));
    }
  }
}

void TakePicture::drawLane(QPainter& painter, int channel) const {
  const QRect area = lane(channel);
  const int height = area.height();
  for (size_t i = 0; i < columns_.size(); ++i) {
    const TakeColumn& column = columns_[i];
    const int x = area.left() + static_cast<int>(i);
    const double db = peakDb(column.peak[channel]);
    if (!(db > kFloorDb)) continue;
    const int top = area.top() + static_cast<int>(std::lround(-db / -kFloorDb * height));
    painter.fillRect(x, top, 1, area.top() + height - top,
                     QColor::fromRgb(column.clipped[channel] ? kClipped : kLevel));
  }

  // The scale's lines over the levels, labelled in the margin where there is room.
  const QFontMetrics metrics(painter.font());
  painter.setPen(QPen(QColor::fromRgb(kGrid), 1, Qt::DotLine));
  int labelBottom = area.top() - metrics.height();
  for (int db : kLines) {
    const int y = area.top() + static_cast<int>(std::lround(db / kFloorDb * height));
    painter.drawLine(area.left(), y, area.right(), y);
    const QRect label(0, y - metrics.height() / 2, area.left() - 4, metrics.height());
    if (label.top() < labelBottom) continue;
    painter.drawText(label, Qt::AlignRight | Qt::AlignVCenter, QString::number(db));
    labelBottom = label.bottom();
  }
  painter.setPen(QColor::fromRgb(kGrid));
  painter.drawRect(area.adjusted(-1, -1, 0, 0));
  if (history_.channels() == 2) {
    const QRect name(0, area.bottom() - metrics.height(), area.left() - 4, metrics.height());
    painter.drawText(name, Qt::AlignRight | Qt::AlignBottom, channel == 0 ? tr("L") : tr("R"));
  }
}

void TakePicture::drawMarks(QPainter& painter) const {
  const QRect plot = plotArea();
  for (const TakeMark& mark : history_.marks()) {
    const int x = std::clamp(xOf(mark.tenths), plot.left(), plot.right());
    const QColor colour = QColor::fromRgb(markColour(mark.kind));
    painter.fillRect(x, plot.top(), 1, plot.height(), colour);
    const QPoint flag[] = {{x - 4, plot.top() - 8}, {x + 4, plot.top() - 8}, {x, plot.top() - 1}};
    painter.setPen(colour);
    painter.setBrush(colour);
    painter.drawPolygon(flag, 3);
  }
  painter.setBrush(Qt::NoBrush);
}

void TakePicture::drawAxis(QPainter& painter) const {
  const QRect plot = plotArea();
  const uint64_t n = history_.size();
  const auto w = static_cast<uint64_t>(plot.width());
  uint64_t step = kTickSteps[std::size(kTickSteps) - 1];
  for (uint64_t s : kTickSteps) {
    if (s * w >= kTickRoom * n) {
      step = s;
      break;
    }
  }
  const QFontMetrics metrics(painter.font());
  const int row = plot.bottom() + 4;
  painter.setPen(QColor::fromRgb(kGrid));
  for (uint64_t t = 0; t <= n; t += step) {
    const int x = plot.left() + static_cast<int>(t * w / n);
    painter.drawLine(x, plot.bottom() + 1, x, plot.bottom() + 3);
    const QString times[] = {runTimeText(t / 10), clockText(history_.start(), t)};
    for (int r = 0; r < 2; ++r) {
      const int textWidth = metrics.horizontalAdvance(times[r]);
      const int left = std::clamp(x - textWidth / 2, 0, std::max(0, width() - textWidth));
      painter.setPen(r == 0 ? palette().color(QPalette::WindowText) : QColor::fromRgb(kGrid));
      painter.drawText(QRect(left, row + r * metrics.height(), textWidth, metrics.height()), Qt::AlignCenter, times[r]);
    }
    painter.setPen(QColor::fromRgb(kGrid));
  }
}

bool TakePicture::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const QString text = describeAt(help->pos().x());
    if (text.isEmpty()) {
      QToolTip::hideText();
      event->ignore();
    } else {
      QToolTip::showText(help->globalPos(), text, this);
    }
    return true;
  }
  return QWidget::event(event);
}
