// The take overview, fed through the window's own path: blocks and dropouts handed over
// from a service thread as the recorder hands them, file changes as the recorder reports
// them. A known run (silence, a tone at -12 dB, one clipped block, a dropout of half a
// second, a second file) must draw shading, levels, red, tint and marks where they belong,
// within a pixel column and 1 dB, at ten seconds and stretched to eight hours; the history
// stays within a few MB; the window opens from the menu and the status line and paints
// only while it can be seen, at most twice a second.
#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <cmath>
#include <thread>

#include "app/form_under_test.h"
#include "app/overview/take_overview.h"
#include "app/overview/take_overview_window.h"
#include "app/overview/take_picture.h"
#include "app/run/status_line.h"
#include "app/window_run.h"
#include "platform/help_system.h"
#include "platform/help_window.h"
#include "platform/registry.h"
#include "support/event_wait.h"

namespace {

using window_run::WindowRun;

constexpr int16_t kTone = 8230;  // -12.0 dBFS
constexpr int kFramesPerBlock = 8;

// A short 16-bit stereo block (the window counts a tenth of a second per block whatever
// its size): `value` on both channels at its first frame, minus `value` at its second.
std::string block(int16_t value) {
  std::vector<int16_t> samples(2 * kFramesPerBlock, 0);
  samples[0] = samples[1] = value;
  samples[2] = samples[3] = static_cast<int16_t>(-value);
  return window_run::samples16(samples);
}

// A block clipped on both channels: a run of four samples beyond the limit.
std::string clippedBlock() {
  std::vector<int16_t> samples(2 * kFramesPerBlock, 0);
  for (int f = 2; f < 6; ++f) samples[2 * f] = samples[2 * f + 1] = 32767;
  return window_run::samples16(samples);
}

// The known run, with every stretch `scale` times as long.
struct KnownRun {
  uint64_t silence, tone, clipped = 1, lost = 5, secondFile;
  uint64_t total() const { return silence + tone + clipped + lost + secondFile; }
  uint64_t clipAt() const { return silence + tone; }
  uint64_t dropoutAt() const { return clipAt() + clipped; }
  uint64_t fileAt() const { return dropoutAt() + lost; }
};

class TakeOverviewTest : public WindowRun {
 protected:
  // A recording on the default card whose own blocks do not reach the window: only the
  // blocks a test hands over count.
  TForm1& startRecording() {
    TForm1& f = openDefault(VirtualPacing::RealTime);
    f.Audio1->OnRecord = nullptr;
    // Nor its own dropouts: a window thread busy with hours of blocks lets the card run over.
    f.Audio1->OnDropout = nullptr;
    f.diskSpace = [](const QString&) { return std::optional<DiskSpace>{}; };
    f.takeoverview->now = [] { return QDateTime(QDate(2026, 12, 9), QTime(22, 0, 0, 100)); };
    chooseFile("take.wav");
    f.BitBtn1Click(f.BitBtn1);
    EXPECT_TRUE(f.BitBtn3->isEnabled());
    return f;
  }
  // Hands `count` copies of `data` over from a service thread, in batches the window
  // thread takes in turn.
  void feed(const std::string& data, uint64_t count) {
    while (count > 0) {
      const uint64_t batch = std::min<uint64_t>(count, 20000);
      std::thread([&] {
        for (uint64_t i = 0; i < batch; ++i)
          form->Audio1Record(form->Audio1->Recorder(), const_cast<char*>(data.data()), nullptr,
                             static_cast<uint16_t>(data.size()));
      }).join();
      QCoreApplication::sendPostedEvents();
      count -= batch;
    }
  }
  void dropout(uint32_t framesLost) {
    std::thread([&] { form->Audio1Dropout(form->Audio1->Recorder(), 1, framesLost); }).join();
    QCoreApplication::sendPostedEvents();
  }
  void record(const KnownRun& run) {
    feed(block(0), run.silence);
    feed(block(kTone), run.tone);
    feed(clippedBlock(), run.clipped);
    dropout(22050);  // half a second at 44100 Hz
    form->Audio1->OnRecordFileChanged(form->Audio1.get(), path("take-2.wav"));
    feed(block(kTone), run.secondFile);
  }
  // The window open at a known size, and the picture as it shows it.
  QImage shown() {
    form->Uebersicht1->trigger();
    TakeOverviewWindow* window = form->takeoverview->window();
    EXPECT_NE(window, nullptr);
    window->resize(840, 420);
    testsupport::serveFor(50);
    return window->picture()->grab().toImage();
  }
  TakePicture& picture() { return *form->takeoverview->window()->picture(); }

