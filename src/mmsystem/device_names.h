// Names in the fixed fields of the service's records, the same for every driver.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>

namespace mmsystem {

// Copies `src` into a name field of `size` bytes, always terminated, never cutting a
// UTF-8 sequence in half.
inline void copyName(char* dst, size_t size, const std::string& src) {
  if (size == 0) return;
  size_t n = std::min(src.size(), size - 1);
  // Step back over continuation bytes so that no character is cut in half.
  if (n < src.size()) {
    while (n > 0 && (static_cast<unsigned char>(src[n]) & 0xC0) == 0x80) --n;
  }
  std::memcpy(dst, src.data(), n);
  std::memset(dst + n, 0, size - n);
}

}  // namespace mmsystem
