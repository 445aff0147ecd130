// Program entry: the application object, its help file and title, the main window, the
// hidden About window, and the message loop until the main window closes.
#include <QApplication>
#include <QMetaObject>
#include <cstdio>
#include <memory>

#include "app/application.h"
#include "app/button_faces.h"
#include "app/tessaron1.h"
#include "app/tessaron2.h"
#include "app/translations.h"
#include "audio/notify_window.h"
#include "mmsystem/driver.h"
#include "platform/session.h"

int main(int argc, char** argv) {
  TApplication app(argc, argv);
  app.setHelpFile("tessaron.hlp");
  app.setTitle("Tessaron");
  app.setWindowIcon(tessaronIcon());
  // The user's language, before the first window is made.
  installTranslations(QLocale::system());

  // A terminating signal or the end of the session: every audio component completes an
  // open recording first (its message is queued before the close), then the main
  // window closes as it would from the menu and the program ends normally. Watched
  // from the start, so a signal that comes while the windows are being built waits in
  // the queue instead of killing the program.
  ShutdownRequests shutdown([] {
    NotifyWindow::broadcast(WM_QUERYENDSESSION);
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [] {
          if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
          if (Form1 != nullptr) Form1->close();
        },
        Qt::QueuedConnection);
  });

  // The sound system is chosen once, here; say which one.
  std::fprintf(stderr, "Tessaron: sound driver \"%s\"\n", mmsystem::driver().name());
  std::fflush(stderr);

  auto mainWindow = std::make_unique<TForm1>();
  Form1 = mainWindow.get();
  auto about = std::make_unique<TForm2>(Form1);
  Form2 = about.get();
  about->hide();

  mainWindow->show();
  const int result = app.exec();

  Form2 = nullptr;
  about.reset();
  mainWindow.reset();
  return result;
}
