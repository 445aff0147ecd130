// Accessible names of the main window's controls and the order the Tab key walks them in.
#include "app/window/accessibility.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QRadioButton>
#include <QSlider>

#include "app/tessaron1.h"

namespace {

// Tab and Backtab enter a group of radio buttons at the one that is checked (the toolkit
// would stop at the first of the group); the arrow keys move on from there.
class CheckedRadioFirst : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::FocusIn) return false;
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    auto* button = static_cast<QRadioButton*>(watched);
    if ((reason != Qt::TabFocusReason && reason != Qt::BacktabFocusReason) || button->isChecked()) return false;
    for (QRadioButton* sibling : button->parentWidget()->findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly)) {
      if (sibling->isChecked() && sibling->isEnabled()) {
        sibling->setFocus(reason);
        break;
      }
    }
    return false;
  }
};

}  // namespace

QString withoutAccelerators(const QString& caption) {
  // "&" marks the accelerator's letter, "&&" stands for a plain "&".
  QString plain;
  for (qsizetype i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&' && i + 1 < caption.size()) ++i;
    plain += caption[i];
  }
  return plain;
}

void labelFor(QLabel* label, QWidget* field) {
  label->setBuddy(field);
  field->setAccessibleName(withoutAccelerators(label->text()));
}

void TForm1::nameControls() {
  labelFor(Label3, ComboBox1);
  labelFor(Label4, ComboBox2);
  labelFor(Label5, ComboBox3);

  // Controls without a caption are named by what they show or change.
  LEDMeter3->setAccessibleName(tr("Recording lamp"));
  LEDMeter1->setAccessibleName(tr("Left level"));
  LEDMeter2->setAccessibleName(tr("Right level"));
  Label1->setAccessibleName(tr("Left clips"));
  Label12->setAccessibleName(tr("Right clips"));
  TrackBar3->setAccessibleName(tr("Trigger level"));
  TrackBar1->setAccessibleName(tr("Record level left"));
  TrackBar2->setAccessibleName(tr("Record level right"));
  TrackBar5->setAccessibleName(tr("Record level"));
  TrackBar4->setAccessibleName(tr("Balance"));
  BitBtn2->setAccessibleName(tr("Select filename"));
  BitBtn4->setAccessibleName(tr("Monitor input"));
  BitBtn1->setAccessibleName(tr("Start recording"));
  BitBtn3->setAccessibleName(tr("Stop recording"));
  LEDDisplay1->setAccessibleName(tr("Elapsed time"));
  LEDDisplay2->setAccessibleName(tr("Length"));
  LEDDisplay3->setAccessibleName(tr("Start time"));
  UpDown2->setAccessibleName(tr("Length minutes"));
  UpDown1->setAccessibleName(tr("Length seconds"));
  UpDown4->setAccessibleName(tr("Start hour"));
  UpDown3->setAccessibleName(tr("Start minute"));
}

void TForm1::orderTabs() {
  // As the window reads: the three lists along the top; in the panel the trigger column,
  // the level sliders with the balance under them, the four buttons, the two mode groups,
  // and the length and start time along the bottom. Hidden sliders are passed over.
  QWidget* const order[] = {
      ComboBox1,    ComboBox2,    ComboBox3, TrackBar3, CheckBox1, TrackBar1,    TrackBar2,    TrackBar5,
      TrackBar4,    BitBtn2,      BitBtn4,   BitBtn1,   BitBtn3,   RadioButton1, RadioButton2, RadioButton3,
      RadioButton4, RadioButton5, UpDown2,   UpDown1,   CheckBox2, UpDown4,      UpDown3,
  };
  for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
  auto* checkedFirst = new CheckedRadioFirst(this);
  for (QRadioButton* button : {RadioButton1, RadioButton2, RadioButton3, RadioButton4, RadioButton5})
    button->installEventFilter(checkedFirst);
}
