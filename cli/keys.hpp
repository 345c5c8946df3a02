#pragma once
// Turning the key options into key lists: one to three 8-byte DES keys back to back, K1 first.
// A list held by the command line is empty, 16 or 24 bytes: a single key is stored twice, so
// that the two-key schedule made from it is single DES under that key.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "cli/text.hpp"
#include "pin/secret.hpp"

namespace tolvane {

struct KeyBytes {
  std::array<std::uint8_t, 24> bytes;
  std::size_t size;

  std::span<const std::uint8_t> span() const { return {bytes.data(), size}; }
  bool empty() const { return size == 0; }
};

// Fixed storage, so a key is never moved and left behind in released memory.
using KeyList = Secret<KeyBytes>;

// hex: 16, 32 or 48 hex digits, already checked by the caller. Replaces the whole content.
void keyFromHex(const Text &hex, KeyList &key);

// Reads the first 16 bytes of the named file; a file of exactly 8 bytes is one key, stored
// twice. Replaces the whole content.
// Throws excCL_MalformedParameter "could not open key file" or "KPV from file 16 or 8 bytes".
void keyFromFile(const Text &fileName, KeyList &key);

} // namespace tolvane
