// The application object: help file, title, hints, and the general error box for
// errors that no handler catches.
#pragma once

#include <QApplication>
#include <QString>
#include <functional>

class TApplication : public QApplication {
 public:
  TApplication(int& argc, char** argv);

  QString HelpFile() const;
  void setHelpFile(const QString& v);
  QString Title() const { return applicationDisplayName(); }
  void setTitle(const QString& v) { setApplicationDisplayName(v); }

  // Delivers every event; an error thrown by a handler ends that handler's command
  // and is shown in the general error box, and the program goes on.
  bool notify(QObject* receiver, QEvent* event) override;
};

// Whether controls show their hints (tool tips); on unless switched off.
bool ShowHint();
void setShowHint(bool v);

// Runs one delivery; an error it throws is shown in the general error box and the
// delivery counts as not handled.
bool deliverGuarded(const std::function<bool()>& deliver);
