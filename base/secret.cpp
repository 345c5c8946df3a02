#include "base/secret.hpp"

namespace tolvane {

void blankText(Text &text, std::size_t from) noexcept {
  // Volatile stores are observable behaviour, so they survive dead-store elimination.
  volatile char16_t *p = text.data();
  for (std::size_t i = from; i < text.size(); ++i) {
    p[i] = u' ';
  }
}

} // namespace tolvane

namespace tolvane {

bool constantTimeEqual(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) noexcept {
  if (a.size() != b.size()) {
    return false;
  }
  unsigned difference = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    difference |= static_cast<unsigned>(a[i] ^ b[i]);
  }
  return difference == 0;
}

} // namespace tolvane
