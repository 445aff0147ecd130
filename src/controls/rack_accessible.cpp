#include "controls/rack_accessible.h"

#include <QAccessible>
#include <QAccessibleWidget>

#include "controls/RackCtls.h"

namespace {

// A control whose text is read, never edited or selected, as a screen reader reads a label.
class AccessibleReadOnly : public QAccessibleWidget, public QAccessibleTextInterface {
 public:
  AccessibleReadOnly(QWidget* widget, QAccessible::Role role) : QAccessibleWidget(widget, role) {}

  virtual QString fullText() const = 0;

  void* interface_cast(QAccessible::InterfaceType t) override {
    if (t == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(t);
  }
  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    s.readOnly = true;
    return s;
  }
  QString text(QAccessible::Text t) const override { return QAccessibleWidget::text(t); }

  void selection(int, int* startOffset, int* endOffset) const override { *startOffset = *endOffset = 0; }
  int selectionCount() const override { return 0; }
  void addSelection(int, int) override {}
  void removeSelection(int) override {}
  void setSelection(int, int, int) override {}
  int cursorPosition() const override { return 0; }
  void setCursorPosition(int) override {}
  QString text(int startOffset, int endOffset) const override {
    const QString all = fullText();
    startOffset = qBound(0, startOffset, int(all.size()));
    endOffset = qBound(startOffset, endOffset < 0 ? int(all.size()) : endOffset, int(all.size()));
    return all.mid(startOffset, endOffset - startOffset);
  }
  int characterCount() const override { return int(fullText().size()); }
  QRect characterRect(int) const override { return {}; }
  int offsetAtPoint(const QPoint&) const override { return -1; }
  void scrollToSubstring(int, int) override {}
  QString attributes(int, int* startOffset, int* endOffset) const override {
    *startOffset = 0;
    *endOffset = characterCount();
    return {};
  }
};

class AccessibleLEDMeter : public AccessibleReadOnly, public QAccessibleValueInterface {
 public:
  explicit AccessibleLEDMeter(TLEDMeter* meter) : AccessibleReadOnly(meter, QAccessible::ProgressBar) {}

  void* interface_cast(QAccessible::InterfaceType t) override {
    if (t == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    return AccessibleReadOnly::interface_cast(t);
  }
  using AccessibleReadOnly::text;
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value) return QString::number(meter()->percent()) + " %";
    return AccessibleReadOnly::text(t);
  }

  QVariant currentValue() const override { return meter()->Position(); }
  void setCurrentValue(const QVariant&) override {}  // the meter shows a level, nobody sets it
  QVariant maximumValue() const override { return meter()->Max(); }
  QVariant minimumValue() const override { return meter()->Min(); }
  QVariant minimumStepSize() const override { return 1; }

  // "<name> <percent> %", so that the level reads as one phrase.
  QString fullText() const override {
    const QString name = text(QAccessible::Name);
    const QString value = text(QAccessible::Value);
    return name.isEmpty() ? value : name + ' ' + value;
  }

 private:
  TLEDMeter* meter() const { return static_cast<TLEDMeter*>(widget()); }
};

class AccessibleLEDDisplay : public AccessibleReadOnly {
 public:
  explicit AccessibleLEDDisplay(TLEDDisplay* display) : AccessibleReadOnly(display, QAccessible::StaticText) {}

  using AccessibleReadOnly::text;
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value) return fullText();
    return AccessibleReadOnly::text(t);
  }
  QString fullText() const override { return static_cast<TLEDDisplay*>(widget())->shownText(); }
};

QAccessibleInterface* rackFactory(const QString&, QObject* object) {
  // The controls carry no meta-object of their own, so they are told apart by type.
  if (auto* meter = dynamic_cast<TLEDMeter*>(object)) return new AccessibleLEDMeter(meter);
  if (auto* display = dynamic_cast<TLEDDisplay*>(object)) return new AccessibleLEDDisplay(display);
  if (auto* panel = dynamic_cast<TScrewPanel*>(object)) return new QAccessibleWidget(panel, QAccessible::Pane);
  return nullptr;
}

}  // namespace

void installRackAccessibility() {
  static const bool installed = (QAccessible::installFactory(rackFactory), true);
  (void)installed;
}
