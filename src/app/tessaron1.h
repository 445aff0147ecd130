// The main window TForm1: every control, every field of the window's shared state and
// every handler. The handlers live in files by concern: main_window.cpp (creation,
// layout, menus), recording_control.cpp, block_analysis.cpp, run_status.cpp,
// timed_start.cpp, settings_store.cpp, meter_sources.cpp, mixer_lines.cpp and
// level_control.cpp.
#pragma once

#include <QCoreApplication>
#include <QMainWindow>
#include <QTime>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/application.h"
#include "app/dialogs/save_dialog.h"
#include "app/run/block_handover.h"
#include "app/run/disk_space.h"
#include "app/run/run_record.h"
#include "app/window/form_controls.h"
#include "audio/Audio.h"
#include "controls/RackCtls.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QMenu;
class QMenuBar;
class QRadioButton;
class QSlider;
class QTimer;
class DeviceLists;
class StatusLine;
class TakeOverview;
class Trecsetdlg;

// One item of the meter-source list (ComboBox1): a mixer line with a peak meter, or the
// recorded data itself.
struct TMeterEntry {
  int32_t device = 0;       // mixer device number
  int32_t destination = 0;  // destination line, from 0
  int32_t source = 0;       // 0 = the destination line, 1.. = its source lines
  std::string caption;      // text of the item
  bool wavedata = false;    // the "refer to wave data" entry
  TMeterEntry* next = nullptr;
};

// One item of the level-control input list (ComboBox3): the mixer line whose record
// volume the sliders and the automatic level control drive.
struct TInputEntry {
  int32_t device = 0;
  int32_t destination = 0;
  int32_t source = 0;
  std::string caption;
  TInputEntry* next = nullptr;
  // The line's mute state as last read from its mixer, none before the first good read.
  // Volumes are always written back with it, so a failed read never unmutes the line.
  std::optional<bool> lastmute;
};

class TForm1 : public QMainWindow {
  Q_DECLARE_TR_FUNCTIONS(TForm1)

 public:
  explicit TForm1(QWidget* parent = nullptr);
  ~TForm1() override;

  // --- controls ---
  TLabel* Label2;
  TLabel* Label3;
  QComboBox* ComboBox1;
  TLabel* Label4;
  QComboBox* ComboBox2;
  TLabel* Label5;
  QComboBox* ComboBox3;
  TImage* Image1;
  TImage* Image2;
  TScrewPanel* ScrewPanel1;
  TLabel* Label8;
  TLEDMeter* LEDMeter3;
  TLabel* Label6;
  QSlider* TrackBar3;
  QCheckBox* CheckBox1;
  TLEDMeter* LEDMeter1;
  TLEDMeter* LEDMeter2;
  TLabel* Label1;
  TLabel* Label12;
  TLabel* Label9;
  TLabel* Label10;
  TLabel* Label11;
  TLabel* Label7;
  QSlider* TrackBar1;
  QSlider* TrackBar2;
  QSlider* TrackBar5;
  QSlider* TrackBar4;
  TBitBtn* BitBtn2;
  TBitBtn* BitBtn4;
  TBitBtn* BitBtn1;
  TBitBtn* BitBtn3;
  QGroupBox* GroupBox1;
  QRadioButton* RadioButton1;
  QRadioButton* RadioButton2;
  QGroupBox* GroupBox2;
  QRadioButton* RadioButton3;
  QRadioButton* RadioButton4;
  QRadioButton* RadioButton5;
  TLabel* Label14;
  TLEDDisplay* LEDDisplay1;
  TLabel* Label13;
  TLEDDisplay* LEDDisplay2;
  TUpDown* UpDown2;
  TUpDown* UpDown1;
  QCheckBox* CheckBox2;
  TLEDDisplay* LEDDisplay3;
  TUpDown* UpDown4;
  TUpDown* UpDown3;
  std::unique_ptr<TAudio> Audio1;
  std::unique_ptr<TAudio> Audio2;
  QTimer* Timer1;
  QTimer* Timer2;
  QTimer* Timer3;
  QTimer* Timer4;
  TSaveDialog SaveDialog1;
  Trecsetdlg* recsetdlg1;
  QMenuBar* MainMenu1;
  QMenu* Datei;
  QAction* Marker1;
  QAction* Beenden1;
  QMenu* eee;
  QAction* Sichern1;
  QAction* Sichern2;
  QAction* Uninstall1;
  QAction* Broadcast1;
  QAction* RF641;
  QMenu* Ansicht;
  QAction* Uebersicht1;
  QMenu* ddd;
  QAction* Index1;
  QAction* ber1;
  StatusLine* StatusBar1;

