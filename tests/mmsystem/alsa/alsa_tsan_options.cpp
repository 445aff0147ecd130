// ThreadSanitizer settings of this test program (it reaches the PulseAudio server).
#include "support/pulse_tsan_options.h"
