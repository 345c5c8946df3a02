#pragma once
// DES key parity. DES reads seven bits of each key byte; the low bit is the parity bit, set so
// that every byte holds an odd number of ones. The engine ignores it, so parity changes no result
// of any cipher, only how a key is written out: a key derived by enciphering comes out with
// random parity bits and is stored, exchanged and printed with odd parity.

#include <cstdint>
#include <span>

namespace tolvane {

// Sets the low bit of every byte of key so that the byte has odd parity, and returns whether
// any byte changed. Neither a branch nor a table lookup depends on the key's bits.
bool setOddParity(std::span<std::uint8_t> key) noexcept;

} // namespace tolvane