  // --- creation, destruction, menus (main_window.cpp) ---
  void FormCreate();
  void FormDestroy();
  void Beenden1Click(QObject* Sender);
  void Index1Click(QObject* Sender);
  void ber1Click(QObject* Sender);
  void Sichern1Click(QObject* Sender);
  // "Take overview": opens the picture of the current or the last run.
  void Uebersicht1Click(QObject* Sender);
  // ComboBox2 item index to the device number given to Audio1: 0 ("Wavemapper") gives
  // 10, which the component takes as the wave mapper; item k gives device k - 1.
  int32_t devicefromindex(int32_t index) const;
  // Opens the help topic of a control (its own help context or its nearest parent's).
  void showHelpFor(QWidget* control);

  // --- accessible names and the tab order (accessibility.cpp) ---
  // Names the controls that have no caption of their own, by what they show or change.
  void nameControls();
  // The Tab key walks the controls as the window reads, list by list and column by column.
  void orderTabs();

  // --- recording control (recording_control.cpp) ---
  void BitBtn1Click(QObject* Sender);
  void BitBtn2Click(QObject* Sender);
  void BitBtn3Click(QObject* Sender);
  void BitBtn4Click(QObject* Sender);
  void togglemonitor();
  // The monitor button's tag (0 not monitoring, 1 monitoring), with the face and the
  // checked state it shows.
  void setMonitorTag(int32_t tag);
  void nach_klick();
  // The recorder ended a run by itself (write failure, size limit, a buffer that could
  // not be queued again): the run ends as its button would and the reason is shown.
  void Audio1RecordStopped(TObject* Sender);
  // Ends the current run as its own button does: a monitoring run as the monitor button,
  // a recording as the stop button; `how` (and a failure's reason) go to its summary.
  // Used by the stop button, the countdown and a failure alike; nothing without a run.
  void endRun(RunEnding how, const QString& failure = {});
  // The stop button's work: the run ends, an armed start is dropped, the controls are
  // those of idle.
  void endRecording(RunEnding how, const QString& failure = {});
  // Ends the run of the recorder and forgets the blocks it still has on the way.
  void stopRun(RunEnding how = RunEnding::User, const QString& failure = {});
  // Sets the recorder to recbits/recchannels/recsamplerate with blocks of a tenth of a
  // second, and the over-limit thresholds for that rate.
  void applyRunFormat();
  // Monitoring off: the recorder stops, lamp and meters go dark, the lists come back.
  void endMonitoring(RunEnding how = RunEnding::User, const QString& failure = {});
  // Timer1, Timer2 and Timer3 (the meter tick and the level control's) off.
  void stopMeterTimers();
  // The picture buttons and the device lists of a recording or an armed start (`locked`),
  // or of idle; either way a new recording needs a file chosen first.
  void lockControls(bool locked);
  // The set length the spin buttons show, in seconds.
  uint32_t lengthSet() const;

  // --- block analysis (block_analysis.cpp) ---
  // Service thread: scans the block and hands the result to the window thread.
  void Audio1Record(TObject* Sender, void* LP, void* RP, uint32_t BufferSize);
  // Window thread, in block order: lamp, peaks, clip runs, no-signal watch, clock,
  // countdown and stop.
  void blockAnalysed(const BlockScanResult& scan);
  // One tenth of a second of run time, from a block or from input lost in a dropout:
  // ten make a second of elapsed time, by which the set length counts down.
  void clockTenth();
  // The run record's clock on the window, the one place that sets it there: blockcount,
  // elapsedsec, elapsedmin, lengthmin and lengthsec always; at a whole second LEDDisplay1,
  // and the spin buttons and LEDDisplay2 when the second counted the length down.
  void showRunClock(const RunTick& tick = {});
  // The length's spin buttons and LEDDisplay2 at `seconds`.
  void showLength(uint32_t seconds);
  BlockHandover blockhandover{
      guarded<const BlockScanResult&>([this](const BlockScanResult& scan) { blockAnalysed(scan); }),
      guarded<uint32_t, uint32_t>(
          [this](uint32_t overruns, uint32_t framesLost) { dropoutArrived(overruns, framesLost); })};
  // The clip runs that Label1 and Label12 show, so their captions change only with them.
  std::array<uint16_t, 2> shownruns{};

