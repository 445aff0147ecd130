// The record settings dialog: sample width, channels, sample rate, the two clip limits
// and the pre-trigger time. Trecsetdlg holds the values and creates the dialog form TOKBottomDlg for each
// run of execute.
#pragma once

#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QLabel>
#include <QObject>
#include <QPushButton>
#include <QSpinBox>
#include <cstdint>
#include <functional>
#include <optional>

#include "audio/Audio.h"
#include "controls/TextEdit.h"

class TOKBottomDlg : public QDialog {
  Q_DECLARE_TR_FUNCTIONS(TOKBottomDlg)

 public:
  explicit TOKBottomDlg(QWidget* owner = nullptr);

  // Lowest and highest sample rate the dialog lets through: the recorder's rate is a
  // 16-bit number, and below 8000 Hz a block of a tenth of a second becomes too short.
  static constexpr int kMinSampleRate = 8000;
  static constexpr int kMaxSampleRate = 65535;
  // Longest pre-trigger time in milliseconds: what the recorder keeps at most.
  static constexpr int kMaxPreTrigger = TRecorder::kMaxPreTrigger;

  int HelpContext() const { return helpContext_; }
  void setHelpContext(int v) { helpContext_ = v; }

  // The sample rate entered, rounded to an integer, when it lies within the rates above.
  std::optional<uint16_t> enteredSampleRate() const;
  // The pre-trigger time entered, when it is a whole number of 0 to kMaxPreTrigger ms.
  std::optional<int32_t> enteredPreTrigger() const;

  void OKBtnClick(QObject* Sender);
  void CancelBtnClick(QObject* Sender);
  // Closes the dialog with OK, unless the sample rate or the pre-trigger time cannot be
  // used: then the reason is shown under the field, which gets the focus, and the dialog
  // stays open.
  void accept() override;

  QLabel* Label1;
  QLabel* Label2;
  QLabel* Label3;
  QLabel* Label4;
  QLabel* Label5;
  QLabel* Label6;
  QComboBox* ComboBox1;
  QComboBox* ComboBox2;
  TExtendEdit* ExtendEdit1;
  QSpinBox* SpinEdit1;
  QSpinBox* SpinEdit2;
  TExtendEdit* ExtendEdit2;  // pre-trigger time in milliseconds
  QPushButton* OKBtn;
  QPushButton* CancelBtn;
  // Why the entered sample rate was refused; hidden until then and again after an edit.
  QLabel* SampleRateMessage;
  // Why the entered pre-trigger time was refused, in the same way.
  QLabel* PreTriggerMessage;

 private:
  int helpContext_ = 0;
};

class Trecsetdlg : public QObject {
 public:
  explicit Trecsetdlg(QObject* owner = nullptr);

  // Runs the dialog with the values below; on OK takes the dialog's values and returns true.
  bool execute();

  TOKBottomDlg* dialog = nullptr;  // the dialog form while execute runs
  uint16_t samplerate = 44100;
  TChannels channels = TChannels::Stereo;
  TBPS BitsPerSample = TBPS::_16;
  int32_t max16 = 0;
  int32_t max8 = 0;
  // Milliseconds of sound before the trigger that a triggered recording keeps.
  int32_t pretrigger = 0;
  int32_t HelpContext = 8;

  // Runs the shown dialog in place of its modal loop (tests fill the controls and press
  // a button) and returns the dialog's result. Unset: the program's prompts run it
  // modally, like every other modal window.
  std::function<int(Trecsetdlg* Sender, TOKBottomDlg* dialog)> RunModal;
};
