#pragma once
// A key as a command holds it: its bytes, the Cipher made from them once, and its check value
// made once when first asked for, so that a batch whose requests name the same key again keeps
// them. An HMAC key has no cipher: its bytes, and the HmacKey made for the hash last asked for.
// A slot wipes its key and schedules when it is given another key or destroyed.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "base/secret.hpp"
#include "crypto/cipher.hpp"
#include "crypto/hmac.hpp"

namespace tolvane {

// The longest HMAC key: a longer one is hashed first anyway.
constexpr std::size_t kLongestHmacKey = 256;

struct KeyBytes {
  std::array<std::uint8_t, kLongestHmacKey> bytes;
  std::size_t size;
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
  // Single DES under the first 8 bytes, made on first use: the chain of the retail MAC. Only for
  // a DES-family key.
  const Cipher &leftDes() const;
  // Only for an HMAC key: the key made ready for hash, kept while the same hash is asked for.
  const HmacKey &hmacKey(const HashAlgorithm &hash) const;

  // key: a length the family takes (DES 8, 16 or 24; AES 16, 24 or 32). The cipher is kept when
  // the slot already holds this very key.
  void assign(CipherFamily family, std::span<const std::uint8_t> key);
  // key: 1 to kLongestHmacKey bytes.
  void assignHmac(std::span<const std::uint8_t> key);
  // Forgets the key, wiping it and its schedules.
  void clear();

private:
  // Whether the slot holds key already, of the same kind.
  bool holds(bool hmac, std::span<const std::uint8_t> key) const;
  void store(bool hmac, std::span<const std::uint8_t> key);

  Secret<KeyBytes> material_;
  bool hmac_ = false;
  Cipher cipher_;
  mutable CheckValue checkValue_;
  mutable Cipher left_;
  mutable std::optional<HmacKey> hmacKey_;
  mutable const HashAlgorithm *hmacHash_ = nullptr;
};

} // namespace tolvane