  // --- status line and what it tells of a run (run_status.cpp) ---
  // Service thread: the input lost data right before the next block; the counts go to
  // the window thread the way the blocks go.
  void Audio1Dropout(TObject* Sender, uint32_t Overruns, uint32_t FramesLost);
  // Window thread, in block order: counts the dropout and puts the lost time on the clock,
  // since the file holds it as silence.
  void dropoutArrived(uint32_t Overruns, uint32_t FramesLost);
  // The recording went on into FileName; the file before it is complete.
  void Audio1RecordFileChanged(TObject* Sender, const std::string& FileName);
  // A run has started: the run record begins it with the set length, and the status
  // line shows its items from now on.
  void runStarted(RunKind kind);
  // The run has ended (the recorder is stopped) as `how` says: the status line shows its
  // summary.
  void runEnded(RunEnding how, const QString& failure);
  // Before a recording of set length starts or is armed: when the file system lacks the
  // room, the user is asked; false when the answer is No.
  bool diskSpaceAllows();
  // The status line's estimate of the time left until the disk is full.
  void showDiskEstimate();
  // The current run, or the last one between runs.
  RunRecord runrecord;
  // What the files of the next recordings carry beyond the plain WAV (the record
  // settings dialog's two archive options, stored with the settings).
  WaveFileOptions fileoptions;

  // --- markers and archive options (archive_files.cpp) ---
  // "Marker": a cue point at the current position of the recording, counted on the
  // status line.
  void Marker1Click(QObject* Sender);
  // The two archive options of the Options menu: fileoptions follows their check marks,
  // and they follow fileoptions (showArchiveOptions); a change applies from the next
  // recording.
  void archiveOptionClick(QObject* Sender);
  void showArchiveOptions();
  // The free space of a file system; statvfs unless replaced, as tests do.
  DiskSpaceSource diskSpace = diskSpaceOf;
  // A timed start is armed; its start asks nothing, the question came at arming.
  bool armedstart = false;
  // The picture of the current or the last run and its window.
  std::unique_ptr<TakeOverview> takeoverview;

  // --- timed start and recording length (timed_start.cpp) ---
  void UpDown1Click(QObject* Sender, TUDBtnType Button);
  void UpDown2Click(QObject* Sender, TUDBtnType Button);
  void UpDown3Click(QObject* Sender, TUDBtnType Button);
  void UpDown4Click(QObject* Sender, TUDBtnType Button);
  void Timer4Timer(QObject* Sender);
  // starthour and startmin from the time LEDDisplay3 shows.
  void takeStartTime();
  // The local time of day the start clock reads (to the second); the system's clock
  // unless replaced, as tests do.
  std::function<QTime()> timeOfDay = [] { return QTime::currentTime(); };

  // --- settings store (settings_store.cpp) ---
  void optionsladen();
  void Sichern2Click(QObject* Sender);
  void Uninstall1Click(QObject* Sender);
  // While the recorder is open (monitoring or recording) its format cannot change: a
  // format chosen then waits in recbits, recchannels and recsamplerate for the next start.
  bool formatHeldBack() const;

  // --- the device lists, filled at creation and again when devices come or go
  // (device_lists.cpp) ---
  std::unique_ptr<DeviceLists> devicelists;

  // --- meter sources and meter polling (meter_sources.cpp) ---
  void meterlist(int32_t device);
  // Creates the "refer to wave data" entry as item 0, and selects it, when the list is
  // still empty; it needs no mixer, so it is there even on a machine without one.
  void addWaveDataEntry();
  // Meter position of a peak value: Round(|value / 32767 x max|), halves to even.
  static int32_t meterPosition(int32_t value, int32_t max);
  void ComboBox1Change(QObject* Sender);
  void Timer1Timer(QObject* Sender);

