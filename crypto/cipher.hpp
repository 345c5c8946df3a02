#pragma once
// The cipher seam: every block cipher the program runs is one row of a table of sizes and
// functions, and a Cipher is a key scheduled for one row. Code above this layer names an
// algorithm, or a family and a key length, and never an engine. A Cipher owns its schedule and
// wipes it when it is destroyed, cleared or given another key.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "aes/aes.hpp"
#include "des/des.hpp"

namespace tolvane {

// Ordered from the weakest to the strongest: a key may protect only keys that come before it
// or equal it (see strength below).
enum class CipherAlgorithm : std::uint8_t { Des, Tdes2, Tdes3, Aes128, Aes192, Aes256 };

// The kinds of key a key option takes: DES and Triple-DES share one kind, as they share the
// block size and a single DES key is a two-key Triple-DES key with equal halves.
enum class CipherFamily : std::uint8_t { Des, Aes };

// The schedule of any row, in storage the Cipher owns.
union CipherSchedule {
  CipherSchedule() {}
  CipherSchedule(const CipherSchedule &) = delete;
  CipherSchedule &operator=(const CipherSchedule &) = delete;
  ~CipherSchedule() {} // the row that made it ends its life

  SingleDesKeySchedule des;
  DesKeySchedule tdes;
  AesKeySchedule aes;
};

struct CipherEntry {
  CipherAlgorithm algorithm;
  CipherFamily family;
  std::u16string_view name; // as a payment engineer says it: "two-key Triple-DES"
  std::size_t keySize;      // bytes
  std::size_t blockSize;    // bytes: 8 or 16
  // Starts the schedule's life and fills it from keySize bytes of key.
  void (*schedule)(CipherSchedule &schedule, const std::uint8_t *key) noexcept;
  // One block; in and out may be the same memory.
  void (*encrypt)(const CipherSchedule &schedule, const std::uint8_t *in,
                  std::uint8_t *out) noexcept;
  void (*decrypt)(const CipherSchedule &schedule, const std::uint8_t *in,
                  std::uint8_t *out) noexcept;
  // Makes whatever decryption needs beyond encryption; null when the schedule serves both.
  void (*prepareDecryption)(CipherSchedule &schedule) noexcept;
  // Wipes the schedule and ends its life.
  void (*wipe)(CipherSchedule &schedule) noexcept;
};

const CipherEntry &cipherEntry(CipherAlgorithm algorithm);
// The row of the family for a key of keySize bytes: DES 8, 16 or 24; AES 16, 24 or 32.
std::optional<CipherAlgorithm> cipherAlgorithmFor(CipherFamily family, std::size_t keySize);

class Cipher {
public:
  Cipher() = default; // no key yet: setKey before use
  Cipher(CipherAlgorithm algorithm, std::span<const std::uint8_t> key) { setKey(algorithm, key); }
  Cipher(const Cipher &) = delete;
  Cipher &operator=(const Cipher &) = delete;
  ~Cipher() { clear(); }

  // key: exactly the row's key size; anything else is a bug.
  void setKey(CipherAlgorithm algorithm, std::span<const std::uint8_t> key);
  // Wipes the schedule; setKey before the next use.
  void clear() noexcept;

  bool empty() const { return entry_ == nullptr; }
  const CipherEntry &entry() const { return *entry_; }
  CipherAlgorithm algorithm() const { return entry_->algorithm; }
  CipherFamily family() const { return entry_->family; }
  std::size_t blockSize() const { return entry_->blockSize; }
  // One block of blockSize() bytes; in and out may be the same memory.
  void encrypt(const std::uint8_t *in, std::uint8_t *out) const {
    entry_->encrypt(schedule_, in, out);
  }
  void decrypt(const std::uint8_t *in, std::uint8_t *out) const;

private:
  const CipherEntry *entry_ = nullptr;
  // The decryption part of the schedule is made on the first decryption: most keys only ever
  // encrypt. Making it changes no result, hence mutable.
  mutable bool decryptionReady_ = false;
  mutable CipherSchedule schedule_;
};

// The key check value, which names a key without revealing it. DES family: the first three
// bytes of a zero block enciphered. AES: the first five bytes of the CMAC of one zero block (not
// of the empty message). Made with the CMAC, it is defined in check_value.cpp.
struct CheckValue {
  std::array<std::uint8_t, 5> bytes{};
  std::size_t size = 0;
};
CheckValue keyCheckValue(const Cipher &cipher);

} // namespace tolvane