  // The pixel columns of the plot whose pixel at height `y` is `colour`.
  static std::vector<int> columnsOf(const QImage& image, const QRect& plot, int y, QRgb colour) {
    std::vector<int> found;
    for (int x = plot.left(); x <= plot.right(); ++x)
      if (image.pixel(x, y) == colour) found.push_back(x);
    return found;
  }
  // The column where run time `tenths` of `total` should be drawn.
  static double expectedX(const QRect& plot, uint64_t tenths, uint64_t total) {
    return plot.left() + static_cast<double>(tenths) * plot.width() / static_cast<double>(total);
  }
  // The top of the level bar in column `x` of `lane`, -1 where there is none.
  static int barTop(const QImage& image, const QRect& lane, int x) {
    for (int y = lane.top(); y <= lane.bottom(); ++y) {
      const QRgb p = image.pixel(x, y);
      if (p == TakePicture::kLevel || p == TakePicture::kClipped) return y;
    }
    return -1;
  }
  static double dbOf(const QRect& lane, int y) { return -60.0 * (y - lane.top()) / lane.height(); }

  // The shading, the levels and the clip of the known run where they belong in `image`.
  void expectLevelsDrawn(const QImage& image, const KnownRun& run) {
    TakePicture& p = picture();
    const QRect plot = p.plotArea();
    const uint64_t n = run.total();
    for (int c = 0; c < 2; ++c) {
      SCOPED_TRACE(c == 0 ? "left" : "right");
      const QRect lane = p.lane(c);
      const int middle = lane.center().y() + 3;  // off the dotted lines

      // Silence: shaded, with no level, up to the tone.
      const std::vector<int> shaded = columnsOf(image, plot, middle, TakePicture::kSilent);
      ASSERT_FALSE(shaded.empty());
      EXPECT_LE(shaded.front(), plot.left() + 1) << "the file mark at 0 may cover the first column";
      EXPECT_NEAR(shaded.back() + 1, expectedX(plot, run.silence, n), 1.0);
      for (int x : shaded) EXPECT_EQ(barTop(image, lane, x), -1) << "a level in the silence at " << x;

      // The tone: bars up to -12 dB in every column from its start to the end of the run
      // (which fills the width), but for the input lost.
      const int toneStart = static_cast<int>(std::ceil(expectedX(plot, run.silence, n))) + 1;
      for (int x = toneStart; x <= plot.right(); ++x) {
        const QRgb under = image.pixel(x, middle);
        if (under == TakePicture::kLost || under == TakePicture::kDropoutMark || under == TakePicture::kFileMark)
          continue;
        const int top = barTop(image, lane, x);
        ASSERT_GE(top, 0) << "no level at " << x;
        if (image.pixel(x, top) == TakePicture::kClipped) continue;
        EXPECT_NEAR(dbOf(lane, top), -12.0, 1.0) << "at " << x;
      }

      // The clipped block: red in its column alone, up to 0 dB.
      const std::vector<int> red = columnsOf(image, plot, lane.bottom(), TakePicture::kClipped);
      ASSERT_FALSE(red.empty()) << "the clip is not shown";
      EXPECT_NEAR(red.front(), expectedX(plot, run.clipAt(), n), 1.0);
      EXPECT_NEAR(red.back() + 1, expectedX(plot, run.clipAt() + run.clipped, n), 1.0);
      EXPECT_NEAR(dbOf(lane, barTop(image, lane, red.front())), 0.0, 1.0);
    }
  }
  // The flags of the marks of `colour` above the lanes.
  std::vector<int> flags(const QImage& image, QRgb colour) {
    const QRect plot = picture().plotArea();
    return columnsOf(image, plot, plot.top() - 2, colour);
  }
};

TEST_F(TakeOverviewTest, AKnownRunIsDrawnWhereItsPartsBelong) {
  TForm1& f = startRecording();
  const KnownRun run{100, 100, 1, 5, 50};
  record(run);
  ASSERT_EQ(f.takeoverview->history().size(), f.runrecord.tenths);
  ASSERT_EQ(f.runrecord.tenths, run.total());
  f.BitBtn3Click(f.BitBtn3);

  const QImage image = shown();
  TakePicture& p = picture();
  const QRect plot = p.plotArea();
  const uint64_t n = run.total();
  // Shorter than the width: each tenth takes several columns.
  ASSERT_LT(n, static_cast<uint64_t>(plot.width()));
  expectLevelsDrawn(image, run);

  for (int c = 0; c < 2; ++c) {
    const QRect lane = p.lane(c);
    const int middle = lane.center().y() + 3;
    // The input lost in the dropout: tinted, after the clip.
    const std::vector<int> lost = columnsOf(image, plot, middle, TakePicture::kLost);
    ASSERT_FALSE(lost.empty()) << "the lost input is not shown";
    EXPECT_NEAR(lost.back() + 1, expectedX(plot, run.fileAt(), n), 1.0);
    // The dropout and the files as lines through the lanes, above the tone's level; the
    // dropout's at the start of the lost input.
    const std::vector<int> dropouts = columnsOf(image, plot, lane.top() + 2, TakePicture::kDropoutMark);
    ASSERT_EQ(dropouts.size(), 1u);
    EXPECT_NEAR(dropouts[0], expectedX(plot, run.dropoutAt(), n), 1.0);
    EXPECT_EQ(lost.front(), dropouts[0] + 1);
    const std::vector<int> files = columnsOf(image, plot, lane.top() + 2, TakePicture::kFileMark);
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0], plot.left());
    EXPECT_NEAR(files[1], expectedX(plot, run.fileAt(), n), 1.0);
  }
  EXPECT_NEAR(flags(image, TakePicture::kDropoutMark).front(), expectedX(plot, run.dropoutAt(), n), 1.0);
  EXPECT_NEAR(flags(image, TakePicture::kFileMark).back(), expectedX(plot, run.fileAt(), n), 1.0);

  // What is under a column, in words: run time, clock time, levels, marks.
  const int tone = static_cast<int>(expectedX(plot, 150, n)) + 1;
  EXPECT_EQ(p.describeAt(tone), "00:00:15 (22:00:15): left -12.0 dB, right -12.0 dB");
  EXPECT_EQ(p.describeAt(plot.left() + 20), "00:00:00 (22:00:00): left silence, right silence, no signal");
  const int dropoutX = flags(image, TakePicture::kDropoutMark).front();
  EXPECT_TRUE(p.describeAt(dropoutX).endsWith("; Dropout 0.50 s")) << p.describeAt(dropoutX).toStdString();
  const int fileX = flags(image, TakePicture::kFileMark).back();
  EXPECT_TRUE(p.describeAt(fileX).endsWith("; Start of take-2.wav")) << p.describeAt(fileX).toStdString();
  EXPECT_TRUE(p.describeAt(fileX - 6).contains(", input lost")) << p.describeAt(fileX - 6).toStdString();

  // The facts under the picture, then the run's summary.
  const QString facts = f.takeoverview->window()->facts()->text();
  EXPECT_TRUE(
      facts.startsWith("Length 00:00:25. Loudest 0.0 dB at 00:00:20 (22:00:20). Clipped 0.1 s. "
                       "Silent stretches: 1, 10.0 s. Dropouts: 1, 0.50 s lost. "
                       "Files: take.wav, take-2.wav.\n"))
      << facts.toStdString();
  EXPECT_TRUE(facts.endsWith('\n' + f.StatusBar1->item(StatusLine::Summary))) << facts.toStdString();
}

