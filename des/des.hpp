#pragma once
// DES and two- or three-key Triple-DES (encrypt-decrypt-encrypt) on single 8-byte blocks.
//
// Bit order: byte 0 holds bits 1..8 of the standard's numbering, bit 1 being its most
// significant bit, so a block or key written as 16 hex digits (byte 0 first) reads exactly
// as published test vectors do. The low bit of every key byte is parity and never used.
//
// Nothing here allocates, fails or keeps state; a schedule may be shared read-only. The time
// taken tells nothing of the key or the data: no memory address and no branch depends on their
// bits, in the key schedule as in the rounds.

#include <array>
#include <cstdint>

namespace tolvane {

// One round key: the eight 6-bit S-box inputs, each in the low six bits of a byte. w0 holds the
// groups for S-boxes 2, 4, 6, 8, most significant byte first; w1 those for S-boxes 1, 3, 5, 7
// the same way, then rotated left by four bits, which lines them up with the half they meet.
// The top two bits of every byte are zero.
struct RoundKey {
  std::uint32_t w0;
  std::uint32_t w1;
};

// Round keys 0..47 are the whole encryption sequence (E K1, D K2, E K3) and 48..95 the
// whole decryption sequence (D K3, E K2, D K1), so both directions cost the same.
using DesKeySchedule = std::array<RoundKey, 96>;

// One DES key: round keys 0..15 encrypt, 16..31 decrypt.
using SingleDesKeySchedule = std::array<RoundKey, 32>;

// key: 8 bytes, one DES key.
void makeSingleKeySchedule(SingleDesKeySchedule &schedule, const std::uint8_t *key);
// key: 16 bytes K1||K2; K3 = K1.
void makeDoubleKeySchedule(DesKeySchedule &schedule, const std::uint8_t *key);
// key: 24 bytes K1||K2||K3.
void makeTripleKeySchedule(DesKeySchedule &schedule, const std::uint8_t *key);

// out = E_K3(D_K2(E_K1(in))). in and out are 8 bytes and may be the same memory.
void encryptBlock(const DesKeySchedule &schedule, const std::uint8_t *in, std::uint8_t *out);
// out = D_K1(E_K2(D_K3(in))). in and out are 8 bytes and may be the same memory.
void decryptBlock(const DesKeySchedule &schedule, const std::uint8_t *in, std::uint8_t *out);

// Single DES under one key. in and out are 8 bytes and may be the same memory.
void encryptBlock(const SingleDesKeySchedule &schedule, const std::uint8_t *in, std::uint8_t *out);
void decryptBlock(const SingleDesKeySchedule &schedule, const std::uint8_t *in, std::uint8_t *out);

// The engines behind the functions above. Both make the same schedules, and neither indexes
// memory or branches by key or data bits. The functions above take desAvx2() where there is one,
// else desPortable; tests and benchmarks can run each.
struct DesImplementation {
  const char *name;
  // Round keys 1 to 16 of one 8-byte DES key into roundKeys[0..15].
  void (*expandKey)(RoundKey *roundKeys, const std::uint8_t *key) noexcept;
  // One DES operation over roundKeys[0..15] (reversed keys decrypt).
  void (*single)(const RoundKey *roundKeys, const std::uint8_t *in, std::uint8_t *out) noexcept;
  // Three DES operations over roundKeys[0..47], as encryptBlock and decryptBlock run them.
  void (*triple)(const RoundKey *roundKeys, const std::uint8_t *in, std::uint8_t *out) noexcept;
};

// Runs on every processor.
extern const DesImplementation desPortable;
// The AVX2 engine; null when this build leaves it out or the processor lacks AVX2, as the C
// library recorded while starting the program.
const DesImplementation *desAvx2() noexcept;
// desAvx2() where there is one, else desPortable.
const DesImplementation &desPreferred() noexcept;

} // namespace tolvane
