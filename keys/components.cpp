#include "keys/components.hpp"

#include <bit>
#include <cassert>

#include "base/digits.hpp"

namespace tolvane {

void addComponent(std::span<std::uint8_t> key, std::span<const std::uint8_t> component) {
  assert(key.size() == component.size());
  xorBlocks(key.data(), key.data(), component.data(), key.size());
}

bool setOddParity(std::span<std::uint8_t> key) {
  std::uint8_t changed = 0;
  for (std::uint8_t &byte : key) {
    // The seven high bits decide; the lowest is set when they hold an even number of ones.
    const auto odd = static_cast<std::uint8_t>(
        (byte & 0xFE) | ((std::popcount(static_cast<unsigned>(byte >> 1)) & 1) ^ 1));
    changed |= static_cast<std::uint8_t>(odd ^ byte);
    byte = odd;
  }
  return changed != 0;
}

} // namespace tolvane
