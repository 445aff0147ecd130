// Creation, destruction, layout and menus of the main window, and devicefromindex.
#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>
#include <algorithm>
#include <utility>

#include "app/application.h"
#include "app/dialogs/prompts.h"
#include "app/dialogs/recsetdlg.h"
#include "app/dialogs/tessaron2.h"
#include "app/overview/take_overview.h"
#include "app/overview/take_overview_window.h"
#include "app/run/status_line.h"
#include "app/tessaron1.h"
#include "app/window/button_faces.h"
#include "app/window/device_lists.h"
#include "platform/help_system.h"
#include "platform/version.h"
#include "platform/window_sight.h"

TForm1* Form1 = nullptr;

namespace {

// The client area below the menu bar; every control is placed in it in pixels.
constexpr int clientWidth = 450;
constexpr int clientHeight = 410;

template <typename Widget>
Widget* place(Widget* widget, int left, int top, int width, int height) {
  widget->setGeometry(left, top, width, height);
  return widget;
}

TLabel* label(const QString& caption, QWidget* parent, int left, int top, int width, int height = 16) {
  return place(new TLabel(caption, parent), left, top, width, height);
}

QSlider* slider(Qt::Orientation orientation, QWidget* parent, int max, int position, int tickInterval) {
  auto* s = new QSlider(orientation, parent);
  s->setRange(0, max);
  s->setValue(position);
  s->setTickInterval(tickInterval);
  if (orientation == Qt::Vertical) {
    // Position 0 is at the top, and the up key moves the thumb up.
    s->setInvertedAppearance(true);
    s->setInvertedControls(true);
    s->setTickPosition(QSlider::TicksRight);
  } else {
    s->setTickPosition(QSlider::TicksBelow);
  }
  return s;
}

TUpDown* upDown(QWidget* parent, int16_t max, int left, int top, int context) {
  auto* u = place(new TUpDown(parent), left, top, 17, 24);
  u->setMin(0);
  u->setMax(max);
  u->setPosition(0);
  u->setWrap(true);
  setHelpContext(u, context);
  return u;
}

void setLevelMeter(TLEDMeter* meter, const QString& hint) {
  meter->setToolTip(hint);
  meter->setBevelStyle(bvNone);
  meter->setColorLED1(16752640);
  meter->setColorLED2(clLime);
  meter->setColorLED3(4210943);
  meter->setDirection(mdUp);
  meter->setMax(16);
  meter->setNumDigits(16);
  meter->setStartColor2(9);
  meter->setStartColor3(14);
}

void setTimeDisplay(TLEDDisplay* display, const QString& hint) {
  display->setToolTip(hint);
  display->setBevelStyle(bvLowered);
  display->setBorderStyle(bsSingle);
  display->setColorBackGround(clGray);
  display->setDecSeperator(dsDoublePoint);
  display->setDigitHeight(15);
  display->setDigitWidth(10);
  display->setDigitLineWidth(1);
  display->setFractionDigits(2);
  display->setNumDigits(4);
  display->setSegmentStyle(ssBeveled);
}

QTimer* timer(QObject* parent, int interval) {
  auto* t = new QTimer(parent);
  t->setInterval(interval);
  // Never earlier than asked: a coarse timer may fire up to 5 % early, which would cut
  // the level control's hold short.
  t->setTimerType(Qt::PreciseTimer);
  return t;
}

}  // namespace

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
  setWindowTitle("Tessaron");
  setWindowIcon(tessaronIcon());
  setHelpContext(this, 1);

  Audio1 = std::make_unique<TAudio>();
  Audio1->Name = "Audio1";
  Audio1->Recorder()->setBitsPerSample(TBPS::_16);
  Audio1->Recorder()->setChannels(TChannels::Stereo);
  Audio1->Recorder()->setSampleRate(44100);
  Audio1->Player()->setBitsPerSample(TBPS::_16);
  Audio1->Player()->setChannels(TChannels::Stereo);
  Audio1->Player()->setSampleRate(44100);
  Audio1->Recorder()->setNoSamples(4096);
  Audio1->Recorder()->setTrigLevel(0);
  Audio1->Recorder()->Triggered = false;
  Audio2 = std::make_unique<TAudio>();
  Audio2->Name = "Audio2";
  fileoptions.software = "Tessaron " TESSARON_VERSION_STRING;
  devicelists = std::make_unique<DeviceLists>(*this);

  Timer1 = timer(this, 25);
  Timer2 = timer(this, 5000);
  Timer3 = timer(this, 500);
  Timer4 = timer(this, 250);

  SaveDialog1.setTitle(tr("Dateinahme für Aufnahme"));
  SaveDialog1.setDefaultExt("wav");
  SaveDialog1.setFilter(tr("Wave-Datei|*.wav|Alle Dateien|*.*"));
  SaveDialog1.setOptions(ofOverwritePrompt | ofHideReadOnly | ofNoReadOnlyReturn | ofEnableSizing);

  recsetdlg1 = new Trecsetdlg(this);
  recsetdlg1->samplerate = 44100;
  recsetdlg1->channels = TChannels::Stereo;
  recsetdlg1->BitsPerSample = TBPS::_16;
  recsetdlg1->max16 = 0;
  recsetdlg1->max8 = 0;
  recsetdlg1->HelpContext = 8;

  createControls();
  new WindowSight(this);  // a child of the window: nothing is painted while nobody can see it
  takeoverview = std::make_unique<TakeOverview>(this);
  createMenus();
  nameControls();
  orderTabs();
  connectHandlers();
  move(227, 148);
  FormCreate();
}

