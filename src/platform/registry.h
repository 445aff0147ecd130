// Per-user typed key/value store with registry semantics.
#pragma once
