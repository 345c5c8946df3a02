#include "crypto/cipher.hpp"

#include <cassert>
#include <memory>

#include "base/secret.hpp"

namespace tolvane {

namespace {

// The functions of each row, over the member of the schedule that the row owns.

void scheduleDes(CipherSchedule &s, const std::uint8_t *key) noexcept {
  std::construct_at(&s.des);
  makeSingleKeySchedule(s.des, key);
}
void scheduleTdes2(CipherSchedule &s, const std::uint8_t *key) noexcept {
  std::construct_at(&s.tdes);
  makeDoubleKeySchedule(s.tdes, key);
}
void scheduleTdes3(CipherSchedule &s, const std::uint8_t *key) noexcept {
  std::construct_at(&s.tdes);
  makeTripleKeySchedule(s.tdes, key);
}
template <std::size_t KeySize>
void scheduleAes(CipherSchedule &s, const std::uint8_t *key) noexcept {
  std::construct_at(&s.aes);
  makeAesKeySchedule(s.aes, std::span(key, KeySize));
}

void encryptDes(const CipherSchedule &s, const std::uint8_t *in, std::uint8_t *out) noexcept {
  encryptBlock(s.des, in, out);
}
void decryptDes(const CipherSchedule &s, const std::uint8_t *in, std::uint8_t *out) noexcept {
  decryptBlock(s.des, in, out);
}
void encryptTdes(const CipherSchedule &s, const std::uint8_t *in, std::uint8_t *out) noexcept {
  encryptBlock(s.tdes, in, out);
}
void decryptTdes(const CipherSchedule &s, const std::uint8_t *in, std::uint8_t *out) noexcept {
  decryptBlock(s.tdes, in, out);
}
void encryptAes(const CipherSchedule &s, const std::uint8_t *in, std::uint8_t *out) noexcept {
  encryptBlock(s.aes, in, out);
}
void decryptAes(const CipherSchedule &s, const std::uint8_t *in, std::uint8_t *out) noexcept {
  decryptBlock(s.aes, in, out);
}

void prepareAes(CipherSchedule &s) noexcept { prepareAesDecryption(s.aes); }

void wipeDes(CipherSchedule &s) noexcept { wipe(s.des); }
void wipeTdes(CipherSchedule &s) noexcept { wipe(s.tdes); }
void wipeAes(CipherSchedule &s) noexcept { std::destroy_at(&s.aes); } // wipes itself

using A = CipherAlgorithm;
using F = CipherFamily;

// One row per algorithm, in the order of CipherAlgorithm.
constexpr CipherEntry kCiphers[] = {
    {A::Des, F::Des, u"single DES", 8, 8, scheduleDes, encryptDes, decryptDes, nullptr, wipeDes},
    {A::Tdes2, F::Des, u"two-key Triple-DES", 16, 8, scheduleTdes2, encryptTdes, decryptTdes,
     nullptr, wipeTdes},
    {A::Tdes3, F::Des, u"three-key Triple-DES", 24, 8, scheduleTdes3, encryptTdes, decryptTdes,
     nullptr, wipeTdes},
    {A::Aes128, F::Aes, u"AES-128", 16, 16, scheduleAes<16>, encryptAes, decryptAes, prepareAes,
     wipeAes},
    {A::Aes192, F::Aes, u"AES-192", 24, 16, scheduleAes<24>, encryptAes, decryptAes, prepareAes,
     wipeAes},
    {A::Aes256, F::Aes, u"AES-256", 32, 16, scheduleAes<32>, encryptAes, decryptAes, prepareAes,
     wipeAes},
};

constexpr bool rowsInOrder() {
  for (std::size_t i = 0; i < std::size(kCiphers); ++i) {
    if (static_cast<std::size_t>(kCiphers[i].algorithm) != i) {
      return false;
    }
  }
  return true;
}
static_assert(rowsInOrder(), "kCiphers is indexed by CipherAlgorithm");

} // namespace

const CipherEntry &cipherEntry(CipherAlgorithm algorithm) {
  return kCiphers[static_cast<std::size_t>(algorithm)];
}

std::optional<CipherAlgorithm> cipherAlgorithmFor(CipherFamily family, std::size_t keySize) {
  for (const CipherEntry &entry : kCiphers) {
    if (entry.family == family && entry.keySize == keySize) {
      return entry.algorithm;
    }
  }
  return std::nullopt;
}

void Cipher::setKey(CipherAlgorithm algorithm, std::span<const std::uint8_t> key) {
  clear();
  const CipherEntry &entry = cipherEntry(algorithm);
  assert(key.size() == entry.keySize);
  entry.schedule(schedule_, key.data());
  entry_ = &entry;
  decryptionReady_ = entry.prepareDecryption == nullptr;
}

void Cipher::clear() noexcept {
  if (entry_ != nullptr) {
    entry_->wipe(schedule_);
    entry_ = nullptr;
  }
}

void Cipher::decrypt(const std::uint8_t *in, std::uint8_t *out) const {
  if (!decryptionReady_) {
    entry_->prepareDecryption(schedule_);
    decryptionReady_ = true;
  }
  entry_->decrypt(schedule_, in, out);
}

} // namespace tolvane
