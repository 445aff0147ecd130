// The main window through one monitoring or recording run, for bench/cpu_while_recording.
// The window is created and shown as the program does it, the meters read the recorded
// data, and the run is started and ended with the window's own buttons. The run goes on
// until SIGTERM (or SIGINT); then the run is ended as the stop button ends it and the
// program quits. Nothing else runs beside the window: no polling of our own, so what the
// process costs is what the window costs. "idle" shows the window and starts no run;
// --minimised minimises the window once its run has started.
//
// Usage: window_harness idle|monitor|record [FILE] [--minimised]
// Prints "running WIDTHxHEIGHT" (the window's size) once the run has started, and at the
// end how often the left meter moved (a run whose meters never moved measured a silent
// input) and how many paint events the window and its controls received. SIGUSR1 starts
// both counts afresh (the bench sends it where its measured span begins).
#include <unistd.h>
#include <QComboBox>
#include <QEvent>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>

#include "app/application.h"
#include "app/dialogs/prompts.h"
#include "app/tessaron1.h"
#include "mmsystem/driver.h"
#include "platform/session.h"

namespace {

// The save dialog answers with the file given on the command line; every message box
// is printed, since it means the run did not go as planned.
class HarnessPrompts : public Prompts {
 public:
  explicit HarnessPrompts(QString file) : file_(std::move(file)) {}
  QMessageBox::StandardButton messageBox(QWidget*, const QString& text, const QString& caption,
                                         QMessageBox::StandardButtons, QMessageBox::Icon) override {
    std::fprintf(stderr, "window_harness: message \"%s\": %s\n", qPrintable(caption), qPrintable(text));
    ++messages;
    return QMessageBox::Ok;
  }
  bool saveFileName(QWidget*, const TSaveDialog&, QString& fileName) override {
    fileName = file_;
    return true;
  }
  int execDialog(QDialog&) override { return 0; }
  int messages = 0;

 private:
  QString file_;
};

// Counts the paint events of the window and every control on it.
class PaintCounter : public QObject {
 public:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
  int paints = 0;
};

void countPaints(QWidget* widget, PaintCounter* counter) {
  widget->installEventFilter(counter);
  for (QWidget* child : widget->findChildren<QWidget*>()) child->installEventFilter(counter);
}

// SIGUSR1 reaches the window thread through a pipe.
int restartPipe[2];
void onRestart(int) {
  const char c = 0;
  [[maybe_unused]] const ssize_t n = write(restartPipe[1], &c, 1);
}

}  // namespace

int main(int argc, char** argv) {
  TApplication app(argc, argv);
  app.setTitle("Tessaron");
  const bool record = argc >= 2 && std::strcmp(argv[1], "record") == 0;
  const bool monitor = argc >= 2 && std::strcmp(argv[1], "monitor") == 0;
  const bool idle = argc >= 2 && std::strcmp(argv[1], "idle") == 0;
  const bool minimised = argc >= 3 && std::strcmp(argv[argc - 1], "--minimised") == 0;
  if ((!record && !monitor && !idle) || (record && argc < 3 + (minimised ? 1 : 0))) {
    std::fprintf(stderr, "usage: window_harness idle|monitor|record [FILE] [--minimised]\n");
    return 2;
  }
  auto owned = std::make_unique<HarnessPrompts>(record ? QString::fromLocal8Bit(argv[2]) : QString());
  HarnessPrompts* harnessPrompts = owned.get();
  installPrompts(std::move(owned));
  std::fprintf(stderr, "window_harness: sound driver \"%s\"\n", mmsystem::driver().name());

  TForm1 form;
  Form1 = &form;
  form.show();
  int meterMoves = 0;
  form.LEDMeter1->OnChange = [&](QObject*) { ++meterMoves; };
  PaintCounter paints;
  if (pipe(restartPipe) != 0) return 1;
  std::signal(SIGUSR1, onRestart);
  QSocketNotifier restart(restartPipe[0], QSocketNotifier::Read);
  QObject::connect(&restart, &QSocketNotifier::activated, [&] {
    char c;
    [[maybe_unused]] const ssize_t n = read(restartPipe[0], &c, 1);
    meterMoves = 0;
    paints.paints = 0;
  });

  ShutdownRequests shutdown([&] {
    if (record)
      form.BitBtn3->click();
    else
      form.BitBtn4->click();
    QCoreApplication::quit();
  });

  // Once the window is up: meters on the recorded data, then the run's buttons.
  QTimer::singleShot(0, &form, [&] {
    form.ComboBox1->setCurrentIndex(0);
    if (record) {
      form.BitBtn2->click();
      form.BitBtn1->click();
    } else if (monitor) {
      form.BitBtn4->click();
    }
    const bool running = (idle || form.Timer1->isActive()) && harnessPrompts->messages == 0;
    if (minimised) form.showMinimized();
    countPaints(&form, &paints);
    if (running)
      std::printf("running %dx%d\n", form.width(), form.height());
    else
      std::printf("failed\n");
    std::fflush(stdout);
    if (!running) QCoreApplication::exit(1);
  });
  const int result = app.exec();
  std::printf("meter moves %d\n", meterMoves);
  std::printf("paints %d\n", paints.paints);
  std::fflush(stdout);
  Form1 = nullptr;
  return result;
}
