#include "keys/components.hpp"

#include <cassert>

#include "base/digits.hpp"

namespace tolvane {

void addComponent(std::span<std::uint8_t> key, std::span<const std::uint8_t> component) {
  assert(key.size() == component.size());
  xorBlocks(key.data(), key.data(), component.data(), key.size());
}

} // namespace tolvane
