// Writes a picture of the main window during a monitoring run on the built-in virtual
// sound card, with both meters lit and a clip run shown:
//   window_screenshot FILE.png
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise, and with settings
// of its own (a fresh XDG_CONFIG_HOME), so that the picture shows the defaults.
#include <QDeadlineTimer>
#include <QLabel>
#include <QRadioButton>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <memory>
#include "app/application.h"

#include "app/application.h"
#include "app/tessaron1.h"
#include "controls/RackCtls.h"
#include "mmsystem/driver.h"
#include "mmsystem/virtual/virtual_driver.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
  TApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: window_screenshot FILE.png\n");
    return 2;
  }

  // The default virtual card with its tone generator, in real time.
  VirtualCard card = VirtualCard::defaultCard();
  card.inputFile.clear();
  card.pacing = VirtualPacing::RealTime;
  mmsystem::installDriver(std::make_unique<VirtualDriver>(std::move(card)));

  auto form = std::make_unique<TForm1>();
  // Level control off, so that the clipping generator shows its clip runs.
  form->RadioButton3->setChecked(true);
  form->show();
  form->BitBtn4Click(form->BitBtn4);

  // A moment with both meters lit and a clip run shown, after the count has changed a
  // few times (so the meters are not caught at their first block).
  QStringList runs;
  const QDeadlineTimer deadline(60000);
  bool ready = false;
  while (!ready && !deadline.hasExpired()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(5);
    if (runs.isEmpty() || runs.back() != form->Label1->text()) runs.push_back(form->Label1->text());
    ready = form->LEDMeter1->Position() > 8 && form->LEDMeter2->Position() > 0 && form->Label1->text() != "0" &&
            runs.size() >= 3;
  }
  const bool saved = ready && form->grab().save(QString::fromLocal8Bit(argv[1]));
  form->BitBtn4Click(form->BitBtn4);
  if (!saved) {
    std::fprintf(stderr, "window_screenshot: %s\n",
                 ready ? "the picture could not be saved" : "the meters did not move");
    return 1;
  }
  return 0;
}
