// The main window through one monitoring or recording run, for bench/cpu_while_recording.
// The window is created and shown as the program does it, the meters read the recorded
// data, and the run is started and ended with the window's own buttons. The run goes on
// until SIGTERM (or SIGINT); then the run is ended as the stop button ends it and the
// program quits. Nothing else runs beside the window: no polling of our own, so what the
// process costs is what the window costs.
//
// Usage: window_harness monitor|record [FILE]
// Prints "running" once the run has started, and at the end how often the left meter
// moved (a run whose meters never moved measured a silent input).
#include <QComboBox>
#include <QTimer>
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

}  // namespace

int main(int argc, char** argv) {
  TApplication app(argc, argv);
  app.setTitle("Tessaron");
  const bool record = argc >= 2 && std::strcmp(argv[1], "record") == 0;
  const bool monitor = argc >= 2 && std::strcmp(argv[1], "monitor") == 0;
  if ((!record && !monitor) || (record && argc < 3)) {
    std::fprintf(stderr, "usage: window_harness monitor|record [FILE]\n");
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
    } else {
      form.BitBtn4->click();
    }
    const bool running = form.Timer1->isActive() && harnessPrompts->messages == 0;
    std::printf("%s\n", running ? "running" : "failed");
    std::fflush(stdout);
    if (!running) QCoreApplication::exit(1);
  });
  const int result = app.exec();
  std::printf("meter moves %d\n", meterMoves);
  std::fflush(stdout);
  Form1 = nullptr;
  return result;
}
