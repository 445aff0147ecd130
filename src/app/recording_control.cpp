// The four picture buttons: choosing the file, monitoring, starting and stopping a run.
#include "app/tessaron1.h"

void TForm1::BitBtn1Click(QObject*) {}
void TForm1::BitBtn2Click(QObject*) {}
void TForm1::BitBtn3Click(QObject*) {}
void TForm1::BitBtn4Click(QObject*) {}
void TForm1::togglemonitor() {}
void TForm1::nach_klick() {}
