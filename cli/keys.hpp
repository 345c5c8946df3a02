#pragma once
// Keys as the options give them. Each key lives in a KeySlot, which builds its cipher and check
// value once: a batch whose requests name the same key again keeps them, and a slot wipes its
// key and schedule when it is given another key or destroyed.
//
// A Triple-DES key of 8 bytes (one DES key) is stored twice over, as 16 bytes, so that the
// two-key cipher made from it is single DES under that key.

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>

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
  CipherAlgorithm algorithm() const { return cipher_.algorithm(); }
  std::span<const std::uint8_t> bytes() const { return {material_->bytes.data(), material_->size}; }
  // Only for a slot that is not empty.
  const Cipher &cipher() const { return cipher_; }
  const CheckValue &checkValue() const;

  // key: a length the algorithm takes, 8 for one DES key included. The cipher is kept when the
  // slot already holds this very key.
  void assign(CipherAlgorithm algorithm, std::span<const std::uint8_t> key);
  // Forgets the key, wiping it and its schedule.
  void clear();

private:
  Secret<KeyBytes> material_;
  Cipher cipher_;
  mutable CheckValue checkValue_;
};

// The slots a command line (or a batch's requests) fill, one per kind of key.
struct KeyStore {
  KeySlot kpv;   // only K1||K2: the third key of a 48-digit KPV is never used
  KeySlot kpe;   // Triple-DES or AES
  KeySlot toKpe; // the same, for the block -translate makes
  KeySlot cvk;   // key A then key B
  KeySlot bdk;   // Triple-DES or AES: the base derivation key of DUKPT

  void clear() {
    kpv.clear();
    kpe.clear();
    toKpe.clear();
    cvk.clear();
    bdk.clear();
  }
};

// hex: checked hex digits, two per byte. At most keep bytes of it are used.
void keyFromHex(KeySlot &slot, CipherAlgorithm algorithm, std::u16string_view hex,
                std::size_t keep = 32);

// Reads at most readLimit raw key bytes from the start of the named file and takes them when
// their count is one of sizes (8 being one DES key); a file longer than readLimit gives its
// first readLimit bytes. Throws excCL_MalformedParameter "could not open key file", or
// wrongLength for a count not in sizes.
// In a batch (inBatch) the batch's own standard input is refused (see readFilePrefix).
void keyFromFile(KeySlot &slot, CipherAlgorithm algorithm, std::u16string_view fileName,
                 std::size_t readLimit, std::initializer_list<std::size_t> sizes,
                 const char16_t *wrongLength, bool inBatch);

} // namespace tolvane