TEST_F(TakeOverviewTest, EightHoursFillTheWidthKeepTheClipAndStayWithinAFewMegabytes) {
  TForm1& f = startRecording();
  const KnownRun run{144000, 143000, 1, 5, 1000};  // 8 hours and 10.6 s
  record(run);
  ASSERT_EQ(f.takeoverview->history().size(), run.total());
  const size_t bytes = f.takeoverview->history().memoryBytes();
  EXPECT_LT(bytes, 2u << 20) << "eight hours take " << bytes << " bytes";
  RecordProperty("history_bytes_8h", std::to_string(bytes));

  // Shown while the run goes on.
  const QImage image = shown();
  TakePicture& p = picture();
  const QRect plot = p.plotArea();
  ASSERT_GT(run.total(), 100 * static_cast<uint64_t>(plot.width()));
  expectLevelsDrawn(image, run);
  EXPECT_EQ(p.stretchAt(plot.right()).last, run.total()) << "the last column ends with the run";
  // The dropout and the second file share a column with the clip, which hides neither
  // their flags nor their texts.
  ASSERT_FALSE(flags(image, TakePicture::kFileMark).empty());
  const int fileX = flags(image, TakePicture::kFileMark).back();
  EXPECT_NEAR(fileX, expectedX(plot, run.fileAt(), run.total()), 1.0);
  EXPECT_TRUE(p.describeAt(fileX).contains(", clipped, input lost; Dropout 0.50 s; Start of take-2.wav"))
      << p.describeAt(fileX).toStdString();
  EXPECT_TRUE(p.describeAt(plot.right()).contains(" (05:59:")) << p.describeAt(plot.right()).toStdString();
  f.BitBtn3Click(f.BitBtn3);
}

