// The status line's items: labels that end a text too long for the line in "...", the
// line's accessible description, and the paced announcements to a screen reader.
#include "app/run/status_line.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QStringList>

namespace {

// A label that gives up width when the line is short of it and then ends its text in
// "...", so that a long text never widens the window.
class StatusItem : public QLabel {
 public:
  using QLabel::QLabel;
  QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }
  std::function<void()> onClick;

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && onClick) onClick();
  }
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    const QRect area = contentsRect();
    painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter,
                     fontMetrics().elidedText(text(), Qt::ElideRight, area.width()));
  }
};

}  // namespace

StatusLine::StatusLine(QWidget* parent) : QStatusBar(parent), announcer_([this] { return publish(); }) {
  setSizeGripEnabled(false);
  setAccessibleName(tr("Status line"));
  // The line takes the window's width and never asks for more.
  setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  for (size_t i = 0; i < items_.size(); ++i) {
    auto* item = new StatusItem(this);
    item->onClick = [this, i] {
      if (OnItemClick) OnItemClick(static_cast<Item>(i));
    };
    items_[i] = item;
    addWidget(item, 1);
  }
  // The summary opens more about the run it tells of.
  items_[Summary]->setCursor(Qt::PointingHandCursor);
  // Its height is that of a line of text, shown or not, so the window keeps its size.
  items_[0]->setText("X");
  setFixedHeight(sizeHint().height());
  items_[0]->clear();
  for (QLabel* item : items_) item->hide();
}

void StatusLine::setItem(Item which, const QString& text) {
  QLabel* item = items_[which];
  if (item->text() == text) return;
  item->setText(text);
  item->setToolTip(text);
  item->setVisible(!text.isEmpty());
  // Without a screen reader nobody hears the names change, so they follow at once.
  if (AccessibleAnnouncer::active())
    announcer_.changed();
  else
    publish();
}

QString StatusLine::item(Item which) const { return items_[which]->text(); }

void StatusLine::clearItems() {
  for (int i = 0; i < itemCount; ++i) setItem(static_cast<Item>(i), {});
}

bool StatusLine::publish() {
  // Each change of a name or of the description is an event of its own to the reader.
  bool changed = false;
  QStringList shown;
  for (QLabel* item : items_) {
    if (!item->text().isEmpty()) shown << item->text();
    if (item->accessibleName() == item->text()) continue;
    item->setAccessibleName(item->text());
    changed = true;
  }
  const QString description = shown.join("; ");
  if (description != accessibleDescription()) {
    setAccessibleDescription(description);
    changed = true;
  }
  return changed;
}
