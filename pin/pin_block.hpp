#pragma once
// ISO 9564 PIN blocks: a PIN field (and, in some formats, a PAN field) enciphered under a PIN
// encryption key (KPE), or used in the clear. Each format is one file and one row of the
// format table; the commands find a format by its number and never look inside it.
//
// Nibble positions count from 0, nibble 0 being the high half of byte 0.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "base/secret.hpp"
#include "base/text.hpp"
#include "crypto/cipher.hpp"
#include "crypto/random.hpp"

namespace tolvane {

struct PinBlock {
  std::array<std::uint8_t, 16> bytes{};
  std::size_t size = 8; // 8, or 16 for a format of the AES block size

  std::span<std::uint8_t> span() { return {bytes.data(), size}; }
  std::span<const std::uint8_t> span() const { return {bytes.data(), size}; }
};

struct PinBlockFormat {
  int number;
  std::size_t blockSize;    // 8 (Triple-DES or in the clear), or 16 (AES only)
  bool usesPan;             // the PAN is bound into the block
  std::size_t maxPinLength; // PINs of 4 to this many digits
  // Makes the block of pin (4..maxPinLength digits) and pan under key (null: in the clear,
  // possible only for 8-byte formats). Any fill the format draws comes from random.
  void (*make)(PinBlock &out, std::u16string_view pin, std::u16string_view pan, const Cipher *key,
               RandomSource &random);
  // Takes a block of blockSize bytes apart and appends its PIN to pin. Throws excProblem
  // "PIN Sanity; format", "PIN Sanity; length", "PIN Sanity; padding" or "PIN Sanity; digits",
  // checked in that order.
  void (*decode)(const PinBlock &block, std::u16string_view pan, const Cipher *key, Text &pin);
};

// The format of that number, or null.
const PinBlockFormat *findPinBlockFormat(int number);

Secret<PinBlock> makePinBlock(const PinBlockFormat &format, std::u16string_view pin,
                              std::u16string_view pan, const Cipher *key, RandomSource &random);
Secret<Text> decodePinBlock(const PinBlockFormat &format, const PinBlock &block,
                            std::u16string_view pan, const Cipher *key);

} // namespace tolvane
