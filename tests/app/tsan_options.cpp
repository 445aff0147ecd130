// ThreadSanitizer settings of this test program: it reaches the PulseAudio server, and it
// paints. Qt paints and converts images on pooled threads and hands the work over inside
// Qt, where the sanitizer cannot see it, so the buffers, runnables and wait conditions
// created on the window thread look as if a pool thread used and freed them without an
// order between them.
#define TESSARON_EXTRA_TSAN_SUPPRESSIONS   \
  "called_from_lib:libQt6Gui.so.6\n"       \
  "race:QRunnable::create\n"               \
  "race:QThreadPoolPrivate::enqueueTask\n" \
  "race:QWaitCondition::~QWaitCondition\n"
#include "support/pulse_tsan_options.h"
