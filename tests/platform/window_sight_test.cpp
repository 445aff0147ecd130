// The sight of a window follows its showing, hiding and minimising, and keeps the
// controls of a window nobody can see from asking to be painted.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QWidget>
#include <QWindow>
#include <vector>

#include "platform/window_sight.h"
#include "support/event_wait.h"

namespace {

bool exposed(QWidget& w) {
  return testsupport::waitFor([&] { return w.windowHandle() != nullptr && w.windowHandle()->isExposed(); });
}

TEST(WindowSight, FollowsHidingMinimisingAndExposure) {
  QWidget window;
  window.resize(100, 80);
  QWidget child(&window);
  child.setGeometry(10, 10, 20, 20);
  WindowSight sight(&window);
  std::vector<bool> told;
  sight.OnChange = [&](bool seen) { told.push_back(seen); };

  // A window never shown is left as it is.
  EXPECT_TRUE(sight.seen());
  EXPECT_TRUE(child.updatesEnabled());

  window.show();
  ASSERT_TRUE(exposed(window));
  EXPECT_TRUE(sight.seen());
  window.showMinimized();
  QCoreApplication::processEvents();
  EXPECT_FALSE(sight.seen());
  EXPECT_FALSE(child.updatesEnabled()) << "a control of a minimised window still asks to be painted";
  window.showNormal();
  QCoreApplication::processEvents();
  EXPECT_TRUE(sight.seen());
  EXPECT_TRUE(child.updatesEnabled());

  window.hide();
  QCoreApplication::processEvents();
  EXPECT_FALSE(sight.seen());
  window.show();
  ASSERT_TRUE(exposed(window));
  EXPECT_TRUE(sight.seen());
  EXPECT_TRUE(child.updatesEnabled());
  EXPECT_EQ(told, (std::vector<bool>{false, true, false, true}));
}

}  // namespace
