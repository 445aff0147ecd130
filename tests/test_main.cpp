// Test entry: a Qt application on the offscreen platform, so that widgets can be
// rendered and posted messages delivered without a display, in the C locale.
#include <gtest/gtest.h>

#include "support/test_application.h"

// Replaced by a test program that defines its own (a weak definition).
__attribute__((weak)) std::unique_ptr<QApplication> makeTestApplication(int& argc, char** argv) {
  return std::make_unique<QApplication>(argc, argv);
}

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The same locale whatever the machine's: the texts as written, the C number formats, and
  // untranslated output from the sound server's tools the tests start. A test of another
  // language chooses it itself (ScopedLanguage).
  qputenv("LC_ALL", "C.UTF-8");
  qputenv("LANG", "C.UTF-8");
  qunsetenv("LANGUAGE");
  testing::InitGoogleTest(&argc, argv);
  const std::unique_ptr<QApplication> app = makeTestApplication(argc, argv);
  return RUN_ALL_TESTS();
}
