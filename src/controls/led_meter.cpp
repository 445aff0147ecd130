// LED bar meter.
#include "controls/RackCtls.h"
