// What the rack controls tell a screen reader: a meter's value and text, a display's
// digits, the panel as a container, and how often their changes are announced.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QElapsedTimer>
#include <vector>

#include "controls/RackCtls.h"
#include "support/event_wait.h"

namespace {

QString readText(QAccessibleInterface* iface) {
  QAccessibleTextInterface* text = iface->textInterface();
  return text ? text->text(0, text->characterCount()) : QString("(no text interface)");
}

// Configured like the main window's level meters.
void configureLevelMeter(TLEDMeter& m) {
  m.setBevelStyle(bvNone);
  m.setDirection(mdUp);
  m.setMax(16);
  m.setNumDigits(16);
}

// Configured like the main window's time displays.
void configureTimeDisplay(TLEDDisplay& d) {
  d.setDecSeperator(dsDoublePoint);
  d.setFractionDigits(2);
  d.setNumDigits(4);
}

TEST(RackAccessible, MeterTellsItsPositionAsValueAndAsPercentOfItsScale) {
  TLEDMeter meter;
  configureLevelMeter(meter);
  meter.setAccessibleName("Left level");
  QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&meter);
  ASSERT_NE(iface, nullptr);
  EXPECT_EQ(iface->role(), QAccessible::ProgressBar);
  EXPECT_EQ(iface->text(QAccessible::Name), "Left level");
  QAccessibleValueInterface* value = iface->valueInterface();
  ASSERT_NE(value, nullptr);

  const struct {
    int position;
    int shown;
    const char* text;
  } cases[] = {{0, 0, "Left level 0 %"},
               {10, 10, "Left level 63 %"},
               {1, 1, "Left level 6 %"},
               {16, 16, "Left level 100 %"},
               {40, 16, "Left level 100 %"}};
  for (const auto& c : cases) {
    meter.setPosition(c.position);
    EXPECT_EQ(value->currentValue().toInt(), c.shown) << c.position;
    EXPECT_EQ(value->minimumValue().toInt(), 0);
    EXPECT_EQ(value->maximumValue().toInt(), 16);
    EXPECT_EQ(readText(iface), c.text) << c.position;
  }

  // Nobody sets a meter from outside.
  value->setCurrentValue(3);
  EXPECT_EQ(meter.Position(), 16);

  // Without a name the text is the level alone; an empty scale reads 0 %.
  meter.setAccessibleName("");
  EXPECT_EQ(readText(iface), "100 %");
  meter.setMax(0);
  EXPECT_EQ(readText(iface), "0 %");
}

TEST(RackAccessible, DisplayTellsTheCharactersItShows) {
  TLEDDisplay display;
  configureTimeDisplay(display);
  display.setAccessibleName("Elapsed time");
  QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&display);
  ASSERT_NE(iface, nullptr);
  EXPECT_EQ(iface->role(), QAccessible::StaticText);
  EXPECT_EQ(iface->text(QAccessible::Name), "Elapsed time");

  const struct {
    long double value;
    TDecSeperator separator;
    int fractionDigits;
    bool leadingZeros;
    const char* shown;
  } cases[] = {
      {5.07L, dsDoublePoint, 2, true, "05:07"},   {0, dsDoublePoint, 2, true, "00:00"},
      {123.45L, dsDoublePoint, 2, true, "123:4"},  // only four cells: the last digit is cut off
      {12.3L, dsPoint, 2, true, "12.30"},         {12.3L, dsComma, 2, true, "12,30"},
      {12.3L, dsMinus, 2, true, "12-30"},         {42, dsDoublePoint, 0, true, "0042"},
      {5.07L, dsDoublePoint, 2, false, "5:07"},  // the empty leading cell is not read
      {0, dsDoublePoint, 2, false, ":"},         // only the colon is lit
      {1234.5L, dsPoint, 1, true, "1234."},      // the separator follows the last cell shown
  };
  for (const auto& c : cases) {
    display.setDecSeperator(c.separator);
    display.setFractionDigits(c.fractionDigits);
    display.setLeadingZeros(c.leadingZeros);
    display.setValue(c.value);
    EXPECT_EQ(display.shownText(), c.shown) << static_cast<double>(c.value);
    EXPECT_EQ(readText(iface), c.shown) << static_cast<double>(c.value);
    EXPECT_EQ(iface->text(QAccessible::Value), c.shown);
  }
  // Parts of the text, as a reader asks for them word by word.
  display.setLeadingZeros(true);
  display.setDecSeperator(dsDoublePoint);
  display.setFractionDigits(2);
  display.setValue(5.07L);
  EXPECT_EQ(iface->textInterface()->text(3, 5), "07");
  EXPECT_EQ(iface->textInterface()->text(4, 99), "7");
}

TEST(RackAccessible, ScrewPanelIsAPlainContainerOfItsControls) {
  TScrewPanel panel;
  auto* meter = new TLEDMeter(&panel);
  QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&panel);
  ASSERT_NE(iface, nullptr);
  EXPECT_EQ(iface->role(), QAccessible::Pane);
  EXPECT_EQ(iface->valueInterface(), nullptr);
  EXPECT_EQ(iface->textInterface(), nullptr);
  ASSERT_EQ(iface->childCount(), 1);
  EXPECT_EQ(iface->child(0)->object(), meter);
}

