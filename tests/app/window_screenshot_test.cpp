// A picture of the window during a monitoring run, for a person to look at: runs only
// when TESSARON_SCREENSHOT names the image file to write.
#include <QPixmap>
#include <QWidget>

#include "app/window_run.h"

namespace {

class WindowScreenshot : public window_run::WindowRun {};

TEST_F(WindowScreenshot, MonitoringRunOnTheVirtualCard) {
  const QString target = qEnvironmentVariable("TESSARON_SCREENSHOT");
  if (target.isEmpty()) GTEST_SKIP() << "set TESSARON_SCREENSHOT to the image file to write";
  TForm1& f = openDefault(VirtualPacing::RealTime);
  f.show();
  f.BitBtn4Click(f.BitBtn4);
  // Wait for a moment with both meters lit and a clip run shown.
  QStringList runs;
  ASSERT_TRUE(window_run::waitFor(
      [&] {
        if (runs.isEmpty() || runs.back() != f.Label1->text()) runs.push_back(f.Label1->text());
        return f.LEDMeter1->Position() > 8 && f.LEDMeter2->Position() > 0 && f.Label1->text() != "0" &&
               runs.size() >= 3;
      },
      60000));
  EXPECT_TRUE(f.grab().save(target));
  f.BitBtn4Click(f.BitBtn4);
}

}  // namespace
