// The help system: the program's help commands, the pages of the help file and the
// help context numbers carried by controls.
#include "platform/help_system.h"

#include <QFile>
#include <QRegularExpression>
#include <QWidget>

#include "platform/help_window.h"

// The help pages are a resource of this library; a static library's resources must be
// registered explicitly, outside any namespace.
static void registerHelpPages() { Q_INIT_RESOURCE(help); }

namespace {

const char* const contextProperty = "helpContext";

// The pages in contents order with the help context each one answers.
struct PageEntry {
  int context;
  const char* page;
};
constexpr PageEntry pageTable[] = {
    {0, "index.html"},
    {1, "main_window.html"},
    {0, "recording.html"},
    {6, "monitoring.html"},
    {3, "meter_source.html"},
    {4, "record_device.html"},
    {5, "level_control_input.html"},
    {13, "control_mode.html"},
    {12, "level_control.html"},
    {7, "trigger.html"},
    {15, "length_and_start.html"},
    {8, "record_settings.html"},
    {9, "saving_settings.html"},
    {17, "take_overview.html"},
    {14, "uninstall.html"},
    {16, "archive_files.html"},
};

QString readPage(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(file.readAll());
}

}  // namespace

HelpSystem& HelpSystem::instance() {
  static HelpSystem system;
  return system;
}

const std::vector<HelpTopic>& HelpSystem::topics() {
  if (!topics_.empty()) return topics_;
  static const QRegularExpression titleExpr("<title>(.*?)</title>", QRegularExpression::DotMatchesEverythingOption);
  static const QRegularExpression keywordsExpr("<meta\\s+name=\"keywords\"\\s+content=\"([^\"]*)\"");
  for (const PageEntry& entry : pageTable) {
    HelpTopic topic;
    topic.context = entry.context;
    topic.page = entry.page;
    const QString text = readPage(pagePath(topic.page));
    if (const auto match = titleExpr.match(text); match.hasMatch()) topic.title = match.captured(1).trimmed();
    if (topic.title.isEmpty()) topic.title = topic.page;
    if (const auto match = keywordsExpr.match(text); match.hasMatch()) {
      for (const QString& keyword : match.captured(1).split(';', Qt::SkipEmptyParts)) {
        topic.keywords << keyword.trimmed();
      }
    }
    topics_.push_back(topic);
  }
  return topics_;
}

void HelpSystem::setLanguage(const QString& language) {
  if (language == language_) return;
  language_ = language;
  topics_.clear();
  command(HELP_QUIT, 0);
}

QString HelpSystem::pagePath(const QString& page) const {
  registerHelpPages();
  if (!language_.isEmpty()) {
    const QString translated = QString(":/help/%1/%2").arg(language_, page);
    if (QFile::exists(translated)) return translated;
  }
  return ":/help/" + page;
}

QString HelpSystem::pageOf(int context) {
  if (context == 0) return {};
  for (const HelpTopic& topic : topics()) {
    if (topic.context == context) return topic.page;
  }
  return {};
}

HelpWindow* HelpSystem::openWindow() {
  if (window_ == nullptr) {
    // Closed by its frame the window is only hidden; the next command shows it again,
    // and HELP_QUIT deletes it.
    window_ = new HelpWindow(topics(), language_);
  }
  return window_;
}

bool HelpSystem::command(uint32_t command, uintptr_t data) {
  if (command == HELP_QUIT) {
    if (window_ != nullptr) {
      HelpWindow* window = window_;
      window_ = nullptr;
      delete window;
    }
    return true;
  }
  if (helpFile_.isEmpty()) return false;
  if (command == HELP_FINDER) {
    HelpWindow* window = openWindow();
    window->showContents();
    window->show();
    window->raise();
    window->activateWindow();
    return true;
  }
  if (command == HELP_CONTEXT) {
    const QString page = pageOf(static_cast<int>(data));
    if (page.isEmpty()) return false;
    HelpWindow* window = openWindow();
    window->showPage(page);
    window->show();
    window->raise();
    window->activateWindow();
    return true;
  }
  return false;
}

void setHelpContext(QObject* object, int context) {
  if (object != nullptr) object->setProperty(contextProperty, context);
}

int helpContext(const QObject* object) { return object == nullptr ? 0 : object->property(contextProperty).toInt(); }

int helpContextFor(const QWidget* widget) {
  for (const QWidget* w = widget; w != nullptr; w = w->parentWidget()) {
    if (const int context = helpContext(w); context != 0) return context;
  }
  return 0;
}
