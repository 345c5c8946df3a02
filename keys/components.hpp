#pragma once
// Key components, as keys are entered at a key ceremony: each custodian holds one, none of them
// says anything about the key, and the key is their XOR. A DES key made of them is then given
// odd parity (keys/parity.hpp).

#include <cstdint>
#include <span>

namespace tolvane {

// key ^= component, byte by byte; both the same length.
void addComponent(std::span<std::uint8_t> key, std::span<const std::uint8_t> component);

} // namespace tolvane