TForm1::~TForm1() {
  FormDestroy();
  // The audio components go first, while every handler they might still call finds
  // the window complete; their teardown completes an open recording.
  Audio1.reset();
  Audio2.reset();
  while (meterfirst != nullptr) delete std::exchange(meterfirst, meterfirst->next);
  while (volumfirst != nullptr) delete std::exchange(volumfirst, volumfirst->next);
  meterlast = metersel = nullptr;
  volumlast = volumsel = nullptr;
  if (Form1 == this) Form1 = nullptr;
}

void TForm1::createControls() {
  auto* client = new QWidget(this);
  client->setFixedSize(clientWidth, clientHeight);
  setCentralWidget(client);
  // The status line sits under the client area: the window grows by its height.
  StatusBar1 = new StatusLine(this);
  setStatusBar(StatusBar1);

  Label2 = label("Tessaron", client, 8, 4, 200, 30);
  QFont titleFont = Label2->font();
  titleFont.setBold(true);
  titleFont.setPointSizeF(titleFont.pointSizeF() * 1.8);
  Label2->setFont(titleFont);
  Label2->setStyleSheet("color: green;");

  Label3 = label(tr("LED-&Meter"), client, 8, 44, 139);
  ComboBox1 = place(new QComboBox(client), 8, 62, 139, 22);
  ComboBox1->setToolTip(tr("Select the meter (refer to wave data=don't use the soundcard's meter)"));
  ComboBox1->setMaxVisibleItems(10);
  setHelpContext(ComboBox1, 3);

  Label4 = label(tr("Record &Device"), client, 155, 44, 139);
  ComboBox2 = place(new QComboBox(client), 155, 62, 139, 22);
  ComboBox2->setToolTip(tr("Select the recording device (wavemapper=Win's default)"));
  ComboBox2->setMaxVisibleItems(4);
  setHelpContext(ComboBox2, 4);

  Label5 = label(tr("&Level Control"), client, 302, 44, 139);
  ComboBox3 = place(new QComboBox(client), 302, 62, 139, 22);
  ComboBox3->setToolTip(tr("Select the input the level control should refer to"));
  ComboBox3->setMaxVisibleItems(10);
  setHelpContext(ComboBox3, 5);

  for (QComboBox* box : {ComboBox1, ComboBox2, ComboBox3}) {
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  }

  Image1 = place(new TImage(client), 404, 8, 12, 12);
  Image1->setPicture(buttonFace(ButtonFace::RedRing));
  Image1->hide();
  Image2 = place(new TImage(client), 420, 8, 12, 12);
  Image2->setPicture(buttonFace(ButtonFace::BlackRing));
  Image2->hide();

  ScrewPanel1 = place(new TScrewPanel(client), 8, 112, 433, 289);
  ScrewPanel1->setColor(clBtnFace);
  ScrewPanel1->setMargin(2);
  ScrewPanel1->setScrewSize(2);
  ScrewPanel1->setShowScrews(true);
  QWidget* panel = ScrewPanel1;

  // Trigger level at the left.
  TrackBar3 = place(slider(Qt::Vertical, panel, 1000, 1000, 100), 16, 12, 32, 168);
  TrackBar3->setToolTip(tr("Wait until this level is exceeded"));
  setHelpContext(TrackBar3, 7);
  Label6 = label(tr("Tr&igger level"), panel, 6, 184, 76);
  Label6->setFocusControl(TrackBar3);
  CheckBox1 = place(new QCheckBox(tr("&Triggered"), panel), 6, 204, 90, 20);
  CheckBox1->setToolTip(tr("Toggel trigger on/off"));
  setHelpContext(CheckBox1, 7);

  // Recording lamp and the two level meters with their clip counters.
  Label8 = label(tr("Recording"), panel, 72, 8, 65);
  Label8->setAlignment(Qt::AlignCenter);
  LEDMeter3 = place(new TLEDMeter(panel), 96, 25, 17, 16);
  LEDMeter3->setColorLED1(clRed);
  LEDMeter3->setColorLED3(clRed);
  LEDMeter3->setNumDigits(1);
  LEDMeter1 = place(new TLEDMeter(panel), 88, 48, 17, 145);
  setLevelMeter(LEDMeter1, tr("Left meter"));
  LEDMeter2 = place(new TLEDMeter(panel), 104, 48, 17, 145);
  setLevelMeter(LEDMeter2, tr("Right meter"));
  const QString clipHint = tr("Number of consecutive samples per block exceeding limit");
  Label1 = label("0", panel, 50, 48, 34);
  Label1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  Label1->setToolTip(clipHint);
  Label12 = label("0", panel, 125, 48, 30);
  Label12->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  Label12->setToolTip(clipHint);

  // Record level: two sliders (left, right) or one level slider with the balance.
  Label7 = label(tr("Le&vel"), panel, 156, 6, 80);
  Label9 = label(tr("L"), panel, 166, 22, 16);
  Label9->setAlignment(Qt::AlignCenter);
  Label10 = label(tr("R"), panel, 202, 22, 16);
  Label10->setAlignment(Qt::AlignCenter);
  TrackBar1 = place(slider(Qt::Vertical, panel, 100, 0, 10), 158, 38, 32, 140);
  TrackBar1->setPageStep(10);
  TrackBar2 = place(slider(Qt::Vertical, panel, 100, 0, 10), 194, 38, 32, 140);
  TrackBar2->setPageStep(10);
  TrackBar5 = place(slider(Qt::Vertical, panel, 100, 100, 10), 176, 38, 32, 140);
  TrackBar5->hide();
  Label7->setFocusControl(TrackBar1);
  Label11 = label(tr("&Balance"), panel, 156, 182, 80);
  TrackBar4 = place(slider(Qt::Horizontal, panel, 100, 50, 10), 152, 198, 112, 28);
  Label11->setFocusControl(TrackBar4);

  // The four picture buttons at the top right.
  BitBtn2 = place(new TBitBtn(panel), 276, 14, 33, 33);
  BitBtn2->setToolTip(tr("Select filename"));
  BitBtn2->setGlyph(buttonFace(ButtonFace::FloppyDisk));
  BitBtn4 = place(new TBitBtn(panel), 312, 14, 33, 33);
  BitBtn4->setToolTip(tr("Monitor input"));
  setHelpContext(BitBtn4, 6);
  // Checked while monitoring, for assistive technology (setMonitorTag).
  BitBtn4->setCheckable(true);
  BitBtn1 = place(new TBitBtn(panel), 348, 14, 33, 33);
  BitBtn1->setToolTip(tr("Start recording - select filename first"));
  BitBtn1->setGlyph(buttonFace(ButtonFace::BlackDisc));
  BitBtn1->setEnabled(false);
  BitBtn3 = place(new TBitBtn(panel), 384, 14, 33, 33);
  BitBtn3->setToolTip(tr("Stop recording"));
  BitBtn3->setGlyph(buttonFace(ButtonFace::BlackSquare));
  BitBtn3->setEnabled(false);

  // Option groups.
  GroupBox1 = place(new QGroupBox(tr("Control M&ode"), panel), 272, 56, 150, 62);
  setHelpContext(GroupBox1, 13);
  RadioButton1 = place(new QRadioButton(tr("Level/Balan&ce"), GroupBox1), 10, 18, 136, 20);
  RadioButton1->setToolTip(tr("One level control + balance"));
  RadioButton2 = place(new QRadioButton(tr("L&evel L/R"), GroupBox1), 10, 38, 136, 20);
  RadioButton2->setToolTip(tr("Left and right control"));
  RadioButton2->setChecked(true);
  GroupBox2 = place(new QGroupBox(tr("&VUK Mode"), panel), 272, 124, 150, 82);
  setHelpContext(GroupBox2, 12);
  RadioButton3 = place(new QRadioButton(tr("Off"), GroupBox2), 10, 18, 136, 20);
  RadioButton3->setToolTip(tr("No automatic level control"));
  RadioButton4 = place(new QRadioButton(tr("Down only"), GroupBox2), 10, 38, 136, 20);
  RadioButton4->setToolTip(tr("Take down the level only"));
  RadioButton4->setChecked(true);
  RadioButton5 = place(new QRadioButton(tr("Up/Down"), GroupBox2), 10, 58, 136, 20);
  RadioButton5->setToolTip(tr("Down if input too high, up if input too low"));

  // Elapsed time, length and start time along the bottom.
  Label14 = label(tr("Elapsed time"), panel, 32, 230, 100);
  LEDDisplay1 = place(new TLEDDisplay(panel), 32, 248, 73, 24);
  setTimeDisplay(LEDDisplay1, tr("Elapsed recording time"));
  Label13 = label(tr("Length"), panel, 168, 230, 100);
  LEDDisplay2 = place(new TLEDDisplay(panel), 168, 248, 73, 24);
  setTimeDisplay(LEDDisplay2, tr("Left length of recording time"));
  UpDown2 = upDown(panel, 99, 243, 248, 15);
  UpDown1 = upDown(panel, 59, 261, 248, 15);
  CheckBox2 = place(new QCheckBox(tr("Start at"), panel), 310, 227, 110, 20);
  CheckBox2->setToolTip(tr("Start recording at time below"));
  setHelpContext(CheckBox2, 15);
  LEDDisplay3 = place(new TLEDDisplay(panel), 312, 248, 73, 24);
  setTimeDisplay(LEDDisplay3, tr("Start time"));
  setHelpContext(LEDDisplay3, 15);
  UpDown4 = upDown(panel, 23, 387, 248, 15);
  UpDown3 = upDown(panel, 59, 405, 248, 15);
}

