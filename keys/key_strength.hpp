#pragma once
// What makes a DES-family key weaker than it looks. The parity bits (the low bit of every byte)
// never enter DES, so every test here ignores them, and every comparison takes the same time
// whatever the key holds.

#include <cstdint>
#include <span>

namespace tolvane {

// Whether a key of 8, 16 or 24 bytes enciphers as single DES: one key, or two neighbouring
// parts equal (K||K; K||K||K, K||K||K' and K'||K||K, since E(K) D(K) cancel).
bool isSingleDesInEffect(std::span<const std::uint8_t> key);

// Whether any 8-byte part of the key is one of the four weak or twelve semi-weak DES keys, whose
// encryption is its own inverse or another weak key's: 0000000000000000 is weak.
bool hasWeakDesPart(std::span<const std::uint8_t> key);

} // namespace tolvane
