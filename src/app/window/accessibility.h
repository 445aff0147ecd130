// What a screen reader (through the desktop's accessibility bus) and a keyboard user need
// beyond the captions: names for the controls that have no caption of their own, and
// labels tied to the fields they name. Descriptions come from the hints (tool tips) by
// themselves.
#pragma once

#include <QString>

class QLabel;
class QWidget;

// `caption` as it reads: "Le&vel" -> "Level", "A && B" -> "A & B".
QString withoutAccelerators(const QString& caption);

// `label` names `field`: its caption, without the "&" of its accelerator, is the field's
// accessible name, and its accelerator puts the focus on the field.
void labelFor(QLabel* label, QWidget* field);
