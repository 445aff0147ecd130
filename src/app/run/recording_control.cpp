// The four picture buttons: choosing the file, monitoring, starting and stopping a run.
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>
#include <stdexcept>
#include <utility>

#include "app/dialogs/prompts.h"
#include "app/run/display_time.h"
#include "app/tessaron1.h"
#include "app/window/level_math.h"

namespace {

// Round(rate x factor), halves to the even neighbour.
uint16_t roundedShare(uint32_t rate, long double factor) {
  return static_cast<uint16_t>(level::roundEven(static_cast<long double>(rate) * factor));
}

}  // namespace

void TForm1::stopMeterTimers() {
  Timer1->stop();
  Timer2->stop();
  Timer3->stop();
}

void TForm1::lockControls(bool locked) {
  ComboBox1->setEnabled(!locked);
  ComboBox2->setEnabled(!locked);
  BitBtn4->setEnabled(!locked);
  BitBtn2->setEnabled(!locked);
  BitBtn1->setEnabled(false);
  BitBtn3->setEnabled(locked);
}

uint32_t TForm1::lengthSet() const { return uint32_t(UpDown2->Position()) * 60 + UpDown1->Position(); }

void TForm1::endRun(RunEnding how, const QString& failure) {
  if (!runrecord.active) return;
  if (runrecord.kind == RunKind::Monitoring) {
    // As the monitor button does, also while it is disabled by an armed start, which
    // stays armed: only the monitoring run has ended.
    setMonitorTag(0);
    endMonitoring(how, failure);
  } else {
    endRecording(how, failure);
  }
}

void TForm1::applyRunFormat() {
  TRecorder* recorder = Audio1->Recorder();
  recorder->setBitsPerSample(static_cast<TBPS>(recbits));
  recorder->setChannels(static_cast<TChannels>(recchannels));
  recorder->setSampleRate(recsamplerate);
  recorder->setNoSamples(recsamplerate / 10);
  overhigh = roundedShare(recsamplerate, 0.001L);
  overlow = roundedShare(recsamplerate, 0.00014L);
}

void TForm1::endMonitoring(RunEnding how, const QString& failure) {
  stopRun(how, failure);
  blinkcount = 0;
  LEDMeter3->setPosition(0);
  stopMeterTimers();
  LEDMeter1->setPosition(0);
  LEDMeter2->setPosition(0);
  ComboBox1->setEnabled(true);
  ComboBox2->setEnabled(true);
}

void TForm1::stopRun(RunEnding how, const QString& failure) {
  Audio1->Recorder()->Stop();
  // The recorder delivers nothing more; results of its blocks still on the way are dropped.
  blockhandover.endRun();
  runEnded(how, failure);
}

void TForm1::BitBtn2Click(QObject*) {
  if (!SaveDialog1.Execute(this)) return;
  recfilename = SaveDialog1.FileName();
  BitBtn1->setEnabled(true);
}

void TForm1::togglemonitor() { setMonitorTag(BitBtn4->Tag == 0 ? 1 : 0); }

void TForm1::setMonitorTag(int32_t tag) {
  BitBtn4->setGlyph((tag == 1 ? Image2 : Image1)->Picture());
  BitBtn4->Tag = tag;
  BitBtn4->setChecked(tag == 1);
}

void TForm1::BitBtn4Click(QObject*) {
  if (!BitBtn4->isEnabled()) return;
  togglemonitor();
  nach_klick();
}

void TForm1::nach_klick() {
  if (metersel == nullptr) return;
  TRecorder* recorder = Audio1->Recorder();

  if (BitBtn4->Tag != 1) {
    endMonitoring();
    return;
  }

  Audio1->setMixerDeviceID(metersel->device);
  Audio1->setAudioDeviceID(devicefromindex(ComboBox2->currentIndex()));
  Timer1->start();
  blinkcount = 0;
  LEDMeter3->setPosition(0);
  peakleft = 0;
  peakright = 0;
  applyRunFormat();
  recorder->setTrigLevel(static_cast<uint16_t>(1000 - TrackBar3->value()));
  recorder->Triggered = true;  // monitoring never waits for the trigger
  recorder->setPreTrigger(0);  // so it has nothing to keep from before it
  if (RadioButton5->isChecked()) VUKup();

  blockhandover.beginRun(recorder->BitsPerSample(), recorder->Channels(), limit8, limit16);
  if (recorder->Start()) {
    ComboBox1->setEnabled(false);
    ComboBox2->setEnabled(false);
    runStarted(RunKind::Monitoring);
    return;
  }
  blockhandover.endRun();
  stopMeterTimers();
  prompts().messageBox(this, QString::fromStdString(Audio1->ErrorMessage), tr("Aufnahme"), QMessageBox::Ok,
                       QMessageBox::Warning);
}

