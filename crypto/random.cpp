#include "crypto/random.hpp"

#include <array>

#include "base/secret.hpp"

namespace tolvane {

void randomNibbles(RandomSource &random, std::span<std::uint8_t> out, bool letters) {
  // A fill is public once the block is made, but not before: the pool is wiped all the same.
  Secret<std::array<std::uint8_t, 32>> pool;
  std::size_t used = pool->size();
  for (std::uint8_t &nibble : out) {
    for (;;) {
      if (used == pool->size()) {
        random.fill(*pool);
        used = 0;
      }
      const std::uint8_t byte = (*pool)[used++];
      if (!letters) {
        nibble = byte & 0x0F;
        break;
      }
      if (byte < 252) {
        nibble = static_cast<std::uint8_t>(10 + byte % 6);
        break;
      }
    }
  }
}

} // namespace tolvane