// For a screen reader: the picture's description is the take's facts in words; the arrow
// keys move a cursor along the time axis, which is drawn, and what is under it becomes the
// picture's name, read out as it changes. F1 opens the overview's help page.
TEST_F(TakeOverviewTest, TheKeyboardCursorReadsWhatIsUnderItAndF1OpensTheHelpPage) {
  TForm1& f = startRecording();
  const KnownRun run{100, 100, 1, 5, 50};
  record(run);
  f.BitBtn3Click(f.BitBtn3);
  shown();
  TakeOverviewWindow& window = *f.takeoverview->window();
  TakePicture& p = picture();
  const QRect plot = p.plotArea();
  EXPECT_EQ(p.accessibleDescription(), window.facts()->text());
  EXPECT_TRUE(p.accessibleDescription().contains("Loudest 0.0 dB at 00:00:20 (22:00:20). Clipped 0.1 s."));
  EXPECT_EQ(p.accessibleName(), "Take picture");
  EXPECT_EQ(p.focusPolicy(), Qt::StrongFocus);

  const auto press = [&](Qt::Key key) {
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(&p, &event);
  };
  press(Qt::Key_End);
  EXPECT_EQ(p.cursorX(), plot.right());
  EXPECT_EQ(p.accessibleName(), p.describeAt(plot.right()));
  EXPECT_TRUE(p.accessibleName().startsWith("00:00:25 (22:00:25): left -12.0 dB")) << p.accessibleName().toStdString();
  press(Qt::Key_Right);
  EXPECT_EQ(p.cursorX(), plot.right()) << "past the end";
  press(Qt::Key_Home);
  EXPECT_EQ(p.cursorX(), plot.left());
  EXPECT_EQ(p.accessibleName(), "00:00:00 (22:00:00): left silence, right silence, no signal; Start of take.wav");
  press(Qt::Key_PageDown);
  press(Qt::Key_Right);
  EXPECT_EQ(p.cursorX(), plot.left() + plot.width() / 10 + 1);
  // To the dropout's flag, column by column.
  const int dropoutX = columnsOf(p.grab().toImage(), plot, p.lane(0).top() + 2, TakePicture::kDropoutMark).front();
  while (p.cursorX() < dropoutX) press(Qt::Key_Right);
  EXPECT_TRUE(p.accessibleName().endsWith("input lost; Dropout 0.50 s")) << p.accessibleName().toStdString();
  press(Qt::Key_Left);
  EXPECT_TRUE(p.accessibleName().contains(", clipped")) << p.accessibleName().toStdString();
  const QImage image = p.grab().toImage();
  EXPECT_EQ(image.pixel(p.cursorX(), p.lane(0).center().y() + 3), TakePicture::kCursor);
  EXPECT_EQ(image.pixel(p.cursorX(), p.lane(1).center().y() + 3), TakePicture::kCursor);

  HelpSystem::instance().setHelpFile("tessaron.hlp");
  press(Qt::Key_F1);
  HelpWindow* help = HelpSystem::instance().window();
  ASSERT_NE(help, nullptr);
  EXPECT_EQ(help->currentPage(), "take_overview.html");
  EXPECT_EQ(HelpSystem::instance().pageOf(helpContext(f.Uebersicht1)), "take_overview.html");
  HelpSystem::instance().command(HELP_QUIT, 0);
}