void TForm1::createMenus() {
  MainMenu1 = menuBar();
  Datei = MainMenu1->addMenu(tr("&File"));
  // Set while a recording runs; the window's short cut reaches it from every control.
  Marker1 = Datei->addAction(tr("&Marker"));
  Marker1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
  Marker1->setShortcutContext(Qt::WindowShortcut);
  Marker1->setEnabled(false);
  setHelpContext(Marker1, 16);
  Datei->addSeparator();
  Beenden1 = Datei->addAction(tr("&Quit"));
  eee = MainMenu1->addMenu(tr("&Options"));
  Sichern1 = eee->addAction(tr("&Advanced..."));
  setHelpContext(Sichern1, 8);
  Sichern2 = eee->addAction(tr("Save"));
  Sichern2->setShortcut(QKeySequence(Qt::Key_F2));
  setHelpContext(Sichern2, 9);
  Uninstall1 = eee->addAction(tr("Uninstall"));
  setHelpContext(Uninstall1, 14);
  // What the files of the next recordings carry beyond the plain WAV; checked as the
  // settings say (they are saved with "Save").
  eee->addSeparator();
  Broadcast1 = eee->addAction(tr("Broadcast Wave (bext)"));
  Broadcast1->setCheckable(true);
  setHelpContext(Broadcast1, 16);
  RF641 = eee->addAction(tr("One file past 4 GiB (RF64)"));
  RF641->setCheckable(true);
  setHelpContext(RF641, 16);
  Ansicht = MainMenu1->addMenu(tr("&View"));
  Uebersicht1 = Ansicht->addAction(tr("Take &overview"));
  Uebersicht1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
  setHelpContext(Uebersicht1, TakeOverviewWindow::kHelpContext);
  ddd = MainMenu1->addMenu(tr("&Help"));
  Index1 = ddd->addAction(tr("&Index"));
  ber1 = ddd->addAction(tr("&About"));
  // The help key inside an open menu opens the topic of the highlighted item.
  for (QMenu* menu : {Datei, eee, Ansicht, ddd}) menu->installEventFilter(this);

  // The help key anywhere in the window opens the topic of the focused control.
  auto* help = new QAction(this);
  help->setShortcut(QKeySequence(Qt::Key_F1));
  help->setShortcutContext(Qt::WindowShortcut);
  addAction(help);
  connect(help, &QAction::triggered, this, [this] { runGuarded([this] { showHelpFor(focusWidget()); }); });
}

