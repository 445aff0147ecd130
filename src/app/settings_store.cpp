// Loading, saving and removing the stored settings.
#include "app/tessaron1.h"

void TForm1::optionsladen() {}
void TForm1::Sichern2Click(QObject*) {}
void TForm1::Uninstall1Click(QObject*) {}
