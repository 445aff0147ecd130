// The help window: a tab with the contents, a tab with the index, and the page viewer.
#include "platform/help_window.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QSplitter>
#include <QTabWidget>
#include <QTextBrowser>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/help_system.h"

namespace {
constexpr int pageRole = Qt::UserRole;
}

HelpWindow::HelpWindow(const std::vector<HelpTopic>& topics, const QString& language, QWidget* parent)
    : QWidget(parent, Qt::Window) {
  setWindowTitle(tr("Tessaron Help"));
  resize(760, 520);

  contents_ = new QTreeWidget;
  contents_->setHeaderHidden(true);
  contents_->setRootIsDecorated(false);
  contents_->setAccessibleName(tr("Contents"));
  for (const HelpTopic& topic : topics) {
    auto* item = new QTreeWidgetItem(contents_, QStringList{topic.title});
    item->setData(0, pageRole, topic.page);
  }

  search_ = new QLineEdit;
  search_->setPlaceholderText(tr("Type a word to find"));
  search_->setAccessibleName(tr("Find in the index"));
  search_->setClearButtonEnabled(true);
  index_ = new QListWidget;
  index_->setAccessibleName(tr("Index"));
  // One index entry per keyword and page; a keyword of several pages is listed once
  // per page with the page's title beside it.
  struct Entry {
    QString text;
    QString page;
  };
  std::vector<Entry> entries;
  for (const HelpTopic& topic : topics) {
    for (const QString& keyword : topic.keywords) entries.push_back({keyword, topic.page});
  }
  std::stable_sort(entries.begin(), entries.end(),
                   [](const Entry& a, const Entry& b) { return QString::localeAwareCompare(a.text, b.text) < 0; });
  for (const Entry& entry : entries) {
    auto* item = new QListWidgetItem(entry.text, index_);
    item->setData(pageRole, entry.page);
  }
  auto* indexPane = new QWidget;
  auto* indexLayout = new QVBoxLayout(indexPane);
  indexLayout->setContentsMargins(4, 4, 4, 4);
  indexLayout->addWidget(search_);
  indexLayout->addWidget(index_);

  tabs_ = new QTabWidget;
  tabs_->setAccessibleName(tr("Contents and index"));
  tabs_->addTab(contents_, tr("&Contents"));
  tabs_->addTab(indexPane, tr("In&dex"));

  browser_ = new QTextBrowser;
  browser_->setAccessibleName(tr("Help page"));
  // Links between pages lead to the same language's pages where it has them.
  QStringList searchPaths{":/help"};
  if (!language.isEmpty()) searchPaths.prepend(":/help/" + language);
  browser_->setSearchPaths(searchPaths);
  browser_->setOpenExternalLinks(true);

  auto* back = new QToolButton;
  back->setArrowType(Qt::LeftArrow);
  back->setToolTip(tr("Back"));
  back->setAccessibleName(tr("Back"));
  back->setEnabled(false);
  auto* forward = new QToolButton;
  forward->setArrowType(Qt::RightArrow);
  forward->setToolTip(tr("Forward"));
  forward->setAccessibleName(tr("Forward"));
  forward->setEnabled(false);
  auto* home = new QToolButton;
  home->setText(tr("Contents"));
  auto* bar = new QHBoxLayout;
  bar->addWidget(back);
  bar->addWidget(forward);
  bar->addWidget(home);
  bar->addStretch();

  auto* pagePane = new QWidget;
  auto* pageLayout = new QVBoxLayout(pagePane);
  pageLayout->setContentsMargins(0, 4, 4, 4);
  pageLayout->addLayout(bar);
  pageLayout->addWidget(browser_);

  auto* splitter = new QSplitter;
  splitter->addWidget(tabs_);
  splitter->addWidget(pagePane);
  splitter->setStretchFactor(1, 1);
  splitter->setSizes({220, 540});
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(splitter);

  connect(back, &QToolButton::clicked, browser_, &QTextBrowser::backward);
  connect(forward, &QToolButton::clicked, browser_, &QTextBrowser::forward);
  connect(home, &QToolButton::clicked, this, &HelpWindow::showContents);
  connect(browser_, &QTextBrowser::backwardAvailable, back, &QToolButton::setEnabled);
  connect(browser_, &QTextBrowser::forwardAvailable, forward, &QToolButton::setEnabled);
  connect(browser_, &QTextBrowser::sourceChanged, this, [this] { syncContents(); });
  connect(contents_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    if (item != nullptr) showPage(item->data(0, pageRole).toString());
  });
  connect(search_, &QLineEdit::textChanged, this, &HelpWindow::filterIndex);
  connect(search_, &QLineEdit::returnPressed, this, [this] {
    for (int i = 0; i < index_->count(); ++i) {
      if (!index_->item(i)->isHidden()) {
        showPage(index_->item(i)->data(pageRole).toString());
        return;
      }
    }
  });
  connect(index_, &QListWidget::itemActivated, this,
          [this](QListWidgetItem* item) { showPage(item->data(pageRole).toString()); });
  connect(index_, &QListWidget::itemClicked, this,
          [this](QListWidgetItem* item) { showPage(item->data(pageRole).toString()); });
}

void HelpWindow::showPage(const QString& page) {
  if (currentPage() != page) browser_->setSource(QUrl(page));
}

void HelpWindow::showContents() {
  tabs_->setCurrentIndex(0);
  showPage("index.html");
}

void HelpWindow::showIndex() {
  tabs_->setCurrentIndex(1);
  search_->setFocus();
}

QString HelpWindow::currentPage() const { return browser_->source().fileName(); }

void HelpWindow::filterIndex(const QString& text) {
  const QString wanted = text.trimmed();
  for (int i = 0; i < index_->count(); ++i) {
    QListWidgetItem* item = index_->item(i);
    item->setHidden(!wanted.isEmpty() && !item->text().contains(wanted, Qt::CaseInsensitive));
  }
}

void HelpWindow::syncContents() {
  const QString page = currentPage();
  for (int i = 0; i < contents_->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = contents_->topLevelItem(i);
    if (item->data(0, pageRole).toString() == page) {
      const QSignalBlocker block(contents_);
      contents_->setCurrentItem(item);
      return;
    }
  }
}
