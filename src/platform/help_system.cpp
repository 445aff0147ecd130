// The help viewer for the program's help file.
#include "platform/help_system.h"