void TForm1::connectHandlers() {
  // Every handler runs guarded: an error it throws ends its command in the general
  // error box and never travels through Qt's signal code.
  const auto on = [this](auto* sender, auto signal, void (TForm1::*handler)(QObject*)) {
    connect(sender, signal, this, [this, sender, handler] { runGuarded([&] { (this->*handler)(sender); }); });
  };
  on(Beenden1, &QAction::triggered, &TForm1::Beenden1Click);
  on(Marker1, &QAction::triggered, &TForm1::Marker1Click);
  on(Broadcast1, &QAction::triggered, &TForm1::archiveOptionClick);
  on(RF641, &QAction::triggered, &TForm1::archiveOptionClick);
  on(Sichern1, &QAction::triggered, &TForm1::Sichern1Click);
  on(Sichern2, &QAction::triggered, &TForm1::Sichern2Click);
  on(Uninstall1, &QAction::triggered, &TForm1::Uninstall1Click);
  on(Index1, &QAction::triggered, &TForm1::Index1Click);
  on(ber1, &QAction::triggered, &TForm1::ber1Click);
  on(Uebersicht1, &QAction::triggered, &TForm1::Uebersicht1Click);
  // A click on the run's summary in the status line opens the take overview.
  StatusBar1->OnItemClick = guarded<StatusLine::Item>([this](StatusLine::Item item) {
    if (item == StatusLine::Summary) Uebersicht1Click(StatusBar1);
  });

  on(ComboBox1, &QComboBox::activated, &TForm1::ComboBox1Change);
  on(ComboBox2, &QComboBox::activated, &TForm1::ComboBox2Change);
  on(ComboBox3, &QComboBox::activated, &TForm1::ComboBox3Change);

  const auto onClick = [this](TLabel* label, void (TForm1::*handler)(QObject*)) {
    label->OnClick = guarded<QObject*>([this, handler](QObject* sender) { (this->*handler)(sender); });
  };
  onClick(Label3, &TForm1::Label3Click);
  onClick(Label4, &TForm1::Label4Click);
  onClick(Label5, &TForm1::Label5Click);
  onClick(Label6, &TForm1::Label6Click);
  onClick(Label7, &TForm1::Label7Click);
  onClick(Label11, &TForm1::Label11Click);

  on(TrackBar1, &QSlider::valueChanged, &TForm1::TrackBar1Change);
  on(TrackBar2, &QSlider::valueChanged, &TForm1::TrackBar2Change);
  on(TrackBar3, &QSlider::valueChanged, &TForm1::TrackBar3Change);
  on(TrackBar4, &QSlider::valueChanged, &TForm1::TrackBar4Change);
  on(TrackBar5, &QSlider::valueChanged, &TForm1::TrackBar5Change);

  on(BitBtn1, &QPushButton::clicked, &TForm1::BitBtn1Click);
  on(BitBtn2, &QPushButton::clicked, &TForm1::BitBtn2Click);
  on(BitBtn3, &QPushButton::clicked, &TForm1::BitBtn3Click);
  on(BitBtn4, &QPushButton::clicked, &TForm1::BitBtn4Click);

  // A radio button's click event follows every change that checks it.
  const auto onChecked = [this](QRadioButton* button, void (TForm1::*handler)(QObject*)) {
    connect(button, &QRadioButton::toggled, this, [this, button, handler](bool checked) {
      if (checked) runGuarded([&] { (this->*handler)(button); });
    });
  };
  onChecked(RadioButton1, &TForm1::RadioButton2Click);
  onChecked(RadioButton2, &TForm1::RadioButton2Click);
  onChecked(RadioButton3, &TForm1::RadioButton3Click);
  onChecked(RadioButton4, &TForm1::RadioButton4Click);
  onChecked(RadioButton5, &TForm1::RadioButton5Click);

  const auto onStep = [this](TUpDown* spin, void (TForm1::*handler)(QObject*, TUDBtnType)) {
    spin->OnClick = guarded<QObject*, TUDBtnType>(
        [this, handler](QObject* sender, TUDBtnType button) { (this->*handler)(sender, button); });
  };
  onStep(UpDown1, &TForm1::UpDown1Click);
  onStep(UpDown2, &TForm1::UpDown2Click);
  onStep(UpDown3, &TForm1::UpDown3Click);
  onStep(UpDown4, &TForm1::UpDown4Click);

  on(Timer1, &QTimer::timeout, &TForm1::Timer1Timer);
  on(Timer2, &QTimer::timeout, &TForm1::Timer2Timer);
  on(Timer3, &QTimer::timeout, &TForm1::Timer3Timer);
  on(Timer4, &QTimer::timeout, &TForm1::Timer4Timer);

  // The block and dropout events come on the service thread and only hand their counts
  // on; what the window does with them runs guarded on the window thread (blockhandover).
  Audio1->OnRecord = [this](TObject* sender, void* lp, void* rp, uint32_t size) { Audio1Record(sender, lp, rp, size); };
  Audio1->OnRecordStopped = guarded<TObject*>([this](TObject* sender) { Audio1RecordStopped(sender); });
  Audio1->OnDropout = [this](TObject* sender, uint32_t overruns, uint32_t framesLost) {
    Audio1Dropout(sender, overruns, framesLost);
  };
  Audio1->OnRecordFileChanged = guarded<TObject*, const std::string&>(
      [this](TObject* sender, const std::string& fileName) { Audio1RecordFileChanged(sender, fileName); });
  Audio2->OnMixerChange =
      guarded<TObject*, uint16_t, uint16_t>([this](TObject* sender, uint16_t destination, uint16_t source) {
        Audio2MixerChange(sender, destination, source);
      });
  // Devices that come or go reach the lists through whichever mixer is open.
  for (TAudio* audio : {Audio1.get(), Audio2.get()})
    audio->OnMixerLineChange = guarded<TObject*>([this](TObject*) { devicelists->changed(); });
}

