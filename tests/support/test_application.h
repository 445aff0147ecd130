// The application object a test program runs under. test_main.cpp makes a plain Qt
// application unless the program's own tests define this function themselves, as the
// window tests do to run under the program's application class.
#pragma once

#include <QApplication>
#include <memory>

std::unique_ptr<QApplication> makeTestApplication(int& argc, char** argv);
