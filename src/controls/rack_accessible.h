// What the rack controls tell assistive technology: a meter is a progress bar whose
// value is its position on its scale and whose text reads like "Left level 63 %", a
// display is a label whose text is the digits it shows ("05:07"), the screw panel is a
// plain container.
#pragma once

// Lets the toolkit find the rack controls' accessible descriptions; each control calls
// it when it is created, the first call registers them.
void installRackAccessibility();
