// ThreadSanitizer settings for a test program that reaches the PulseAudio server, read
// by the sanitizer at start when it is built with TESSARON_TSAN (otherwise these
// functions are never called). Include it in exactly one source file of the program.
//
// The PulseAudio client library and ALSA's pulse plugin are not instrumented: their
// threaded main loop synchronises through its own primitives, which the sanitizer
// cannot see, so their frees look like races. The tests run pactl, paplay and sox
// through QProcess while driver threads run; the child only execs, so forking is safe.
#pragma once

// A program with further uninstrumented libraries defines TESSARON_EXTRA_TSAN_SUPPRESSIONS
// (suppression lines, each ending in a line feed) before including this file.
#ifndef TESSARON_EXTRA_TSAN_SUPPRESSIONS
#define TESSARON_EXTRA_TSAN_SUPPRESSIONS ""
#endif

extern "C" const char* __tsan_default_suppressions() {
  return "called_from_lib:libpulse.so.0\n"
         "called_from_lib:libpulsecommon-16.1.so\n"
         "called_from_lib:libasound_module_pcm_pulse.so\n"
         "called_from_lib:libasound_module_ctl_pulse.so\n" TESSARON_EXTRA_TSAN_SUPPRESSIONS;
}

extern "C" const char* __tsan_default_options() { return "die_after_fork=0"; }
