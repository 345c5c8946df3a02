#pragma once
// Turning the key options into key lists: one to three 8-byte DES keys back to back, K1 first.
// A list held by the command line is empty, 16 or 24 bytes: a single key is stored twice, so
// that the two-key schedule made from it is single DES under that key.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "base/secret.hpp"
#include "base/text.hpp"

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

// Reads the first longest (16 or 24) bytes of the named file, raw key bytes: 8 bytes are one key,
// stored twice, 16 two keys, 24 three. Replaces the whole content. Throws
// excCL_MalformedParameter "could not open key file", or wrongLength for a file of another size.
void keyFromFile(const Text &fileName, KeyList &key, std::size_t longest,
                 const char16_t *wrongLength);

} // namespace tolvane
