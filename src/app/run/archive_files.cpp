// What a recording's files keep beyond the samples: the markers set with "Marker" while
// it runs (cue points at the current position, counted on the status line and named in the
// summary), and the two archive options of the Options menu they are written with.
#include <QAction>

#include "app/run/status_line.h"
#include "app/tessaron1.h"

void TForm1::Marker1Click(QObject*) {
  if (!runrecord.active || !runrecord.recording()) return;
  const uint32_t markers = Audio1->Recorder()->AddMarker();
  if (markers == 0) return;  // the recorder has no file (it ended already)
  runrecord.markers = markers;
  StatusBar1->setItem(StatusLine::Markers, markerText(markers));
}

void TForm1::archiveOptionClick(QObject*) {
  fileoptions.broadcast = Broadcast1->isChecked();
  fileoptions.rf64 = RF641->isChecked();
}

void TForm1::showArchiveOptions() {
  Broadcast1->setChecked(fileoptions.broadcast);
  RF641->setChecked(fileoptions.rf64);
}