// A whole recording on the virtual card through the window's own code: the card plays a
// file of the known run as fast as the recorder takes it, loses half a second of input
// after the clip, and the recording goes on into a second file at a lowered limit. The
// picture shows it where the files hold it, and "Save picture..." writes, beside the
// recording, the picture the window shows.
TEST_F(TakeOverviewTest, AWholeRecordingOnTheVirtualCardIsDrawnAndSavedAsShown) {
  // 10 s of silence, 10 s of a -12 dB square wave, a block clipped in its middle, 15 s more.
  std::vector<int16_t> input;
  const auto square = [&](size_t frames) {
    for (size_t i = 0; i < frames; ++i) {
      const int16_t v = (i / 50) % 2 ? kTone : static_cast<int16_t>(-kTone);
      input.push_back(v);
      input.push_back(v);
    }
  };
  input.assign(2 * 441000, 0);
  square(441000);
  const size_t clip = input.size();
  square(4410);
  for (size_t f = 1000; f < 1100; ++f) input[clip + 2 * f] = input[clip + 2 * f + 1] = 32767;
  square(15 * 44100);
  TForm1& f = openWithInput(window_run::wavBytes(2, 44100, 16, window_run::samples16(input)));
  f.takeoverview->now = [] { return QDateTime(QDate(2026, 12, 9), QTime(22, 0, 0, 100)); };
  f.Audio1->Recorder()->setMaxDataBytes(220 * 17640);
  chooseFile("take.wav");
  f.BitBtn1Click(f.BitBtn1);
  ASSERT_TRUE(f.BitBtn3->isEnabled());
  const TakeHistory& h = f.takeoverview->history();
  ASSERT_TRUE(testsupport::waitFor([&] { return h.size() >= 201; }));
  driver->loseInputFrames(22050);
  ASSERT_TRUE(testsupport::waitFor([&] { return h.size() >= 256; }));
  f.BitBtn3Click(f.BitBtn3);
  QCoreApplication::sendPostedEvents();

  // Where the history has the dropout and the second file.
  uint64_t lostAt = 0;
  while (lostAt < h.size() && !(h.at(lostAt).flags & TakeEntry::Lost)) ++lostAt;
  ASSERT_LT(lostAt, h.size());
  // The card runs ahead of the window by the buffers queued and the one it fills.
  EXPECT_GT(lostAt, 200u);
  EXPECT_LE(lostAt, 210u) << "the loss came late";
  EXPECT_EQ(h.lostTenths(), 5u);
  std::vector<uint64_t> fileMarks, dropoutMarks;
  for (const TakeMark& mark : h.marks())
    (mark.kind == TakeMarkKind::FileStart ? fileMarks : dropoutMarks).push_back(mark.tenths);
  ASSERT_EQ(fileMarks.size(), 2u);
  EXPECT_NEAR(static_cast<double>(fileMarks[1]), 220.0, 1.0);
  ASSERT_EQ(dropoutMarks, std::vector<uint64_t>{lostAt});
  // The files hold the run's time: every tenth, the lost ones as silence, and the few
  // blocks written whose results the stop left on their way (four buffers at most).
  const std::string first = window_run::recordedData(path("take.wav"));
  const std::string second = window_run::recordedData(path("take-2.wav"));
  EXPECT_EQ(first.size(), 220u * 17640);
  EXPECT_GE(first.size() + second.size(), h.size() * 17640);
  EXPECT_LE(first.size() + second.size(), (h.size() + 4) * 17640);

  const QImage image = shown();
  const QRect plot = picture().plotArea();
  KnownRun run{100, 100, 1, 5, 0};
  run.secondFile = h.size() - run.fileAt();
  expectLevelsDrawn(image, run);
  EXPECT_NEAR(flags(image, TakePicture::kDropoutMark).front(), expectedX(plot, lostAt, h.size()), 1.0);
  EXPECT_NEAR(flags(image, TakePicture::kFileMark).back(), expectedX(plot, fileMarks[1], h.size()), 1.0);

  // Saved beside the recording, as the window shows it.
  const QString png = QString::fromStdString(path("take-overview.png"));
  prompts->saveAnswer = png;
  f.takeoverview->window()->saveButton()->click();
  ASSERT_EQ(prompts->saves.size(), 2u);
  EXPECT_EQ(prompts->saves[1].title, "Save picture");
  EXPECT_EQ(prompts->saves[1].proposed, png);
  const QImage saved(png);
  ASSERT_FALSE(saved.isNull()) << "no PNG at " << png.toStdString();
  EXPECT_EQ(saved.convertToFormat(QImage::Format_RGB32),
            f.takeoverview->window()->picture()->grab().toImage().convertToFormat(QImage::Format_RGB32));
  EXPECT_TRUE(prompts->messages.empty());

  // A folder that cannot be written is told, not taken for saved.
  prompts->saveAnswer = QString::fromStdString(path("no/such/folder/take.png"));
  f.takeoverview->window()->saveButton()->click();
  ASSERT_EQ(prompts->messages.size(), 1u);
  EXPECT_EQ(prompts->messages[0].text, "The picture cannot be saved as " + *prompts->saveAnswer + ".");
}

