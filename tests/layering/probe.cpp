// A source of a library that includes PROBE_HEADER; tests/layering/CMakeLists.txt says
// which library and which header, and that it must not compile.
#include PROBE_HEADER
