#include "keys/parity.hpp"

namespace tolvane {

bool setOddParity(std::span<std::uint8_t> key) noexcept {
  unsigned changed = 0;
  for (std::uint8_t &byte : key) {
    // Folding the seven key bits onto bit 0 leaves their parity there: odd parity wants the
    // parity bit to be its complement.
    unsigned folded = byte >> 1u;
    folded ^= folded >> 4u;
    folded ^= folded >> 2u;
    folded ^= folded >> 1u;
    const auto odd = static_cast<std::uint8_t>((byte & 0xFEu) | (~folded & 1u));
    changed |= static_cast<unsigned>(odd ^ byte);
    byte = odd;
  }
  return changed != 0;
}

} // namespace tolvane
