// The About window, the general error box, the spin buttons and the button faces.
#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QPushButton>
#include <stdexcept>

#include "app/application.h"
#include "app/dialogs/tessaron2.h"
#include "app/fake_prompts.h"
#include "app/window/button_faces.h"
#include "app/window/form_controls.h"
#include "audio/Audio.h"
#include "platform/version.h"

namespace {

TEST(AboutWindow, VersionLineStandsAboveTheCreditsAndOkCloses) {
  EXPECT_EQ(TForm2::versionLine(1, 2), "Tessaron Version 1.2");
  EXPECT_EQ(TForm2::versionLine(10, 0), "Tessaron Version 10.0");

  TForm2 about;
  EXPECT_EQ(about.windowTitle(), "About");
  EXPECT_EQ(about.size(), QSize(287, 227));
  EXPECT_TRUE(about.Memo1->isReadOnly());
  const QStringList lines = about.Memo1->toPlainText().split('\n');
  ASSERT_GT(lines.size(), 2);
  EXPECT_EQ(lines[0], TForm2::versionLine(TESSARON_VERSION_MAJOR, TESSARON_VERSION_MINOR));
  EXPECT_EQ(lines[0], "Tessaron Version 1.0");
  EXPECT_FALSE(lines[1].contains("Version")) << "credits follow the version line";

  EXPECT_EQ(about.Button1->text(), "Ok");
  EXPECT_TRUE(about.Button1->isDefault());
  about.show();
  about.Button1->click();
  EXPECT_FALSE(about.isVisible());
}

TEST(ErrorBox, AnErrorThatNoHandlerCatchesIsShownUnderTessaronAndDeliveryGoesOn) {
  ScopedFakePrompts prompts;
  EXPECT_FALSE(deliverGuarded([]() -> bool { throw EFCreateError("/no/such/dir/take.wav"); }));
  ASSERT_EQ(prompts->messages.size(), 1u);
  EXPECT_EQ(prompts->messages[0].caption, "Tessaron");
  EXPECT_EQ(prompts->messages[0].text, "Datei /no/such/dir/take.wav kann nicht erstellt werden");
  EXPECT_EQ(prompts->messages[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));

  EXPECT_FALSE(deliverGuarded([]() -> bool { throw 42; }));
  ASSERT_EQ(prompts->messages.size(), 2u);
  EXPECT_EQ(prompts->messages[1].caption, "Tessaron");
  EXPECT_FALSE(prompts->messages[1].text.isEmpty());

  EXPECT_TRUE(deliverGuarded([] { return true; }));
  EXPECT_EQ(prompts->messages.size(), 2u) << "a delivery that succeeds shows nothing";

  // The application object is the backstop for an event handler that throws.
  ASSERT_NE(dynamic_cast<TApplication*>(QCoreApplication::instance()), nullptr);
  struct Failing : QObject {
    bool event(QEvent*) override { throw std::runtime_error("the event failed"); }
  } failing;
  QEvent event(QEvent::User);
  EXPECT_FALSE(QCoreApplication::sendEvent(&failing, &event));
  ASSERT_EQ(prompts->messages.size(), 3u);
  EXPECT_EQ(prompts->messages[2].caption, "Tessaron");
  EXPECT_EQ(prompts->messages[2].text, "the event failed");
}

TEST(SpinButtons, StepWithinTheRangeWrapOrStopAtTheEndsAndReportAfterTheStep) {
  TUpDown seconds;
  seconds.setMin(0);
  seconds.setMax(59);
  seconds.setWrap(true);
  std::vector<std::pair<int, TUDBtnType>> clicks;
  seconds.OnClick = [&](QObject* sender, TUDBtnType button) {
    EXPECT_EQ(sender, &seconds);
    clicks.emplace_back(seconds.Position(), button);
  };
  seconds.setPosition(59);
  seconds.click(btNext);
  EXPECT_EQ(seconds.Position(), 0);
  seconds.click(btPrev);
  EXPECT_EQ(seconds.Position(), 59);
  ASSERT_EQ(clicks.size(), 2u);
  EXPECT_EQ(clicks[0], std::make_pair(0, btNext));
  EXPECT_EQ(clicks[1], std::make_pair(59, btPrev));

  seconds.setWrap(false);
  seconds.click(btNext);
  EXPECT_EQ(seconds.Position(), 59);
  seconds.setPosition(0);
  seconds.click(btPrev);
  EXPECT_EQ(seconds.Position(), 0);
  seconds.setPosition(300);
  EXPECT_EQ(seconds.Position(), 59) << "the program's own setting is clamped";
}

// Counts the pixels of an image for which `test` holds.
template <typename Test>
int countPixels(const QImage& image, Test test) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) n += test(image.pixelColor(x, y)) ? 1 : 0;
  }
  return n;
}

bool isRed(const QColor& c) { return c.alpha() > 200 && c.red() > 180 && c.green() < 60 && c.blue() < 60; }
bool isBlack(const QColor& c) { return c.alpha() > 200 && c.red() < 40 && c.green() < 40 && c.blue() < 40; }

TEST(ButtonFaces, AreDrawnAtTheRequestedScaleWithTheirColoursAndGreyWhenDisabled) {
  const QIcon redRing = buttonFace(ButtonFace::RedRing);
  const QImage ring = redRing.pixmap(QSize(24, 24), 1.0).toImage();
  EXPECT_GT(countPixels(ring, isRed), 40);
  EXPECT_EQ(ring.pixelColor(12, 12).alpha(), 0) << "a ring, not a disc";

  const QImage sharp = redRing.pixmap(QSize(24, 24), 2.0).toImage();
  EXPECT_EQ(sharp.size(), QSize(48, 48)) << "drawn at the device's pixels, not scaled up";
  EXPECT_GT(countPixels(sharp, isRed), 3 * countPixels(ring, isRed));

  const QImage blackRing = buttonFace(ButtonFace::BlackRing).pixmap(QSize(24, 24), 1.0).toImage();
  EXPECT_GT(countPixels(blackRing, isBlack), 40);
  EXPECT_EQ(countPixels(blackRing, isRed), 0);

  const QImage disc = buttonFace(ButtonFace::BlackDisc).pixmap(QSize(24, 24), 1.0).toImage();
  EXPECT_TRUE(isBlack(disc.pixelColor(12, 12)));
  EXPECT_EQ(disc.pixelColor(1, 1).alpha(), 0);
  const QImage square = buttonFace(ButtonFace::BlackSquare).pixmap(QSize(24, 24), 1.0).toImage();
  EXPECT_TRUE(isBlack(square.pixelColor(12, 12)));
  EXPECT_TRUE(isBlack(square.pixelColor(6, 6))) << "square corners are filled";
  const QImage floppy = buttonFace(ButtonFace::FloppyDisk).pixmap(QSize(24, 24), 1.0).toImage();
  EXPECT_GT(countPixels(floppy, [](const QColor& c) { return c.alpha() > 200; }), 200);

  const QImage disabled = redRing.pixmap(QSize(24, 24), 1.0, QIcon::Disabled).toImage();
  EXPECT_EQ(countPixels(disabled, isRed), 0);
  EXPECT_GT(countPixels(disabled, [](const QColor& c) { return c.alpha() > 200; }), 40);

  const QImage icon = tessaronIcon().pixmap(QSize(64, 64), 1.0).toImage();
  EXPECT_GT(countPixels(icon, [](const QColor& c) { return c.alpha() > 200; }), 64 * 64 / 2);
}

}  // namespace
