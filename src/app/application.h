// The application object: help file, title, hints, and the general error box for
// errors that no handler catches.
#pragma once

#include <QApplication>
#include <QString>
#include <utility>

class TApplication : public QApplication {
 public:
  TApplication(int& argc, char** argv);

  QString HelpFile() const;
  void setHelpFile(const QString& v);
  QString Title() const { return applicationDisplayName(); }
  void setTitle(const QString& v) { setApplicationDisplayName(v); }

  // Delivers every event; an error thrown by a handler ends that handler's command
  // and is shown in the general error box, and the program goes on. Handlers run
  // guarded themselves (below); this is the backstop for everything else.
  bool notify(QObject* receiver, QEvent* event) override;
};

// Whether controls show their hints (tool tips); on unless switched off.
bool ShowHint();
void setShowHint(bool v);

// Shows the error being handled in the general error box. Only inside a catch block.
void showCaughtError();

// Runs one handler on the window thread; an error it throws ends it and is shown in
// the general error box, so that no error travels through Qt's signal or event code.
template <typename Handler>
void runGuarded(Handler&& handler) {
  try {
    std::forward<Handler>(handler)();
  } catch (...) {
    showCaughtError();
  }
}

// `handler` as an event handler with the given arguments that runs guarded; every
// handler the windows connect to a signal, an event or a timer is made this way.
template <typename... Args, typename Handler>
auto guarded(Handler handler) {
  return [handler = std::move(handler)](Args... args) { runGuarded([&] { handler(args...); }); };
}

// Runs one delivery; an error it throws is shown in the general error box and the
// delivery counts as not handled. A template, not a std::function: it runs for every
// event, and wrapping the delivery would allocate each time.
template <typename Deliver>
bool deliverGuarded(Deliver&& deliver) {
  bool handled = false;
  runGuarded([&] { handled = std::forward<Deliver>(deliver)(); });
  return handled;
}
