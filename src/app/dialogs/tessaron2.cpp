// The About window: created once at start, hidden, shown modally from the Help menu.
#include "app/dialogs/tessaron2.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>

#include "app/application.h"
#include "app/window/button_faces.h"
#include "platform/version.h"

TForm2* Form2 = nullptr;

namespace {
const char* const creditsText =
    QT_TRANSLATE_NOOP("TForm2",
                      "A sound recorder for PCM audio with LED level meters, clip counters, automatic level "
                      "control, trigger level, timed start and fixed recording length.\n"
                      "\n"
                      "Program, audio component and display controls (LED bar meter, LED display, screw "
                      "panel, number edit field): the Tessaron developers.\n"
                      "\n"
                      "Built with Qt 6 Widgets and the ALSA sound library.\n"
                      "\n"
                      "This program comes with no warranty.");
}

TForm2::TForm2(QWidget* parent) : QDialog(parent) {
  setWindowTitle(tr("About"));
  setWindowIcon(tessaronIcon());
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(287, 227);
  move(371, 198);

  Memo1 = new QPlainTextEdit(this);
  Memo1->setGeometry(15, 12, 257, 161);
  Memo1->setReadOnly(true);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setPlainText(tr(creditsText));
  Memo1->setAccessibleName(tr("Version and credits"));

  Button1 = new QPushButton(tr("Ok"), this);
  Button1->setGeometry(106, 186, 75, 25);
  Button1->setDefault(true);
  Button1->setAutoDefault(true);
  connect(Button1, &QPushButton::clicked, this, [this] { runGuarded([this] { Button1Click(); }); });

  FormCreate();
}

QString TForm2::versionLine(unsigned major, unsigned minor) {
  return tr("Tessaron Version %1.%2").arg(major).arg(minor);
}

void TForm2::FormCreate() {
  // The version line goes above the credits, once, when the window is created.
  QTextCursor cursor(Memo1->document());
  cursor.movePosition(QTextCursor::Start);
  cursor.insertText(versionLine(TESSARON_VERSION_MAJOR, TESSARON_VERSION_MINOR) + "\n");
  Memo1->moveCursor(QTextCursor::Start);
}

void TForm2::Button1Click() { close(); }
