// The help viewer for the program's help file: a non-modal window with contents, an
// index and one page per help context number, driven by the program's help commands.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

class QObject;
class QWidget;
class HelpWindow;

// Help commands the program sends to the help system.
constexpr uint32_t HELP_CONTEXT = 1;  // data: a help context number
constexpr uint32_t HELP_QUIT = 2;     // closes the help window
constexpr uint32_t HELP_FINDER = 11;  // contents and index

// One page of the help file.
struct HelpTopic {
  int context = 0;  // help context number, 0 for a page reached only from the contents
  QString page;     // file name inside the help file
  QString title;    // read from the page itself
  QStringList keywords;
};

class HelpSystem {
 public:
  static HelpSystem& instance();

  // The help file the commands refer to ("tessaron.hlp"); its pages are compiled into
  // the program. Without a help file every command fails.
  QString helpFile() const { return helpFile_; }
  void setHelpFile(const QString& name) { helpFile_ = name; }

  // The language of the pages ("de"); a page the language lacks, and every page for ""
  // or a language without pages, is shown as written. An open help window closes, so
  // the next command shows it in the new language.
  QString language() const { return language_; }
  void setLanguage(const QString& language);
  // Where the page of a file name is read from: the language's version when there is one.
  QString pagePath(const QString& page) const;

  // Runs a help command. HELP_CONTEXT with a context that has no page, an unknown
  // command or a missing help file give false.
  bool command(uint32_t command, uintptr_t data);

  // The window, once a command has opened it; nullptr before and after HELP_QUIT.
  HelpWindow* window() const { return window_; }

  // Every page in contents order, with its title and index keywords.
  const std::vector<HelpTopic>& topics();
  // The page of a help context number; an empty string when there is none.
  QString pageOf(int context);

 private:
  HelpSystem() = default;
  HelpWindow* openWindow();
  QString helpFile_;
  QString language_;
  HelpWindow* window_ = nullptr;
  std::vector<HelpTopic> topics_;
};

// Help context numbers on controls and menu items: the topic the help key opens.
void setHelpContext(QObject* object, int context);
int helpContext(const QObject* object);
// The context that applies to a widget: its own, or else that of the nearest parent
// that has one (0 when none has).
int helpContextFor(const QWidget* widget);
