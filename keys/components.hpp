#pragma once
// Key components, as keys are entered at a key ceremony: each custodian holds one, none of them
// says anything about the key, and the key is their XOR. And DES parity: each byte of a DES key
// has seven key bits and a parity bit (the lowest) that makes its count of ones odd.

#include <cstdint>
#include <span>

namespace tolvane {

// key ^= component, byte by byte; both the same length.
void addComponent(std::span<std::uint8_t> key, std::span<const std::uint8_t> component);

// Sets the parity bit of every byte so that it holds an odd number of ones. Returns whether any
// byte changed.
bool setOddParity(std::span<std::uint8_t> key);

} // namespace tolvane
