// Known answers of each AES implementation, read from aes_vectors.txt, and the AES-NI one against
// the bitsliced one on random keys of every size. Cases that need AES-NI are skipped, and say so,
// where the build or the processor lacks it. Last, the stack the bitsliced one worked on is
// searched for what it should have wiped.

#include "aes/aes.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "aes/key_expansion.hpp"
#include "base/secret.hpp"
#include "support/hex.hpp"

namespace tolvane {
namespace {

constexpr const char *noAesNi = "no AES-NI in this build or on this processor";

void expectKnownAnswers(const AesImplementation &aes) {
  std::ifstream file(TOLVANE_AES_VECTORS);
  ASSERT_TRUE(file.is_open()) << "cannot read " << TOLVANE_AES_VECTORS;
  std::string line, key, plain, cipher;
  int rows = 0;
  AesKeySchedule schedule; // one for all the lines: a new key must not decrypt with the old one's
  for (int number = 1; std::getline(file, line); ++number) {
    if (line.empty() || line[0] == '#') {
      continue;
    }
    std::istringstream(line) >> key >> plain >> cipher;
    aes.makeSchedule(schedule, fromHex(key));
    Bytes block = fromHex(plain);
    encryptBlock(schedule, block.data(), block.data());
    EXPECT_EQ(toHex(block), cipher) << aes.name << ", line " << number << ", encrypting";
    block = fromHex(cipher);
    prepareAesDecryption(schedule);
    decryptBlock(schedule, block.data(), block.data());
    EXPECT_EQ(toHex(block), plain) << aes.name << ", line " << number << ", decrypting";
    ++rows;
  }
  EXPECT_GT(rows, 0);
}

TEST(AesBitsliced, KnownAnswersBothWays) { expectKnownAnswers(aesBitsliced); }

TEST(AesNi, KnownAnswersBothWays) {
  if (aesNi() == nullptr) {
    GTEST_SKIP() << noAesNi;
  }
  expectKnownAnswers(*aesNi());
}

TEST(AesNi, AgreesWithBitslicedOnRandomKeys) {
  const AesImplementation *ni = aesNi();
  if (ni == nullptr) {
    GTEST_SKIP() << noAesNi;
  }
  std::mt19937 random(197);
  for (std::size_t trial = 0; trial < 3000; ++trial) {
    Bytes bytes(48), a(16), b(16); // the block, then the key
    std::generate(bytes.begin(), bytes.end(), [&] { return static_cast<std::uint8_t>(random()); });
    const std::span<const std::uint8_t> key = std::span(bytes).subspan(16, 16 + 8 * (trial % 3));
    AesKeySchedule bitsliced, native;
    aesBitsliced.makeSchedule(bitsliced, key);
    ni->makeSchedule(native, key);
    prepareAesDecryption(native);
    for (const auto run : {&AesImplementation::encrypt, &AesImplementation::decrypt}) {
      (aesBitsliced.*run)(bitsliced, bytes.data(), a.data());
      (ni->*run)(native, bytes.data(), b.data());
      EXPECT_EQ(toHex(a), toHex(b)) << "block and key " << toHex(bytes);
    }
  }
}

constexpr std::size_t stackScanned = 8192;

// Zeroes the stack the next call will use, a little beyond what is scanned.
[[gnu::noinline]] void zeroStackBelow() {
  std::array<std::uint8_t, stackScanned + 1024> area;
  wipeBytes(area.data(), area.size());
}

// Returns an address under which lies all the stack that step used.
template <typename Step> [[gnu::noinline]] std::uintptr_t run(const Step &step) {
  step();
  return reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
}

// The stackScanned bytes under the caller's stack pointer once step has returned.
template <typename Step> std::vector<std::uint32_t> stackLeftBy(const Step &step) {
  std::vector<std::uint32_t> stack(stackScanned / 4);
  std::uint32_t *copy = stack.data(); // from the run to the copy, no call may use the stack
  zeroStackBelow();
  const auto *below = reinterpret_cast<const volatile std::uint32_t *>(run(step) - stackScanned);
  for (std::size_t i = 0; i < stackScanned / 4; ++i) {
    copy[i] = below[i];
  }
  return stack;
}

// Once a key schedule, an encryption or a decryption has returned, the stack it used holds no word
// of the block, of a round key, or of the planes in which the schedule holds a round key. Nor of
// the encrypted block, which is no secret, but which a frame left as it was would hold with the
// rounds' states that led to it.
TEST(AesBitsliced, LeavesNoSecretOnTheStack) {
  const Bytes key = fromHex("7C0DE52AB3914F68D2A6C75E108B94F33E81A4C7D9265B0F5A1E63C8B70D2F94");
  Bytes block = fromHex("C3A95E170B6D28F4E1907AD45B3C86F2");
  AesKeySchedule schedule;
  aesBitsliced.makeSchedule(schedule, key);
  Bytes encrypted(16);
  encryptBlock(schedule, block.data(), encrypted.data());
  std::vector<std::pair<std::uint32_t, std::string>> secrets;
  for (std::size_t j = 0; j < 4; ++j) {
    secrets.emplace_back(loadAesWord(&block[4 * j]), "the block");
    secrets.emplace_back(loadAesWord(&encrypted[4 * j]), "the encrypted block");
  }
  // Bit b of byte i of round key r is bit i of plane 8r + b, less 0x63 from round 1 on.
  for (std::size_t r = 0; r <= schedule.rounds; ++r) {
    std::array<std::uint8_t, 16> roundKey{};
    for (std::size_t i = 0; i < 16; ++i) {
      for (std::size_t b = 0; b < 8; ++b) {
        roundKey[i] |= static_cast<std::uint8_t>(((schedule.words[8 * r + b] >> i) & 1) << b);
      }
      roundKey[i] ^= r > 0 ? 0x63 : 0;
    }
    for (std::size_t j = 0; j < 4; ++j) {
      secrets.emplace_back(loadAesWord(&roundKey[4 * j]), "round key " + std::to_string(r));
    }
    for (std::size_t b = 0; b < 8; ++b) {
      secrets.emplace_back(schedule.words[8 * r + b], "planes of round key " + std::to_string(r));
    }
  }
  ASSERT_EQ(secrets[8].first, loadAesWord(key.data())); // the planes read as they should be

  const std::pair<const char *, std::vector<std::uint32_t>> steps[] = {
      {"key schedule", stackLeftBy([&] { aesBitsliced.makeSchedule(schedule, key); })},
      {"encryption", stackLeftBy([&] { encryptBlock(schedule, block.data(), block.data()); })},
      {"decryption", stackLeftBy([&] { decryptBlock(schedule, block.data(), block.data()); })}};
  for (const auto &[step, stack] : steps) {
    for (const auto &[word, what] : secrets) {
      const auto at = std::find(stack.begin(), stack.end(), word);
      EXPECT_EQ(at, stack.end()) << step << " left a word of " << what << " "
                                 << 4 * (stack.end() - at) << " bytes below the caller's frame";
    }
  }
}

} // namespace
} // namespace tolvane
