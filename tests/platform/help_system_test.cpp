// The help file's pages and the help commands.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QListWidget>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QUrl>
#include <QWidget>
#include <set>
#include <vector>

#include "platform/help_system.h"
#include "platform/help_window.h"

namespace {

// The text of a page in the help system's current language.
QString pageText(const QString& page) {
  QFile file(HelpSystem::instance().pagePath(page));
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

class HelpSystemTest : public ::testing::Test {
 protected:
  void SetUp() override { help.setHelpFile("tessaron.hlp"); }
  void TearDown() override {
    help.command(HELP_QUIT, 0);
    help.setHelpFile("tessaron.hlp");
    help.setLanguage("");
  }
  HelpSystem& help = HelpSystem::instance();
};

// The pages as written and the German ones.
const char* const languages[] = {"", "de"};

TEST_F(HelpSystemTest, EveryHelpContextOfTheWindowHasItsOwnWrittenPage) {
  std::set<QString> pages;
  for (const int context : {1, 3, 4, 5, 6, 7, 8, 9, 12, 13, 14, 15}) {
    SCOPED_TRACE(context);
    const QString page = help.pageOf(context);
    ASSERT_FALSE(page.isEmpty());
    EXPECT_TRUE(pages.insert(page).second) << "two contexts share " << page.toStdString();
    const QString text = pageText(page);
    EXPECT_GT(text.size(), 400) << page.toStdString() << " is too short to help anyone";
  }
  EXPECT_TRUE(help.pageOf(2).isEmpty());
  EXPECT_TRUE(help.pageOf(0).isEmpty());

  for (const char* language : languages) {
    help.setLanguage(language);
    for (const HelpTopic& topic : help.topics()) {
      SCOPED_TRACE(language + (" " + topic.page.toStdString()));
      EXPECT_NE(topic.title, topic.page) << "page without a title";
      EXPECT_FALSE(topic.keywords.isEmpty()) << "page missing from the index";
    }
  }
}

TEST_F(HelpSystemTest, EveryLinkBetweenPagesLeadsToAPageOfTheHelpFile) {
  std::set<QString> known;
  for (const HelpTopic& topic : help.topics()) known.insert(topic.page);
  static const QRegularExpression link("href=\"([^\"#]+)");
  for (const char* language : languages) {
    help.setLanguage(language);
    int links = 0;
    for (const HelpTopic& topic : help.topics()) {
      auto it = link.globalMatch(pageText(topic.page));
      while (it.hasNext()) {
        const QString target = it.next().captured(1);
        ++links;
        EXPECT_TRUE(known.count(target)) << language << " " << topic.page.toStdString() << " links to missing "
                                         << target.toStdString();
      }
    }
    EXPECT_GT(links, 20) << language;
  }
}

TEST_F(HelpSystemTest, PagesComeInTheLanguageWhereItHasThemAndAsWrittenElsewhere) {
  const std::vector<HelpTopic> written = help.topics();

  // German: every page has its own version, and so do the links and the open window.
  ASSERT_TRUE(help.command(HELP_CONTEXT, 6));
  help.setLanguage("de");
  EXPECT_EQ(help.window(), nullptr) << "a window in the old language closes";
  const std::vector<HelpTopic> german = help.topics();
  ASSERT_EQ(german.size(), written.size());
  for (size_t i = 0; i < german.size(); ++i) {
    EXPECT_EQ(help.pagePath(german[i].page), ":/help/de/" + german[i].page);
    EXPECT_NE(german[i].title, written[i].title) << german[i].page.toStdString() << " is not translated";
  }
  ASSERT_TRUE(help.command(HELP_CONTEXT, 6));
  EXPECT_TRUE(help.window()->browser()->toPlainText().contains("Abhören"));
  help.window()->browser()->setSource(QUrl("trigger.html"));
  EXPECT_TRUE(help.window()->browser()->toPlainText().contains("Triggerpegel")) << "a link leads to a German page";

  // English, and a language without pages, show them as written.
  help.setLanguage("en");
  EXPECT_EQ(help.pagePath("index.html"), ":/help/index.html");
  EXPECT_EQ(help.topics().front().title, written.front().title);
}

TEST_F(HelpSystemTest, CommandsOpenContentsAndTopicsAndQuitClosesTheWindow) {
  EXPECT_EQ(help.window(), nullptr);
  ASSERT_TRUE(help.command(HELP_FINDER, 0));
  ASSERT_NE(help.window(), nullptr);
  EXPECT_TRUE(help.window()->isVisible());
  EXPECT_EQ(help.window()->currentPage(), "index.html");
  EXPECT_FALSE(help.window()->browser()->toPlainText().isEmpty());

  HelpWindow* first = help.window();
  ASSERT_TRUE(help.command(HELP_CONTEXT, 6));
  EXPECT_EQ(help.window(), first) << "one help window, reused";
  EXPECT_EQ(help.window()->currentPage(), help.pageOf(6));

  EXPECT_FALSE(help.command(HELP_CONTEXT, 2)) << "no topic for this context";
  EXPECT_EQ(help.window()->currentPage(), help.pageOf(6));
  EXPECT_FALSE(help.command(99, 0));

  EXPECT_TRUE(help.command(HELP_QUIT, 0));
  EXPECT_EQ(help.window(), nullptr);
  EXPECT_TRUE(help.command(HELP_QUIT, 0)) << "quitting without a window is harmless";

  help.setHelpFile("");
  EXPECT_FALSE(help.command(HELP_FINDER, 0)) << "no help file, no help";
  EXPECT_EQ(help.window(), nullptr);
}

TEST_F(HelpSystemTest, WindowClosedByTheUserComesBackWithTheNextCommand) {
  ASSERT_TRUE(help.command(HELP_CONTEXT, 4));
  help.window()->close();
  QCoreApplication::processEvents();
  ASSERT_NE(help.window(), nullptr);
  EXPECT_FALSE(help.window()->isVisible());
  ASSERT_TRUE(help.command(HELP_CONTEXT, 5));
  EXPECT_TRUE(help.window()->isVisible());
  EXPECT_EQ(help.window()->currentPage(), help.pageOf(5));
}

TEST_F(HelpSystemTest, IndexListsKeywordsAndLeadsToTheirPages) {
  ASSERT_TRUE(help.command(HELP_FINDER, 0));
  QListWidget* index = help.window()->indexList();
  QListWidgetItem* wavemapper = nullptr;
  for (int i = 0; i < index->count(); ++i) {
    if (index->item(i)->text() == "Wavemapper") wavemapper = index->item(i);
  }
  ASSERT_NE(wavemapper, nullptr);
  emit index->itemActivated(wavemapper);
  EXPECT_EQ(help.window()->currentPage(), help.pageOf(4));
  for (int i = 1; i < index->count(); ++i) {
    EXPECT_LE(QString::localeAwareCompare(index->item(i - 1)->text(), index->item(i)->text()), 0);
  }
}

TEST(HelpContext, ApplyToAControlOrElseItsNearestParent) {
  QWidget window;
  auto* group = new QWidget(&window);
  auto* button = new QWidget(group);
  EXPECT_EQ(helpContextFor(button), 0);
  setHelpContext(&window, 1);
  EXPECT_EQ(helpContextFor(button), 1);
  setHelpContext(group, 12);
  EXPECT_EQ(helpContextFor(button), 12);
  setHelpContext(button, 6);
  EXPECT_EQ(helpContextFor(button), 6);
  EXPECT_EQ(helpContext(group), 12);
  EXPECT_EQ(helpContextFor(nullptr), 0);
}

}  // namespace
