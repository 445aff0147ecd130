// The list of meter sources and the 25 ms meter polling.
#include "app/tessaron1.h"

void TForm1::meterlist(int32_t) {}
void TForm1::ComboBox1Change(QObject*) {}
void TForm1::Timer1Timer(QObject*) {}
