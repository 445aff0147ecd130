// The floor that bench/cpu_while_recording measures the main window against: what the
// toolkit itself costs with a window on the display and a 25 ms precise timer, the
// meter polling's interval, that does nothing. A second use covers the screen: a
// window without a timer at the top left, as large as the screen, raised above the
// others, so that the window under it cannot be seen.
//
// Usage: floor_window WIDTHxHEIGHT | floor_window cover
// Prints "running" once the window is on the display; ends on SIGTERM or SIGINT.
#include <unistd.h>
#include <QApplication>
#include <QScreen>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

int signalPipe[2];

void onSignal(int) {
  const char c = 0;
  [[maybe_unused]] const ssize_t n = write(signalPipe[1], &c, 1);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  int width = 0, height = 0;
  const bool cover = argc == 2 && std::strcmp(argv[1], "cover") == 0;
  if (!cover && (argc != 2 || std::sscanf(argv[1], "%dx%d", &width, &height) != 2 || width <= 0 || height <= 0)) {
    std::fprintf(stderr, "usage: floor_window WIDTHxHEIGHT | floor_window cover\n");
    return 2;
  }

  // SIGTERM and SIGINT end the loop through a pipe, so the program quits as the window does.
  if (pipe(signalPipe) != 0) return 1;
  std::signal(SIGTERM, onSignal);
  std::signal(SIGINT, onSignal);
  QSocketNotifier quit(signalPipe[0], QSocketNotifier::Read);
  QObject::connect(&quit, &QSocketNotifier::activated, &app, &QCoreApplication::quit);

  QWidget window;
  window.setWindowTitle(cover ? "cover" : "floor");
  QTimer tick;
  if (cover) {
    window.setGeometry(app.primaryScreen()->geometry());
    window.setAttribute(Qt::WA_OpaquePaintEvent);
  } else {
    window.resize(width, height);
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(25);
    QObject::connect(&tick, &QTimer::timeout, [] {});
    tick.start();
  }
  window.show();
  window.raise();
  std::printf("running\n");
  std::fflush(stdout);
  return app.exec();
}
