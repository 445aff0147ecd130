// The faces of the picture buttons and the window icon, drawn as vector shapes so they
// stay crisp at every size and device pixel ratio. A disabled button shows its face in grey.
#pragma once

#include <QIcon>

enum class ButtonFace {
  RedRing,      // monitoring off: press to monitor
  BlackRing,    // monitoring on
  BlackDisc,    // start recording
  BlackSquare,  // stop recording
  FloppyDisk,   // choose the file name
};

QIcon buttonFace(ButtonFace face);

// The program's icon: a small rack plate with two LED bar meters and a red lamp.
QIcon tessaronIcon();
