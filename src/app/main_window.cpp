// Creation, destruction, layout and menus of the main window.
#include "app/tessaron1.h"

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) { setWindowTitle("Tessaron"); }
