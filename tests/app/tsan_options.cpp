// ThreadSanitizer settings for this test program, read by the sanitizer at start when it
// is built with TESSARON_TSAN; other builds do not define them.
//
// The PulseAudio client library and ALSA's pulse plugin are not instrumented: their
// threaded main loop synchronises through its own primitives, which the sanitizer cannot
// see, so their frees look like races. The same holds for the pooled threads Qt paints
// and converts images on: the work is handed over inside Qt, so the sanitizer sees the
// buffers, runnables and wait conditions created on the window thread being used and
// freed on a pool thread without an order between them. Tests run pactl, paplay and
// espeak-ng through QProcess while driver threads run; the child only execs, so forking
// is safe.
#if defined(__SANITIZE_THREAD__)

extern "C" const char* __tsan_default_suppressions() {
  return "called_from_lib:libpulse.so.0\n"
         "called_from_lib:libpulsecommon-16.1.so\n"
         "called_from_lib:libasound_module_pcm_pulse.so\n"
         "called_from_lib:libasound_module_ctl_pulse.so\n"
         "called_from_lib:libQt6Gui.so.6\n"
         "race:QRunnable::create\n"
         "race:QThreadPoolPrivate::enqueueTask\n"
         "race:QWaitCondition::~QWaitCondition\n";
}

extern "C" const char* __tsan_default_options() { return "die_after_fork=0"; }

#endif
