// Recording length and timed start: the spin buttons and the start clock.
#include "app/tessaron1.h"

void TForm1::UpDown1Click(QObject*, TUDBtnType) {}
void TForm1::UpDown2Click(QObject*, TUDBtnType) {}
void TForm1::UpDown3Click(QObject*, TUDBtnType) {}
void TForm1::UpDown4Click(QObject*, TUDBtnType) {}
void TForm1::Timer4Timer(QObject*) {}