void TForm1::FormCreate() {
  // No slider change is being handled.
  trackbusy = false;
  trackwhich = 0;

  // Hints on for the whole application.
  setShowHint(true);

  // The monitor button starts with the red ring: not monitoring.
  setMonitorTag(0);

  // The meter sources, level-control inputs and recording devices there are now.
  devicelists->fill();

  // The wave mapper is chosen until the stored settings say otherwise.
  ComboBox2->setCurrentIndex(0);
  Audio1->setAudioDeviceID(10);

  // The first level-control input is chosen and its volume read.
  if (ComboBox3->count() > 0) ComboBox3->setCurrentIndex(0);
  volumsel = volumfirst;
  if (volumsel != nullptr) {
    Audio2->setMixerDeviceID(volumsel->device);
    ComboBox3Change(this);
  }

  // The stored settings, then the three selections take effect.
  optionsladen();
  ComboBox1Change(this);
  ComboBox2Change(this);
  ComboBox3Change(this);

  // The start clock has not acted on any second yet.
  lasthour = 0;
  lastmin = 0;
  lastsec = 0;
}

void TForm1::FormDestroy() {
  // An open help window closes with the program.
  HelpSystem::instance().command(HELP_QUIT, 0);
}

void TForm1::Beenden1Click(QObject*) { close(); }

