// The application object and the general error box.
#include "app/application.h"

#include <QCoreApplication>
#include <QEvent>
#include <exception>

#include "app/dialogs/prompts.h"
#include "platform/help_system.h"

namespace {
bool showHints = true;
}

bool ShowHint() { return showHints; }
void setShowHint(bool v) { showHints = v; }

void showCaughtError() {
  try {
    throw;
  } catch (const std::exception& error) {
    showErrorBox(QString::fromLocal8Bit(error.what()));
  } catch (...) {
    showErrorBox(QCoreApplication::translate("TApplication", "An unexpected error ended the last command."));
  }
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

QString TApplication::HelpFile() const { return HelpSystem::instance().helpFile(); }
void TApplication::setHelpFile(const QString& v) { HelpSystem::instance().setHelpFile(v); }

bool TApplication::notify(QObject* receiver, QEvent* event) {
  if (event->type() == QEvent::ToolTip && !showHints) return true;
  return deliverGuarded([&] { return QApplication::notify(receiver, event); });
}
