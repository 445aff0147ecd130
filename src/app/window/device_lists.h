// The main window's three lists of devices and lines: "LED-Meter" (ComboBox1), "Record
// Device" (ComboBox2) and "Level Control" (ComboBox3). They are filled when the window is
// created from the mixers and wave input devices there are, and filled again, keeping the
// chosen entries by their names, when a mixer reports that devices came or went (the sound
// server driver does; a sound card's driver never does). A run keeps its devices: a change
// during a run is followed when the run is over.
#pragma once

#include <QCoreApplication>
#include <QString>
#include <QTimer>

class QComboBox;
class TForm1;

// The item of `box` whose text is `name`: `preferred` when that item has it, else the
// first that has it; -1 when no item has it or `name` is empty.
int itemNamed(const QComboBox& box, const QString& name, int preferred);

class DeviceLists {
  Q_DECLARE_TR_FUNCTIONS(DeviceLists)

 public:
  explicit DeviceLists(TForm1& form);
  DeviceLists(const DeviceLists&) = delete;
  DeviceLists& operator=(const DeviceLists&) = delete;

  // Fills the empty lists from the devices there are now, as the window's creation does.
  void fill();
  // A mixer's lines changed: the lists follow at once while no run is active and no
  // prompt waits for an answer, else as soon as that is over.
  void changed();
  // A change waits to be followed.
  bool pending() const { return pending_; }

 private:
  // Nothing is using the lists' entries: no run, no armed start, no prompt, no filling.
  bool canFollow() const;
  // Empties the lists and fills them again, selecting the chosen entries by name; an
  // entry that is gone falls back to the first item and the status line says so.
  void follow();

  TForm1& form_;
  QTimer retry_;
  bool pending_ = false;
  bool filling_ = false;
};
