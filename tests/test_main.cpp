// Test entry: a Qt application on the offscreen platform, so that widgets can be
// rendered and posted messages delivered without a display.
#include <gtest/gtest.h>

#include "support/test_application.h"

// Replaced by a test program that defines its own (a weak definition).
__attribute__((weak)) std::unique_ptr<QApplication> makeTestApplication(int& argc, char** argv) {
  return std::make_unique<QApplication>(argc, argv);
}

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  testing::InitGoogleTest(&argc, argv);
  const std::unique_ptr<QApplication> app = makeTestApplication(argc, argv);
  return RUN_ALL_TESTS();
}
