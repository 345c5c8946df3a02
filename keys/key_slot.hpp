#pragma once
// A key as a command holds it: its bytes, the Cipher made from them once, and its check value
// made once when first asked for, so that a batch whose requests name the same key again keeps
// them. An HMAC key has no cipher: its bytes, and the HmacKey made for the hash last asked for.
// A slot wipes its key and schedules when it is given another key or destroyed.
//
// A key may also come as a key block: the slot is sealed with the block when its word is read,
// and opened under the KBPK's slot once every word is known. It then keeps the block, which
// says what the key may be used for; a key given in the clear has none and no restriction
// beyond its role. A slot that holds a KBPK keeps the keys it derives for key blocks.

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>

#include "base/secret.hpp"
#include "crypto/cipher.hpp"
#include "crypto/hmac.hpp"
#include "keys/key_block.hpp"

namespace tolvane {

struct KeyBytes {
  std::array<std::uint8_t, kLongestHmacKey> bytes;
  std::size_t size;
};

// Key sizes as a set: bit i stands for a key of 8(i + 1) bytes (8, 16, 24, 32).
using KeySizes = std::uint8_t;
constexpr KeySizes keySizes(std::initializer_list<std::size_t> bytes) {
  KeySizes set = 0;
  for (const std::size_t size : bytes) {
    set = static_cast<KeySizes>(set | (1u << (size / 8 - 1)));
  }
  return set;
}
constexpr bool holds(KeySizes set, std::size_t bytes) {
  return bytes % 8 == 0 && bytes >= 8 && bytes <= 32 &&
         ((static_cast<unsigned>(set) >> (bytes / 8 - 1)) & 1u) != 0;
}

// The sizes a role takes of each family, how much of a longer key it keeps (0: all), and
// whether it takes an HMAC key.
struct KeyFit {
  KeySizes des = 0;
  KeySizes aes = 0;
  std::size_t keep = 0;
  bool hmac = false;
};

class KeySlot {
public:
  KeySlot() = default;
  KeySlot(const KeySlot &) = delete;
  KeySlot &operator=(const KeySlot &) = delete;

  bool empty() const { return material_->size == 0; }
  std::span<const std::uint8_t> bytes() const { return {material_->bytes.data(), material_->size}; }
  bool isHmac() const { return hmac_; }
  // Only for a slot that holds a cipher key.
  CipherAlgorithm algorithm() const { return cipher_.algorithm(); }
  CipherFamily family() const { return cipher_.family(); }
  const Cipher &cipher() const { return cipher_; }
  const CheckValue &checkValue() const;
  // The block the key came from, or null for a key given in the clear.
  const KeyBlock *block() const { return block_.empty() ? nullptr : &block_; }
  // Single DES under the first 8 bytes, made on first use: the chain of the retail MAC. Only for
  // a DES-family key.
  const Cipher &leftDes() const;
  // Only for an HMAC key: the key made ready for hash, kept while the same hash is asked for.
  const HmacKey &hmacKey(const HashAlgorithm &hash) const;

  // key: a length the family takes (DES 8, 16 or 24; AES 16, 24 or 32). The cipher is kept when
  // the slot already holds this very key.
  void assign(CipherFamily family, std::span<const std::uint8_t> key);
  // A checked block (readKeyBlock), to be opened. The key is kept when the slot holds this very
  // block, opened: open() then only checks that the KBPK is the same.
  void seal(KeyBlock block);
  bool sealed() const { return !block_.empty() && openedUnder_ == 0; }
  // Opens the sealed block under kbpk, a slot holding a key. KeyNotTaken when the key is of a
  // kind fit does not take; found then names it (HmacKeyNotTaken for an HMAC key).
  KeyBlockProblem open(const KeySlot &kbpk, KeyFit fit, CipherAlgorithm &found);
  // key: 1 to kLongestHmacKey bytes.
  void assignHmac(std::span<const std::uint8_t> key);
  // Forgets the key, wiping it and its schedules.
  void clear();

  // Of a slot holding a KBPK: the keys it protects blocks of version with, derived once.
  const KeyBlockKeys &blockKeys(char16_t version) const;

private:
  void setKey(CipherFamily family, std::span<const std::uint8_t> key);
  void setHmac(std::span<const std::uint8_t> key);
  // Holds key as the slot's material, forgetting everything made from the one before.
  void take(std::span<const std::uint8_t> key, bool hmac);

  Secret<KeyBytes> material_;
  bool hmac_ = false;
  Cipher cipher_;
  mutable CheckValue checkValue_;
  std::uint64_t stamp_ = 0; // names the key held: a new one for each new key, 0 for none
  KeyBlock block_;
  std::uint64_t openedUnder_ = 0; // the stamp of the KBPK block_ was opened under
  mutable KeyBlockKeys blockKeys_;
  mutable Cipher left_;
  mutable std::optional<HmacKey> hmacKey_;
  mutable const HashAlgorithm *hmacHash_ = nullptr;
};

} // namespace tolvane
