// The record settings dialog and the component that runs it.
#include "app/dialogs/recsetdlg.h"

#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <memory>

#include "app/application.h"
#include "app/dialogs/prompts.h"
#include "app/window/accessibility.h"
#include "app/window/level_math.h"

namespace {

QLabel* makeLabel(QWidget* parent, const QString& caption, int top) {
  auto* label = new QLabel(caption, parent);
  label->setGeometry(12, top, 74, 21);
  label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  return label;
}

// A red message across the dialog under the field at `fieldTop`, hidden until a value
// is refused.
QLabel* makeMessage(QWidget* parent, int fieldTop) {
  auto* message = new QLabel(parent);
  message->setGeometry(8, fieldTop + 23, 249, 17);
  message->setAlignment(Qt::AlignCenter);
  QPalette red = message->palette();
  red.setColor(QPalette::WindowText, ColorToQColor(clRed));
  message->setPalette(red);
  message->hide();
  return message;
}

// Shows why the value of `field` is refused and puts the focus there.
void refuse(TExtendEdit* field, QLabel* message, const QString& reason) {
  message->setText(reason);
  message->show();
  field->setFocus(Qt::OtherFocusReason);
  field->selectAll();
}

}  // namespace

TOKBottomDlg::TOKBottomDlg(QWidget* owner) : QDialog(owner) {
  setWindowTitle(tr("Record Settings"));
  setFixedSize(265, 296);
  setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
  if (QScreen* s = owner ? owner->screen() : QGuiApplication::primaryScreen())
    move(s->availableGeometry().center() - rect().center());

  // Created top to bottom, which is also the tab order.
  Label1 = makeLabel(this, tr("Bits/Sample"), 16);
  ComboBox1 = new QComboBox(this);
  ComboBox1->setGeometry(88, 16, 121, 21);
  ComboBox1->addItems({tr("8 Bit/Sample"), tr("16 Bit/Sample")});
  labelFor(Label1, ComboBox1);

  Label2 = makeLabel(this, tr("Channels"), 56);
  ComboBox2 = new QComboBox(this);
  ComboBox2->setGeometry(88, 56, 121, 21);
  ComboBox2->addItems({tr("Mono"), tr("Stereo")});
  labelFor(Label2, ComboBox2);

  Label3 = makeLabel(this, tr("Samplerate"), 96);
  ExtendEdit1 = new TExtendEdit(this);
  ExtendEdit1->setGeometry(88, 96, 121, 21);
  ExtendEdit1->setText("0");
  ExtendEdit1->setEditStyle(esInteger);
  ExtendEdit1->Alert().setActive(false);
  ExtendEdit1->Alert().setColor(clWindow);
  ExtendEdit1->Range().setEnforce(false);
  ExtendEdit1->Range().setMinValue(-100);
  ExtendEdit1->Range().setMaxValue(100);
  ExtendEdit1->Range().setColor(clWindow);
  ExtendEdit1->setOORError(false);
  labelFor(Label3, ExtendEdit1);

  SampleRateMessage = makeMessage(this, 96);
  ExtendEdit1->OnChange = [this](QObject*) { SampleRateMessage->hide(); };

  Label4 = makeLabel(this, tr("Max16"), 140);
  SpinEdit1 = new QSpinBox(this);
  SpinEdit1->setGeometry(88, 140, 121, 21);
  SpinEdit1->setRange(0, 32767);
  SpinEdit1->setValue(32700);
  labelFor(Label4, SpinEdit1);

  Label5 = makeLabel(this, tr("Max8"), 176);
  SpinEdit2 = new QSpinBox(this);
  SpinEdit2->setGeometry(88, 176, 121, 21);
  SpinEdit2->setRange(0, 127);
  SpinEdit2->setValue(122);
  labelFor(Label5, SpinEdit2);

  // The caption takes two lines beside its field.
  Label6 = makeLabel(this, tr("Pre-trigger (ms)"), 207);
  Label6->resize(74, 28);
  Label6->setWordWrap(true);
  ExtendEdit2 = new TExtendEdit(this);
  ExtendEdit2->setGeometry(88, 212, 121, 21);
  ExtendEdit2->setText("0");
  ExtendEdit2->setEditStyle(esInteger);
  ExtendEdit2->Range().setMinValue(0);
  ExtendEdit2->Range().setMaxValue(kMaxPreTrigger);
  labelFor(Label6, ExtendEdit2);
  PreTriggerMessage = makeMessage(this, 212);
  ExtendEdit2->OnChange = [this](QObject*) { PreTriggerMessage->hide(); };

  OKBtn = new QPushButton(tr("OK"), this);
  OKBtn->setGeometry(49, 256, 75, 25);
  OKBtn->setDefault(true);
  connect(OKBtn, &QPushButton::clicked, this, [this] { runGuarded([this] { OKBtnClick(OKBtn); }); });

  // Escape closes the dialog as Cancel through the dialog's own key handling.
  CancelBtn = new QPushButton(tr("Abbrechen"), this);
  CancelBtn->setGeometry(141, 256, 75, 25);
  connect(CancelBtn, &QPushButton::clicked, this, [this] { runGuarded([this] { CancelBtnClick(CancelBtn); }); });
}

