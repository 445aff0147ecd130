// The level-control inputs, the level and balance sliders and the labels' focus moves.
#include "app/tessaron1.h"

void TForm1::volumlist(int32_t) {}
void TForm1::ComboBox2Change(QObject*) {}
void TForm1::ComboBox3Change(QObject*) {}
void TForm1::changetrack() {}
void TForm1::trackchanged() {}
void TForm1::TrackBar1Change(QObject*) {}
void TForm1::TrackBar2Change(QObject*) {}
void TForm1::TrackBar4Change(QObject*) {}
void TForm1::TrackBar5Change(QObject*) {}
void TForm1::RadioButton2Click(QObject*) {}
void TForm1::Audio2MixerChange(TObject*, uint16_t, uint16_t) {}
void TForm1::Label3Click(QObject*) {}
void TForm1::Label4Click(QObject*) {}
void TForm1::Label5Click(QObject*) {}
void TForm1::Label6Click(QObject*) {}
void TForm1::Label7Click(QObject*) {}
void TForm1::Label11Click(QObject*) {}
