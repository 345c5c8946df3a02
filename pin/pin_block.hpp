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
  std::u16string_view name; // as -format takes it: "0"
  std::size_t blockSize;    // 8 or 16
  CipherFamily keyFamily;   // the keys the block is enciphered under
  bool clearForm;           // the block may also be used in the clear, under no key
  bool bindsPan;            // the PAN is bound into the block
  std::size_t longestPan;   // the whole PAN is in the block: at most this many digits; 0: any PAN
  std::size_t maxPinLength; // PINs of 4 to this many digits
  bool translatable;        // a PIN may be moved into or out of a block of this format
  // Makes the block of pin (4..maxPinLength digits) and pan under key (null: in the clear,
  // only for a format with a clear form). Any fill the format draws comes from random.
  void (*make)(PinBlock &out, std::u16string_view pin, std::u16string_view pan, const Cipher *key,
               RandomSource &random);
  // Takes a block of blockSize bytes apart and appends its PIN to pin. Throws excProblem
  // "PIN Sanity; format", "PIN Sanity; length", "PIN Sanity; padding" or "PIN Sanity; digits",
  // checked in that order.
  void (*decode)(const PinBlock &block, std::u16string_view pan, const Cipher *key, Text &pin);
};

// Every format, in the order of their numbers.
std::span<const PinBlockFormat *const> pinBlockFormats();
// The format of that number, or null.
const PinBlockFormat *findPinBlockFormat(int number);

// Whether a PIN may be moved from a block of one format into a block of another, as an HSM
// allows it: both formats translatable, and never from a format that binds the PAN into one
// that does not, which would strip the PAN from the PIN.
bool mayTranslate(const PinBlockFormat &from, const PinBlockFormat &to);

// What refuses the key a translation makes its block under. A PIN never goes to a single-DES key
// (8 bytes, or Triple-DES parts that repeat) unless it came under one, as in a legacy test setup,
// nor to a key with a weak or semi-weak DES part. AES to Triple-DES and three-key to two-key stay
// allowed: networks migrating to AES translate between them every day. No key: in the clear.
enum class TranslationKeyProblem : std::uint8_t { None, SingleDes, WeakDes };
TranslationKeyProblem translationKeyProblem(const Cipher *from,
                                            std::span<const std::uint8_t> fromKey, const Cipher *to,
                                            std::span<const std::uint8_t> toKey);

Secret<PinBlock> makePinBlock(const PinBlockFormat &format, std::u16string_view pin,
                              std::u16string_view pan, const Cipher *key, RandomSource &random);
Secret<Text> decodePinBlock(const PinBlockFormat &format, const PinBlock &block,
                            std::u16string_view pan, const Cipher *key);

} // namespace tolvane