// "Save" keeps whether the window is open and its size; the next start opens it so.
// Settings without these values load as before; values out of range are rejected.
TEST(TakeOverviewSettings, SaveKeepsTheWindowOpenAndItsSizeAsOptionalValues) {
  ScopedConfigHome home;
  ScopedFakePrompts prompts;
  const QString key = "\\Software\\Morvadel\\Tessaron\\1.0";
  {
    auto f = openForm();
    f->Sichern2->trigger();
    Registry store;
    ASSERT_TRUE(store.openKey(key, false));
    EXPECT_FALSE(store.valueExists("Overview")) << "kept although never opened";
    f->Uebersicht1->trigger();
    f->takeoverview->window()->resize(900, 500);
    f->Sichern2->trigger();
  }
  {
    auto f = openForm();
    testsupport::serveFor(50);
    ASSERT_NE(f->takeoverview->window(), nullptr) << "not opened at start";
    EXPECT_TRUE(f->takeoverview->window()->isVisible());
    EXPECT_EQ(f->takeoverview->window()->size(), QSize(900, 500));
    f->takeoverview->window()->close();
    f->Sichern2->trigger();
  }
  {
    auto f = openForm();
    testsupport::serveFor(50);
    EXPECT_EQ(f->takeoverview->window(), nullptr) << "opened though closed when saved";
    EXPECT_EQ(f->takeoverview->windowSize(), QSize(900, 500));
    Registry store;
    ASSERT_TRUE(store.openKey(key, true));
    store.writeInteger("OverviewWidth", 100);
  }
  auto f = openForm();
  EXPECT_FALSE(Registry().keyExists(key)) << "a width of 100 was accepted";
  EXPECT_EQ(f->takeoverview->windowSize(), QSize(760, 400));
}

