// Per-user typed key/value store with registry semantics.
#include "platform/registry.h"
