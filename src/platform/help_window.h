// The window the help system shows: contents and index on the left, the page on the right.
#pragma once

#include <QCoreApplication>
#include <QWidget>
#include <vector>

class QLineEdit;
class QListWidget;
class QTabWidget;
class QTextBrowser;
class QTreeWidget;
struct HelpTopic;

class HelpWindow : public QWidget {
  Q_DECLARE_TR_FUNCTIONS(HelpWindow)

 public:
  // The pages are those of `language` where it has them (see HelpSystem::setLanguage).
  HelpWindow(const std::vector<HelpTopic>& topics, const QString& language, QWidget* parent = nullptr);

  // Shows a page of the help file ("monitoring.html").
  void showPage(const QString& page);
  // Shows the contents page with the contents tab in front.
  void showContents();
  // Shows the index tab, with the search field focused.
  void showIndex();

  // The page on display, for tests and for the contents' current item.
  QString currentPage() const;
  QTextBrowser* browser() const { return browser_; }
  QListWidget* indexList() const { return index_; }
  QTreeWidget* contentsTree() const { return contents_; }

 private:
  void filterIndex(const QString& text);
  void syncContents();
  QTabWidget* tabs_;
  QTreeWidget* contents_;
  QLineEdit* search_;
  QListWidget* index_;
  QTextBrowser* browser_;
};
