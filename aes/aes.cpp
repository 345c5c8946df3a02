#include "aes/aes.hpp"

#include <cassert>

#include "base/secret.hpp"

namespace tolvane {

AesKeySchedule::~AesKeySchedule() { wipe(words); }

const AesImplementation &aesPreferred() noexcept {
  const AesImplementation *ni = aesNi();
  return ni != nullptr ? *ni : aesBitsliced;
}

void makeAesKeySchedule(AesKeySchedule &schedule, std::span<const std::uint8_t> key) noexcept {
  aesPreferred().makeSchedule(schedule, key);
}

void prepareAesDecryption(AesKeySchedule &schedule) noexcept {
  if (!schedule.decryptionReady) {
    schedule.implementation->prepareDecryption(schedule);
  }
}

void encryptBlock(const AesKeySchedule &schedule, const std::uint8_t *in,
                  std::uint8_t *out) noexcept {
  schedule.implementation->encrypt(schedule, in, out);
}

void decryptBlock(const AesKeySchedule &schedule, const std::uint8_t *in,
                  std::uint8_t *out) noexcept {
  assert(schedule.decryptionReady);
  schedule.implementation->decrypt(schedule, in, out);
}

} // namespace tolvane