std::optional<uint16_t> TOKBottomDlg::enteredSampleRate() const {
  const long double rate = level::nearestEven(ExtendEdit1->Value());
  if (!(rate >= kMinSampleRate && rate <= kMaxSampleRate)) return std::nullopt;
  return static_cast<uint16_t>(rate);
}

std::optional<int32_t> TOKBottomDlg::enteredPreTrigger() const {
  // Digits only: the field reads letters, signs and brackets as a number of its own.
  const QString text = ExtendEdit2->text().trimmed();
  if (text.isEmpty() || text.size() > 4) return std::nullopt;
  for (const QChar c : text) {
    if (c < u'0' || c > u'9') return std::nullopt;
  }
  const int32_t milliseconds = text.toInt();
  if (milliseconds > kMaxPreTrigger) return std::nullopt;
  return milliseconds;
}

void TOKBottomDlg::OKBtnClick(QObject*) { accept(); }

void TOKBottomDlg::CancelBtnClick(QObject*) { reject(); }

void TOKBottomDlg::accept() {
  const bool preTriggerUsable = enteredPreTrigger().has_value();
  const bool sampleRateUsable = enteredSampleRate().has_value();
  // Every refused value says why; the focus goes to the first of them.
  if (!preTriggerUsable)
    refuse(ExtendEdit2, PreTriggerMessage, tr("Use a pre-trigger of 0 to %1 ms.").arg(kMaxPreTrigger));
  if (!sampleRateUsable)
    refuse(ExtendEdit1, SampleRateMessage,
           tr("Use a samplerate of %1 to %2 Hz.").arg(kMinSampleRate).arg(kMaxSampleRate));
  if (preTriggerUsable && sampleRateUsable) QDialog::accept();
}

Trecsetdlg::Trecsetdlg(QObject* owner) : QObject(owner) {}

bool Trecsetdlg::execute() {
  auto* ownerWidget = qobject_cast<QWidget*>(parent());
  std::unique_ptr<TOKBottomDlg> form(new TOKBottomDlg(ownerWidget));
  dialog = form.get();

  dialog->ComboBox2->setCurrentIndex(channels == TChannels::Stereo ? 1 : 0);
  dialog->ComboBox1->setCurrentIndex(BitsPerSample == TBPS::_8 ? 0 : 1);
  dialog->ExtendEdit1->setValue(samplerate);
  dialog->SpinEdit1->setValue(max16);
  dialog->SpinEdit2->setValue(max8);
  dialog->ExtendEdit2->setValue(pretrigger);
  dialog->setHelpContext(HelpContext);

  int result;
  if (RunModal) {
    dialog->open();
    result = RunModal(this, dialog);
  } else {
    result = prompts().execDialog(*dialog);
  }

  const bool ok = result == QDialog::Accepted;
  if (ok) {
    // The dialog accepts only rates that fit; keep the old one should that ever fail.
    samplerate = dialog->enteredSampleRate().value_or(samplerate);
    channels = dialog->ComboBox2->currentIndex() == 1 ? TChannels::Stereo : TChannels::Mono;
    BitsPerSample = dialog->ComboBox1->currentIndex() != 0 ? TBPS::_16 : TBPS::_8;
    max16 = dialog->SpinEdit1->value();
    max8 = dialog->SpinEdit2->value();
    pretrigger = dialog->enteredPreTrigger().value_or(pretrigger);
  }
  dialog = nullptr;
  return ok;
}
