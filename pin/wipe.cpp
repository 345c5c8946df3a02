#include "pin/wipe.hpp"

#include <string.h>

namespace tolvane {

// explicit_bzero is memset that the compiler is not allowed to drop as a dead store.
void wipeBytes(void *data, std::size_t size) noexcept { explicit_bzero(data, size); }

void blankText(std::u16string &text, std::size_t from) noexcept {
  // Volatile stores are observable behaviour, so they survive dead-store elimination.
  volatile char16_t *p = text.data();
  for (std::size_t i = from; i < text.size(); ++i) {
    p[i] = u' ';
  }
}

} // namespace tolvane