void TForm1::BitBtn1Click(QObject*) {
  takeStartTime();
  // The start of an armed recording runs unattended: the disk space question came when
  // it was armed.
  const bool armedStartFires = std::exchange(armedstart, false);

  if (CheckBox2->isChecked()) {
    if (!diskSpaceAllows()) return;
    // Armed: the start clock calls this handler again at the start time. A monitoring
    // run that is on stays on until then.
    armedstart = true;
    lockControls(true);
    Timer4->start();
    return;
  }
  if (metersel == nullptr) return;
  if (!armedStartFires && !diskSpaceAllows()) return;
  TRecorder* recorder = Audio1->Recorder();

  // A monitoring run ends first, also at an armed start, where the monitor button is
  // disabled: the recorder is started afresh for the recording.
  if (BitBtn4->Tag == 1) {
    setMonitorTag(0);
    endMonitoring();
    peakleft = 0;
    peakright = 0;
  }

  Audio1->setMixerDeviceID(metersel->device);
  Audio1->setAudioDeviceID(devicefromindex(ComboBox2->currentIndex()));
  // The format is set before the file is created, so that its header describes the
  // blocks that follow even when a new format was chosen while a run was active.
  applyRunFormat();
  // A file that cannot be created raises EFCreateError; the application's error box
  // shows it, in the user's language, and the recording does not start.
  recorder->setFileOptions(fileoptions);
  try {
    recorder->CreateWaveFile(QFile::encodeName(recfilename).toStdString(), nullptr, nullptr);
  } catch (const EFCreateError&) {
    throw std::runtime_error(tr("Datei %1 kann nicht erstellt werden").arg(recfilename).toStdString());
  }
  recorder->setTrigLevel(static_cast<uint16_t>(1000 - TrackBar3->value()));
  recorder->Triggered = !CheckBox1->isChecked();
  recorder->setPreTrigger(pretrigger);
  blinkcount = 0;
  LEDMeter3->setPosition(0);

  blockhandover.beginRun(recorder->BitsPerSample(), recorder->Channels(), limit8, limit16);
  if (recorder->Start()) {
    Timer1->start();
    if (RadioButton5->isChecked()) VUKup();
    lockControls(true);
    runStarted(RunKind::Recording);
    return;
  }
  // The file holds only its header; it is completed and closed at once, so that no later
  // run can append to it. The stop would replace the reason of the failure.
  const QString reason = QString::fromStdString(Audio1->ErrorMessage);
  stopRun();
  Audio1->ErrorMessage = reason.toStdString();
  stopMeterTimers();
  prompts().messageBox(this, reason, tr("Aufnahme"), QMessageBox::Ok, QMessageBox::Warning);
}

void TForm1::BitBtn3Click(QObject*) { endRecording(RunEnding::User); }

void TForm1::endRecording(RunEnding how, const QString& failure) {
  stopRun(how, failure);
  blinkcount = 0;
  LEDMeter3->setPosition(0);
  LEDMeter1->setPosition(0);
  LEDMeter2->setPosition(0);
  stopMeterTimers();
  // A pending timed start is dropped, and the start time shows again in place of the clock.
  CheckBox2->setChecked(false);
  Timer4->stop();
  armedstart = false;
  LEDDisplay3->setValue(displayTime(starthour, startmin));
  LEDDisplay3->setColorLED(clLime);
  lockControls(false);
}

void TForm1::Audio1RecordStopped(TObject*) {
  // The recorder has already stopped and completed the file; the window follows, ending
  // the run as its button would.
  const QString reason = QString::fromStdString(Audio1->ErrorMessage);
  endRun(RunEnding::Failure, reason);
  Audio1->ErrorMessage = reason.toStdString();
  prompts().messageBox(this, reason, tr("Aufnahme"), QMessageBox::Ok, QMessageBox::Warning);
}
