#include "base/secret.hpp"

namespace tolvane {

void blankText(Text &text, std::size_t from) noexcept {
  // Volatile stores are observable behaviour, so they survive dead-store elimination.
  volatile char16_t *p = text.data();
  for (std::size_t i = from; i < text.size(); ++i) {
    p[i] = u' ';
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

} // namespace tolvane
