#pragma once
// AES on single 16-byte blocks with 16-, 24- or 32-byte keys (10, 12 or 14 rounds). Blocks and
// keys are bytes in the order test vectors print them. Nothing here allocates or throws; a key
// size other than 16, 24 or 32 is a bug.
//
// Two implementations share this interface: a bitsliced one that runs anywhere, in constant time
// (no table lookup or branch depends on the key or the data), and one with the processor's AES
// instructions. The program takes AES-NI when this build has it and the processor offers it, as
// the C library recorded while starting the program: nothing is probed at start-up.

#include <array>
#include <cstdint>
#include <span>

namespace tolvane {

struct AesImplementation;

// The round keys, in the form of the implementation that made them, which alone may use them.
// Filled by makeAesKeySchedule or an implementation's makeSchedule; wiped when destroyed. Some
// implementations need round keys of their own to decrypt, which they add only when asked to:
// see prepareAesDecryption.
struct AesKeySchedule {
  AesKeySchedule() = default;
  AesKeySchedule(const AesKeySchedule &) = delete;
  AesKeySchedule &operator=(const AesKeySchedule &) = delete;
  ~AesKeySchedule();

  alignas(16) std::array<std::uint32_t, 120> words{};
  std::uint32_t rounds = 0;
  bool decryptionReady = false; // the schedule serves decryptBlock
  const AesImplementation *implementation = nullptr;
};

struct AesImplementation {
  const char *name;
  // key: 16, 24 or 32 bytes. The schedule records this implementation, and whether it is ready
  // for decryption.
  void (*makeSchedule)(AesKeySchedule &schedule, std::span<const std::uint8_t> key) noexcept;
  // Makes a schedule this implementation made ready for decryption; see prepareAesDecryption.
  void (*prepareDecryption)(AesKeySchedule &schedule) noexcept;
  // Only with a schedule this implementation made; see encryptBlock and decryptBlock.
  void (*encrypt)(const AesKeySchedule &schedule, const std::uint8_t *in,
                  std::uint8_t *out) noexcept;
  void (*decrypt)(const AesKeySchedule &schedule, const std::uint8_t *in,
                  std::uint8_t *out) noexcept;
};

// Runs on every processor.
extern const AesImplementation aesBitsliced;
// Null when this build leaves AES-NI out or the processor lacks it.
const AesImplementation *aesNi() noexcept;
// aesNi() where there is one, else aesBitsliced.
const AesImplementation &aesPreferred() noexcept;

// The schedule of key (16, 24 or 32 bytes) for the preferred implementation. It may serve
// encryption alone.
void makeAesKeySchedule(AesKeySchedule &schedule, std::span<const std::uint8_t> key) noexcept;
// Adds to a schedule what decryption needs, unless it has it already: once per key, before the
// first decryptBlock. A key used only to encrypt is spared the work.
void prepareAesDecryption(AesKeySchedule &schedule) noexcept;
// One block of 16 bytes, by the implementation that made the schedule. in and out may be the
// same memory. Decryption wants a schedule prepared for it.
void encryptBlock(const AesKeySchedule &schedule, const std::uint8_t *in,
                  std::uint8_t *out) noexcept;
void decryptBlock(const AesKeySchedule &schedule, const std::uint8_t *in,
                  std::uint8_t *out) noexcept;

} // namespace tolvane
