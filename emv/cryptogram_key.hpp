#pragma once
// A two-key Triple-DES key as the cryptograms use it: its bytes, its cipher, and the single-DES
// cipher of its left half on which the retail MAC chains. Each is scheduled once, the left half
// only when a MAC first asks for it (a card master key that only derives session keys never
// does). Everything is wiped when the key is destroyed.

#include <span>

#include "base/secret.hpp"
#include "crypto/cipher.hpp"
#include "emv/card_key.hpp"

namespace tolvane {

class CryptogramKey {
public:
  explicit CryptogramKey(const DoubleDesKey &key);
  CryptogramKey(const CryptogramKey &) = delete;
  CryptogramKey &operator=(const CryptogramKey &) = delete;
  ~CryptogramKey() = default;

  const DoubleDesKey &bytes() const { return *key_; }
  // K || K' as two-key Triple-DES.
  const Cipher &whole() const { return whole_; }
  // K alone, single DES.
  const Cipher &left() const;

private:
  Secret<DoubleDesKey> key_;
  Cipher whole_;
  mutable Cipher left_; // made on first use, which changes no result
};

} // namespace tolvane
