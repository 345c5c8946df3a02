#pragma once
// A key as a command holds it: its bytes, the Cipher made from them once, and its check value
// made once when first asked for, so that a batch whose requests name the same key again keeps
// them. A slot wipes its key and schedule when it is given another key or destroyed.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "base/secret.hpp"
#include "crypto/cipher.hpp"

namespace tolvane {

struct KeyBytes {
  std::array<std::uint8_t, 32> bytes;
  std::size_t size;
};

class KeySlot {
public:
  KeySlot() = default;
  KeySlot(const KeySlot &) = delete;
  KeySlot &operator=(const KeySlot &) = delete;

  bool empty() const { return material_->size == 0; }
  std::span<const std::uint8_t> bytes() const { return {material_->bytes.data(), material_->size}; }
  // Only for a slot that is not empty.
  CipherAlgorithm algorithm() const { return cipher_.algorithm(); }
  CipherFamily family() const { return cipher_.family(); }
  const Cipher &cipher() const { return cipher_; }
  const CheckValue &checkValue() const;

  // key: a length the family takes (DES 8, 16 or 24; AES 16, 24 or 32). The cipher is kept when
  // the slot already holds this very key.
  void assign(CipherFamily family, std::span<const std::uint8_t> key);
  // Forgets the key, wiping it and its schedule.
  void clear();

private:
  Secret<KeyBytes> material_;
  Cipher cipher_;
  mutable CheckValue checkValue_;
};

} // namespace tolvane
