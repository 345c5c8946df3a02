#include "pin/wipe.hpp"

namespace tolvane {

void wipeBytes(void *data, std::size_t size) noexcept {
  // Volatile stores are observable behaviour, so they survive dead-store elimination.
  auto *p = static_cast<volatile unsigned char *>(data);
  for (std::size_t i = 0; i < size; ++i) {
    p[i] = 0;
  }
}

void blankText(std::u16string &text, std::size_t from) noexcept {
  volatile char16_t *p = text.data();
  for (std::size_t i = from; i < text.size(); ++i) {
    p[i] = u' ';
  }
}

} // namespace tolvane
