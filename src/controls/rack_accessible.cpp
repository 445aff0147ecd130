// The accessible descriptions of the LED meter, the LED display and the screw panel, and
// the factory through which the toolkit finds them.
#include "controls/rack_accessible.h"

#include <QAccessible>

#include "controls/RackCtls.h"
#include "controls/accessible_read_only.h"

namespace {

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