  // --- mixer lines, volume and balance (mixer_lines.cpp) ---
  void volumlist(int32_t device);
  void ComboBox2Change(QObject* Sender);
  void ComboBox3Change(QObject* Sender);
  void changetrack();
  void trackchanged();
  void TrackBar1Change(QObject* Sender);
  void TrackBar2Change(QObject* Sender);
  void TrackBar4Change(QObject* Sender);
  void TrackBar5Change(QObject* Sender);
  void RadioButton2Click(QObject* Sender);
  void Audio2MixerChange(TObject* Sender, uint16_t Destination, uint16_t Source);
  void Label3Click(QObject* Sender);
  void Label4Click(QObject* Sender);
  void Label5Click(QObject* Sender);
  void Label6Click(QObject* Sender);
  void Label7Click(QObject* Sender);
  void Label11Click(QObject* Sender);
  // Reads the selected line's volumes into `left` and `right` (kept as they were where
  // the read fails) and returns the mute state to write back with them: the one just
  // read, or after a failed read the last one read for the line; none if never read.
  std::optional<bool> readSelectedLine(uint16_t& left, uint16_t& right);
  // Writes volleft and volright to the selected line, keeping its mute state; nothing
  // is written without a selected line or a known mute state.
  void writeSelectedLine();

  // --- automatic level control and trigger (level_control.cpp) ---
  void RadioButton3Click(QObject* Sender);
  void RadioButton4Click(QObject* Sender);
  void RadioButton5Click(QObject* Sender);
  void VUKup();
  // The level-control part of the meter tick (down steps, hold check, write-back).
  void levelControlTick();
  void Timer2Timer(QObject* Sender);
  void Timer3Timer(QObject* Sender);
  void TrackBar3Change(QObject* Sender);

  // --- the window's shared state, all zero, nil or empty at creation. The handlers of
  // every concern above read and write these; they are public so tests can check them.
  TMeterEntry* meterfirst = nullptr;
  TMeterEntry* meterlast = nullptr;
  TMeterEntry* metersel = nullptr;
  TInputEntry* volumfirst = nullptr;
  TInputEntry* volumlast = nullptr;
  TInputEntry* volumsel = nullptr;
  QString recfilename;
  int32_t blinkcount = 0;
  int32_t savedmeter = 0;
  int32_t savedvolume = 0;
  QString savedfilename;
  int32_t savedaudiodevice = 0;
  int32_t savedtriggerlevel = 0;
  bool savedtrigger = false;
  uint8_t recbits = 0;
  uint8_t recchannels = 0;
  uint32_t recsamplerate = 0;
  int32_t vukmode = 0;
  int32_t levelmode = 0;
  int32_t limit8 = 0;
  int32_t limit16 = 0;
  uint16_t volleft = 0;
  uint16_t volright = 0;
  uint16_t overleft = 0;
  uint16_t overright = 0;
  // The run's clock and set length as the run record keeps them (showRunClock).
  int32_t elapsedsec = 0;
  int32_t elapsedmin = 0;
  int32_t blockcount = 0;
  int32_t lengthsec = 0;
  int32_t lengthmin = 0;
  uint16_t peakleft = 0;
  uint16_t peakright = 0;
  bool trackbusy = false;
  int32_t trackwhich = 0;
  uint16_t overhigh = 0;
  uint16_t overlow = 0;
  uint16_t nowhour = 0;
  uint16_t nowmin = 0;
  uint16_t nowsec = 0;
  uint16_t nowmsec = 0;
  int16_t lasthour = 0;
  int16_t lastmin = 0;
  int16_t lastsec = 0;
  uint16_t starthour = 0;
  uint16_t startmin = 0;
  // Milliseconds of sound before the trigger that a triggered recording keeps, 0..TRecorder::kMaxPreTrigger.
  int32_t pretrigger = 0;

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void createControls();
  void createMenus();
  void connectHandlers();
};

// The main window of the running program.
extern TForm1* Form1;
