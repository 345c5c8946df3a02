#pragma once
// The cipher seam: a key of a known algorithm becomes a Cipher, which knows its block size and
// enciphers and deciphers single blocks. Code above this layer asks the seam and never names an
// engine. A Cipher owns its key schedule and wipes it when it is destroyed or rekeyed.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "aes/aes.hpp"
#include "des/des.hpp"

namespace tolvane {

enum class CipherAlgorithm : std::uint8_t {
  Tdes, // Triple-DES: 16 bytes K1||K2 (K1 = K2 is single DES) or 24 bytes K1||K2||K3
  Aes,  // AES-128, -192 or -256: 16, 24 or 32 bytes
};

class Cipher {
public:
  Cipher() = default; // no key yet: setKey before use
  Cipher(CipherAlgorithm algorithm, std::span<const std::uint8_t> key) { setKey(algorithm, key); }
  Cipher(const Cipher &) = delete;
  Cipher &operator=(const Cipher &) = delete;
  ~Cipher();

  // key: a length the algorithm takes (see CipherAlgorithm); anything else is a bug.
  void setKey(CipherAlgorithm algorithm, std::span<const std::uint8_t> key);
  // Wipes the schedule; setKey before the next use.
  void clear();

  CipherAlgorithm algorithm() const { return algorithm_; }
  // 8 for Triple-DES, 16 for AES.
  std::size_t blockSize() const;
  // One block of blockSize() bytes; in and out may be the same memory.
  void encrypt(const std::uint8_t *in, std::uint8_t *out) const;
  void decrypt(const std::uint8_t *in, std::uint8_t *out) const;

private:
  // Wipes the live schedule and ends its life.
  void endSchedule() noexcept;

  CipherAlgorithm algorithm_ = CipherAlgorithm::Tdes;
  // The member of algorithm_ is the live one.
  union Schedule {
    Schedule() : des{} {}
    Schedule(const Schedule &) = delete;
    Schedule &operator=(const Schedule &) = delete;
    ~Schedule() {} // Cipher ends the live member
    DesKeySchedule des;
    AesKeySchedule aes;
  } schedule_;
};

// The key check value, which names a key without revealing it. Triple-DES: the first three bytes
// of a zero block enciphered. AES: the first five bytes of the CMAC of one zero block (not of the
// empty message). Made with the CMAC, it is defined in check_value.cpp.
struct CheckValue {
  std::array<std::uint8_t, 5> bytes{};
  std::size_t size = 0;
};
CheckValue keyCheckValue(const Cipher &cipher);

} // namespace tolvane
