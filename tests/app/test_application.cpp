// The window tests run under the program's application object, so that events and
// handlers are delivered as in the program.
#include "support/test_application.h"
#include "app/application.h"

std::unique_ptr<QApplication> makeTestApplication(int& argc, char** argv) {
  return std::make_unique<TApplication>(argc, argv);
}
