#include "base/secret.hpp"

#include <string.h>

namespace tolvane {

// explicit_bzero is memset that the compiler is not allowed to drop as a dead store. Like
// memset it wants a valid pointer even for no bytes, and an empty value may have none.
void wipeBytes(void *data, std::size_t size) noexcept {
  if (size != 0) {
    explicit_bzero(data, size);
  }
}

bool constantTimeEqual(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) noexcept {
  if (a.size() != b.size()) {
    return false;
  }
  // Every byte is read whatever came before it: the differences are gathered through a volatile,
  // which the optimiser may not turn into a loop that stops at the first one.
  volatile std::uint8_t differences = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    differences = static_cast<std::uint8_t>(differences | (a[i] ^ b[i]));
  }
  return differences == 0;
}

void blankText(Text &text, std::size_t from) noexcept {
  // Volatile stores are observable behaviour, so they survive dead-store elimination.
  volatile char16_t *p = text.data();
  for (std::size_t i = from; i < text.size(); ++i) {
    p[i] = u' ';
  }
}

} // namespace tolvane
