// Program entry: the command line, the application object, its help file and title, the
// main window, the hidden About window, and the message loop until the main window closes.
#include <QApplication>
#include <QMetaObject>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "app/application.h"
#include "app/dialogs/tessaron2.h"
#include "app/tessaron1.h"
#include "app/window/button_faces.h"
#include "app/window/translations.h"
#include "audio/notify_window.h"
#include "mmsystem/driver.h"
#include "platform/session.h"
#include "platform/version.h"

namespace {

constexpr const char* kUsage = "Usage: tessaron [--help | --version]\n";

constexpr const char* kHelp =
    "Tessaron records a sound card's input into WAV files and helps hold the recording\n"
    "level: LED meters, clip counters, record volume and balance sliders, automatic level\n"
    "control, trigger, timed start and fixed length.\n"
    "\n"
    "Options:\n"
    "  --help     show this help and exit\n"
    "  --version  show the version and exit\n"
    "\n"
    "Environment:\n"
    "  TESSARON_AUDIO          the sound driver: pulse, alsa or virtual (default: pulse\n"
    "                          when a sound server answers, else ALSA when it finds a\n"
    "                          sound card or its default device opens, else the built-in\n"
    "                          virtual sound card)\n"
    "  TESSARON_VIRTUAL_INPUT  a WAV file the virtual sound card plays into its input\n"
    "\n"
    "Settings saved with Options > Save are kept in\n"
    "$XDG_CONFIG_HOME/tessaron/registry.json (default ~/.config/tessaron/registry.json).\n"
    "See tessaron(1).\n";

// Reads the command line, which knows only --help and --version. Returns the exit code
// when the program is done with it (help or version shown, or a wrong argument), or
// nothing when it is to start. Runs before the application object exists, so that it
// needs no display.
std::optional<int> commandLine(int argc, char** argv) {
  const char* first = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") != 0 && std::strcmp(argv[i], "--version") != 0) {
      std::fprintf(stderr, "tessaron: unknown argument '%s'\n%s", argv[i], kUsage);
      return 2;
    }
    if (first == nullptr) first = argv[i];
  }
  if (first == nullptr) return std::nullopt;
  if (std::strcmp(first, "--help") == 0)
    std::printf("%s\n%s", kUsage, kHelp);
  else
    std::printf("Tessaron %s\n", TESSARON_VERSION_STRING);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (const std::optional<int> done = commandLine(argc, argv)) return *done;
  // Nothing else of the command line is read, not even the toolkit's own options.
  int appArgc = 1;
  TApplication app(appArgc, argv);
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
  const std::string reaches = mmsystem::driver().description();
  std::fprintf(stderr, "Tessaron: sound driver \"%s\"%s\n", mmsystem::driver().name(),
               reaches.empty() ? "" : (" (" + reaches + ")").c_str());
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