// The events the controls raise while a screen reader listens.
class Announcements : public testing::Test {
 protected:
  struct Event {
    QObject* object;
    QAccessible::Event type;
    QVariant value;  // the new value, or the inserted text
    QString removed;
    qint64 at;  // milliseconds since the test began
  };

  void SetUp() override {
    clock.start();
    listen();
  }
  void TearDown() override { AccessibleAnnouncer::setRecorder(nullptr); }

  void listen() {
    AccessibleAnnouncer::setRecorder([this](QAccessibleEvent* e) {
      Event event{e->object(), e->type(), {}, {}, clock.elapsed()};
      if (e->type() == QAccessible::ValueChanged) event.value = static_cast<QAccessibleValueChangeEvent*>(e)->value();
      if (e->type() == QAccessible::TextUpdated) {
        event.value = static_cast<QAccessibleTextUpdateEvent*>(e)->textInserted();
        event.removed = static_cast<QAccessibleTextUpdateEvent*>(e)->textRemoved();
      }
      events.push_back(event);
    });
  }
  // Lets timers run for a while; true if no further event came.
  bool quietFor(int ms) {
    const size_t before = events.size();
    testsupport::waitFor([] { return false; }, ms);
    return events.size() == before;
  }

  QElapsedTimer clock;
  std::vector<Event> events;
};

TEST_F(Announcements, ManyMeterChangesGiveOneEventAtOnceAndOneWithTheLastValue) {
  TLEDMeter left, right;
  configureLevelMeter(left);
  configureLevelMeter(right);
  for (int p = 1; p <= 12; ++p) {
    left.setPosition(p);
    right.setPosition(16 - p);
  }
  // Each meter told its first change at once.
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].object, &left);
  EXPECT_EQ(events[0].type, QAccessible::ValueChanged);
  EXPECT_EQ(events[0].value.toInt(), 1);
  EXPECT_EQ(events[1].object, &right);
  EXPECT_EQ(events[1].value.toInt(), 15);

  // At the end of the interval, the positions they stand at now.
  ASSERT_TRUE(testsupport::waitFor([&] { return events.size() >= 4; }));
  for (const Event& e : {events[2], events[3]}) {
    EXPECT_EQ(e.value.toInt(), e.object == &left ? 12 : 4);
    EXPECT_GE(e.at - events[0].at, AccessibleAnnouncer::kIntervalMs - 2);
  }
  EXPECT_NE(events[2].object, events[3].object);
  EXPECT_TRUE(quietFor(3 * AccessibleAnnouncer::kIntervalMs));

  // After a quiet interval the next change is told at once again; a change back to the
  // position last told is no news.
  left.setPosition(5);
  ASSERT_EQ(events.size(), 5u);
  EXPECT_EQ(events[4].value.toInt(), 5);
  left.setPosition(12);
  left.setPosition(5);
  EXPECT_TRUE(quietFor(3 * AccessibleAnnouncer::kIntervalMs));
}

TEST_F(Announcements, DisplayTellsANewTextOnlyWhenWhatItShowsChanged) {
  TLEDDisplay display;
  AccessibleAnnouncer::setRecorder(nullptr);  // the window sets its displays up before anyone listens
  configureTimeDisplay(display);
  listen();
  display.setValue(0.01L);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].type, QAccessible::TextUpdated);
  EXPECT_EQ(events[0].value.toString(), "00:01");

  // The start clock sets the same value four times a second: nothing to tell.
  ASSERT_TRUE(quietFor(2 * AccessibleAnnouncer::kIntervalMs));
  for (int i = 0; i < 3; ++i) display.setValue(0.01L);
  EXPECT_TRUE(quietFor(2 * AccessibleAnnouncer::kIntervalMs));

  // A change of the text, then more within the interval: the last is told with the text
  // it replaces.
  display.setValue(0.02L);
  display.setValue(0.03L);
  display.setDecSeperator(dsPoint);
  ASSERT_TRUE(testsupport::waitFor([&] { return events.size() >= 3; }));
  EXPECT_EQ(events[1].value.toString(), "00:02");
  EXPECT_EQ(events[1].removed, "00:01");
  EXPECT_EQ(events[2].value.toString(), "00.03");
  EXPECT_EQ(events[2].removed, "00:02");
  EXPECT_TRUE(quietFor(2 * AccessibleAnnouncer::kIntervalMs));
}

TEST_F(Announcements, WithoutAListenerNothingIsQueued) {
  TLEDMeter meter;
  TLEDDisplay display;
  configureLevelMeter(meter);
  AccessibleAnnouncer::setRecorder(nullptr);  // no screen reader
  for (int p = 1; p <= 12; ++p) {
    meter.setPosition(p);
    display.setValue(p);
  }
  // A listener that comes later hears nothing of what happened before it...
  listen();
  EXPECT_TRUE(quietFor(2 * AccessibleAnnouncer::kIntervalMs));
  EXPECT_TRUE(events.empty());
  // ...and the next change at once.
  meter.setPosition(3);
  display.setValue(2);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].value.toInt(), 3);
  EXPECT_EQ(events[1].value.toString(), "000002");
}

}  // namespace
