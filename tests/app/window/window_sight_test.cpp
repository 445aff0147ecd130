// A main window nobody can see paints nothing while a recording changes its meters, and
// shows the meters' current positions as soon as it is seen again.
#include <QEvent>
#include <QScreen>
#include <QTest>
#include <QWindow>

#include "app/window_run.h"

namespace {

using namespace window_run;

// Counts the paint events of a window and of every control on it.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget& window) {
    window.installEventFilter(this);
    for (QWidget* child : window.findChildren<QWidget*>()) child->installEventFilter(this);
  }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
  int paints = 0;
};

// Lit segments of LEDMeter1 as they stand on the screen, counted from the bottom: a
// segment's middle pixel is lit when it is brighter than its range's dimmed colour.
int litOnScreen(TForm1& f) {
  const QImage screen = f.screen()->grabWindow(f.winId()).toImage();
  const QPoint origin = f.LEDMeter1->mapTo(&f, QPoint(0, 0));
  int lit = 0;
  for (int i = 0; i < 16; ++i) {
    const QColor c = screen.pixelColor(origin + QPoint(8, 140 - 9 * i));  // rows 136-9i .. 144-9i
    if (std::max({c.red(), c.green(), c.blue()}) > 200) ++lit;
  }
  return lit;
}

class WindowSightRun : public WindowRun {};

TEST_F(WindowSightRun, MinimisedWindowPaintsNothingAndShowsTheCurrentMetersWhenShownAgain) {
  // Blocks that move the left meter between 15 and 2 segments.
  std::vector<int16_t> samples(4 * kFrames, 0);
  samples[0] = 30000;
  samples[2 * kFrames] = 4000;
  TForm1& f = openWithInput(wavBytes(2, 44100, 16, samples16(samples)));
  f.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
  chooseFile("unseen.wav");
  f.BitBtn1Click(f.BitBtn1);
  ASSERT_TRUE(waitBlocks(4));
  ASSERT_TRUE(waitFor([&] { return f.LEDMeter1->Position() != 0; }));

  f.showMinimized();
  QCoreApplication::processEvents();
  ASSERT_TRUE(f.windowState() & Qt::WindowMinimized);
  PaintCounter counter(f);
  int moves = 0;
  f.LEDMeter1->OnChange = [&](QObject*) { ++moves; };
  ASSERT_TRUE(waitFor([&] { return moves >= 6 && f.LEDDisplay1->Value() > 0; }));
  EXPECT_EQ(counter.paints, 0) << "paint events while minimised";

  // The meters stay where the run left them; the window comes back and paints them there.
  f.Timer1->stop();
  const int shownBefore = litOnScreen(f);
  const int position = f.LEDMeter1->Position() == 15 ? 2 : 15;
  f.LEDMeter1->setPosition(position);  // certainly not what the screen showed last
  ASSERT_NE(shownBefore, position);
  EXPECT_EQ(counter.paints, 0);
  f.showNormal();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
  EXPECT_TRUE(waitFor([&] { return counter.paints > 0; }));
  QCoreApplication::processEvents();
  EXPECT_EQ(litOnScreen(f), position);
  f.BitBtn3Click(f.BitBtn3);
  EXPECT_TRUE(prompts->messages.empty());
}

}  // namespace
