#include "des/des.hpp"

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "base/secret.hpp"
#include "des/des_layout.hpp"

// The portable engine, and the schedules that both engines share. An S-box output bit is its
// truth table shifted right by the six input bits; a shift by a register count takes the same
// time whatever the count, so the round looks nothing up.

namespace tolvane {
namespace {

using namespace deslayout;

// The round function f of the standard on a rotated half: three operations per output bit,
// which lands where P sends it.
[[gnu::always_inline]] inline std::uint32_t cipherFunction(std::uint32_t x, const RoundKey &key) {
  const std::uint32_t u = x ^ key.w0;
  const std::uint32_t v = std::rotr(x ^ key.w1, 4);
  std::uint32_t out = 0;
  for (std::size_t box = 0; box < 8; ++box) {
    // S-box box + 1: odd-numbered ones from v, even-numbered ones from u, byte box / 2.
    const unsigned input = ((box % 2 == 0 ? v : u) >> (24 - 8 * (box / 2))) & 63U;
    for (std::size_t q = 0; q < 4; ++q) {
      out |= static_cast<std::uint32_t>((sBoxTruthTables[box][q] >> input) & 1U)
             << outputPositions[box][q];
    }
  }
  return out;
}

[[gnu::always_inline]] inline std::uint64_t pc2Bits(std::uint64_t lane, const Pc2Group &group) {
  return (group.shift >= 0 ? lane << group.shift : lane >> -group.shift) & group.mask;
}

// One group for all sixteen round keys: a loop the compiler can run on vectors.
[[gnu::always_inline]] inline void addPc2Group(std::array<std::uint64_t, 16> &keys,
                                               const std::array<std::uint64_t, 16> &lanes,
                                               const Pc2Group &group) {
  for (std::size_t i = 0; i < 16; ++i) {
    keys[i] |= pc2Bits(lanes[i], group);
  }
}

template <std::size_t... g>
[[gnu::always_inline]] inline void permutedChoice2(std::array<std::uint64_t, 16> &keys,
                                                   const std::array<std::uint64_t, 16> &lanes,
                                                   std::index_sequence<g...>) {
  (addPc2Group(keys, lanes, pc2Groups[g]), ...);
}

void expandKey(RoundKey *roundKeys, const std::uint8_t *key) noexcept {
  const KeyHalves halves = permutedChoice1(key);
  std::array<std::uint64_t, 16> lanes{};
  std::array<std::uint64_t, 16> keys{};
  for (std::size_t i = 0; i < 16; ++i) {
    lanes[i] = keyLane(halves, totalRotations[i]);
  }
  permutedChoice2(keys, lanes, std::make_index_sequence<pc2Groups.size()>());
  for (std::size_t i = 0; i < 16; ++i) {
    roundKeys[i] =
        RoundKey{static_cast<std::uint32_t>(keys[i]), static_cast<std::uint32_t>(keys[i] >> 32)};
  }
  wipe(lanes);
  wipe(keys);
}

// Sixteen rounds, which update first, second, first, ... in turn.
[[gnu::always_inline]] inline void runOperation(std::uint32_t &first, std::uint32_t &second,
                                                const RoundKey *k) {
  for (std::size_t r = 0; r < 16; r += 2) {
    first ^= cipherFunction(second, k[r]);
    second ^= cipherFunction(first, k[r + 1]);
  }
}

// Instead of swapping halves after each round, the rounds alternate which half they update. A
// DES operation ends on an unswapped pair and the next starts from the swapped one, and its
// final and the next initial permutation cancel: so rounds 16 and 17 both update b, and rounds
// 32 and 33 both update a.
template <std::size_t operations>
void transform(const RoundKey *k, const std::uint8_t *in, std::uint8_t *out) noexcept {
  std::uint32_t a = 0;
  std::uint32_t b = 0;
  initialPermutation(in, a, b);
  runOperation(a, b, k);
  if constexpr (operations == 3) {
    runOperation(b, a, k + 16);
    runOperation(a, b, k + 32);
  }
  finalPermutation(a, b, out);
}

} // namespace

constinit const DesImplementation desPortable{"portable", expandKey, transform<1>, transform<3>};

const DesImplementation &desPreferred() noexcept {
  static const DesImplementation &preferred = desAvx2() != nullptr ? *desAvx2() : desPortable;
  return preferred;
}

void makeSingleKeySchedule(SingleDesKeySchedule &schedule, const std::uint8_t *key) {
  desPreferred().expandKey(&schedule[0], key);
  for (std::size_t i = 0; i < 16; ++i) {
    schedule[16 + i] = schedule[15 - i];
  }
}

void encryptBlock(const SingleDesKeySchedule &schedule, const std::uint8_t *in, std::uint8_t *out) {
  desPreferred().single(&schedule[0], in, out);
}

void decryptBlock(const SingleDesKeySchedule &schedule, const std::uint8_t *in, std::uint8_t *out) {
  desPreferred().single(&schedule[16], in, out);
}

// K1 runs forward at round keys 0 and 32 and reversed at 48 and 80; K2 forward at 64 and
// reversed at 16.
void makeDoubleKeySchedule(DesKeySchedule &schedule, const std::uint8_t *key) {
  const DesImplementation &des = desPreferred();
  des.expandKey(&schedule[0], key);
  des.expandKey(&schedule[64], key + 8);
  for (std::size_t i = 0; i < 16; ++i) {
    schedule[16 + i] = schedule[79 - i];
    schedule[32 + i] = schedule[i];
    schedule[48 + i] = schedule[15 - i];
    schedule[80 + i] = schedule[15 - i];
  }
}

// As above, except that K3 takes K1's places at 32 and 48.
void makeTripleKeySchedule(DesKeySchedule &schedule, const std::uint8_t *key) {
  const DesImplementation &des = desPreferred();
  des.expandKey(&schedule[0], key);
  des.expandKey(&schedule[64], key + 8);
  des.expandKey(&schedule[32], key + 16);
  for (std::size_t i = 0; i < 16; ++i) {
    schedule[16 + i] = schedule[79 - i];
    schedule[48 + i] = schedule[47 - i];
    schedule[80 + i] = schedule[15 - i];
  }
}

void encryptBlock(const DesKeySchedule &schedule, const std::uint8_t *in, std::uint8_t *out) {
  desPreferred().triple(&schedule[0], in, out);
}

void decryptBlock(const DesKeySchedule &schedule, const std::uint8_t *in, std::uint8_t *out) {
  desPreferred().triple(&schedule[48], in, out);
}

} // namespace tolvane
