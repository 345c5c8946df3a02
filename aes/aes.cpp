#include "aes/aes.hpp"

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

void encryptBlock(const AesKeySchedule &schedule, const std::uint8_t *in,
                  std::uint8_t *out) noexcept {
  schedule.implementation->encrypt(schedule, in, out);
}

void decryptBlock(const AesKeySchedule &schedule, const std::uint8_t *in,
                  std::uint8_t *out) noexcept {
  schedule.implementation->decrypt(schedule, in, out);
}

} // namespace tolvane