// The history of a run on its own: silent stretches counted from a second on, lost input
// neither silence nor signal, and a new run forgetting the last.
TEST(TakeHistory, CountsSilentStretchesAndForgetsTheLastRunAtTheNext) {
  TakeHistory h;
  h.begin(2, QDateTime());
  const TakeEntry quiet{};
  const TakeEntry heard{{1000, 1000}, TakeEntry::Heard};
  for (int i = 0; i < 9; ++i) h.add(quiet);  // a pause, not a stretch
  h.add(heard);
  for (int i = 0; i < 6; ++i) h.add(quiet);
  for (int i = 0; i < 3; ++i) h.addLost();
  for (int i = 0; i < 6; ++i) h.add(quiet);  // twelve quiet tenths around the dropout
  h.add(heard);
  for (int i = 0; i < 15; ++i) h.add(quiet);  // still going on
  EXPECT_EQ(h.silentStretches(), 2u);
  EXPECT_EQ(h.silentTenths(), 27u);
  EXPECT_EQ(h.lostTenths(), 3u);
  EXPECT_EQ(h.loudestAt(), 9u);

  // Columns of a run shorter than their count repeat its tenths; longer, they share it.
  std::vector<TakeColumn> columns;
  h.reduce(h.size() * 3, columns);
  EXPECT_EQ(columns.size(), h.size() * 3);
  EXPECT_EQ(columns[27].peak[0], 1000);
  EXPECT_EQ(columns[29].peak[0], 1000);
  EXPECT_TRUE(columns[30].silent);
  h.reduce(4, columns);
  EXPECT_FALSE(columns[0].silent);
  EXPECT_TRUE(columns[1].lost);
  EXPECT_TRUE(columns[3].silent);

  h.begin(1, QDateTime());
  EXPECT_EQ(h.size(), 0u);
  EXPECT_EQ(h.silentStretches(), 0u);
  h.reduce(100, columns);
  EXPECT_TRUE(columns.empty());
}

// Opened from the menu by its short cut and by a click on the run's summary; not modal.
// Shown, it repaints at most twice a second while blocks arrive; minimised or closed it
// paints nothing, and shown again it draws the take as it is then.
TEST_F(TakeOverviewTest, OpensFromMenuAndSummaryAndPaintsOnlyWhenSeenAtMostTwiceASecond) {
  TForm1& f = startRecording();
  EXPECT_EQ(f.Uebersicht1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_T));
  for (QAction* action : f.findChildren<QAction*>()) {
    if (action == f.Uebersicht1) continue;
    EXPECT_NE(action->shortcut(), f.Uebersicht1->shortcut()) << action->text().toStdString();
  }
  feed(block(kTone), 20);
  f.BitBtn3Click(f.BitBtn3);
  EXPECT_EQ(f.takeoverview->window(), nullptr) << "made before it was asked for";

  QLabel* summary = nullptr;
  for (QLabel* label : f.StatusBar1->findChildren<QLabel*>())
    if (label->text() == f.StatusBar1->item(StatusLine::Summary)) summary = label;
  ASSERT_NE(summary, nullptr);
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(2, 2), summary->mapToGlobal(QPointF(2, 2)), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, QPointF(2, 2), summary->mapToGlobal(QPointF(2, 2)), Qt::LeftButton,
                      Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(summary, &press);
  QCoreApplication::sendEvent(summary, &release);
  TakeOverviewWindow* window = f.takeoverview->window();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->isVisible());
  EXPECT_FALSE(window->isModal());
  EXPECT_TRUE(window->isWindow());

  // A new run replaces the last one in the picture.
  struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::Paint) ++paints;
      return false;
    }
  } counter;
  window->picture()->installEventFilter(&counter);
  testsupport::serveFor(100);
  chooseFile("next.wav");
  f.BitBtn1Click(f.BitBtn1);
  counter.paints = 0;
  for (int i = 0; i < 15; ++i) {
    feed(block(kTone), 1);
    testsupport::serveFor(100);
  }
  EXPECT_GE(counter.paints, 2);
  EXPECT_LE(counter.paints, 4) << "1.5 s of blocks";

  window->showMinimized();
  testsupport::serveFor(100);
  counter.paints = 0;
  for (int i = 0; i < 10; ++i) {
    feed(block(kTone), 1);
    testsupport::serveFor(100);
  }
  EXPECT_EQ(counter.paints, 0) << "painted while minimised";
  window->hide();
  feed(block(0), 10);
  testsupport::serveFor(700);
  EXPECT_EQ(counter.paints, 0) << "painted while closed";

  window->showNormal();
  ASSERT_TRUE(testsupport::waitFor([&] { return counter.paints > 0; }));
  EXPECT_EQ(f.takeoverview->history().size(), 35u);
  EXPECT_TRUE(window->facts()->text().startsWith("Length 00:00:03.")) << window->facts()->text().toStdString();
  f.BitBtn3Click(f.BitBtn3);
}

}  // namespace