void TForm1::Index1Click(QObject*) { HelpSystem::instance().command(HELP_FINDER, 0); }

void TForm1::ber1Click(QObject*) {
  if (Form2 != nullptr) prompts().execDialog(*Form2);
}

void TForm1::Sichern1Click(QObject*) {
  // The dialog shows the format of the next run: the recorder's, or one chosen earlier
  // during a run and still waiting for the next start.
  recsetdlg1->channels = static_cast<TChannels>(recchannels);
  recsetdlg1->samplerate = recsamplerate;
  recsetdlg1->BitsPerSample = static_cast<TBPS>(recbits);
  recsetdlg1->max16 = limit16;
  recsetdlg1->max8 = limit8;
  recsetdlg1->pretrigger = pretrigger;
  recsetdlg1->HelpContext = 8;

  if (recsetdlg1->execute()) {
    recbits = static_cast<uint8_t>(recsetdlg1->BitsPerSample);
    recchannels = static_cast<uint8_t>(recsetdlg1->channels);
    recsamplerate = recsetdlg1->samplerate;
    limit16 = recsetdlg1->max16;
    limit8 = recsetdlg1->max8;
    pretrigger = recsetdlg1->pretrigger;
  }
  // The recorder's format changes only while it is closed; during a run the new format
  // reaches it at the next start. The limits apply from the next block.
  if (!formatHeldBack()) {
    TRecorder& recorder = *Audio1->Recorder();
    recorder.setBitsPerSample(static_cast<TBPS>(recbits));
    recorder.setChannels(static_cast<TChannels>(recchannels));
    recorder.setSampleRate(recsamplerate);
  }
}

void TForm1::Uebersicht1Click(QObject*) { takeoverview->show(); }

int32_t TForm1::devicefromindex(int32_t index) const { return index == 0 ? 10 : index - 1; }

void TForm1::showHelpFor(QWidget* control) {
  const int context = helpContextFor(control != nullptr ? control : this);
  HelpSystem::instance().command(HELP_CONTEXT, static_cast<uintptr_t>(context != 0 ? context : 1));
}

void TForm1::closeEvent(QCloseEvent* event) {
  QMainWindow::closeEvent(event);
  // Closing the main window ends the program, even while the help window is open.
  if (event->isAccepted()) QCoreApplication::quit();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1) {
    if (auto* menu = qobject_cast<QMenu*>(watched)) {
      const int context = helpContext(menu->activeAction());
      menu->close();
      HelpSystem::instance().command(HELP_CONTEXT, static_cast<uintptr_t>(context != 0 ? context : 1));
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}
