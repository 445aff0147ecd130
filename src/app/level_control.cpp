// Automatic level control and the trigger slider.
#include "app/tessaron1.h"

void TForm1::RadioButton3Click(QObject*) {}
void TForm1::RadioButton4Click(QObject*) {}
void TForm1::RadioButton5Click(QObject*) {}
void TForm1::VUKup() {}
void TForm1::levelControlTick() {}
void TForm1::Timer2Timer(QObject*) {}
void TForm1::Timer3Timer(QObject*) {}
void TForm1::TrackBar3Change(QObject*) {}
