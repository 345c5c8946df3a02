#include "emv/card_key.hpp"

#include <cassert>

#include "base/digits.hpp"
#include "keys/parity.hpp"
#include "sha/sha.hpp"

namespace tolvane {

namespace {

constexpr std::size_t kShortestEmvPan = 12;
constexpr std::size_t kLongestEmvPan = 19;
constexpr std::size_t kPsnDigits = 2;

// Digit i of PAN || PSN.
char16_t digitOf(std::u16string_view pan, std::u16string_view psn, std::size_t i) {
  return i < pan.size() ? pan[i] : psn[i - pan.size()];
}

// Option A's block: the rightmost 16 digits of PAN || PSN, zeros on the left.
void rightmostDigits(std::u16string_view pan, std::u16string_view psn, NibbleBlock &block) {
  const std::size_t total = pan.size() + psn.size();
  const std::size_t dropped = total > 16 ? total - 16 : 0;
  const std::size_t zeros = total < 16 ? 16 - total : 0;
  block.fill(0);
  for (std::size_t i = 0; dropped + i < total; ++i) {
    setNibble(block, static_cast<int>(zeros + i), digitValue(digitOf(pan, psn, dropped + i)));
  }
}

// Option B's block. The PAN may be secret to whoever watches the machine, so the digest is
// decimalised without a branch or an index that depends on it: every nibble is looked at in
// both passes, and a mask decides whether it is appended.
void decimalisedDigest(std::u16string_view pan, std::u16string_view psn, NibbleBlock &block) {
  Secret<std::array<std::uint8_t, (kLongestEmvPan + kPsnDigits + 1) / 2>> bcd;
  const std::size_t total = pan.size() + psn.size();
  const std::size_t lead = total % 2; // a zero digit in front of an odd count
  for (std::size_t i = 0; i < total; ++i) {
    setNibble(*bcd, static_cast<int>(lead + i), digitValue(digitOf(pan, psn, i)));
  }
  const std::size_t bytes = (lead + total) / 2;
  Secret<Digest> digest(computeHash(sha1, std::span(bcd->data(), bytes)));

  std::uint64_t digits = 0; // appended at the low end: the first digit ends up on top
  std::uint64_t count = 0;
  for (const std::uint64_t letters : {0u, 1u}) {
    for (int i = 0; i < 40; ++i) {
      const auto nibble = static_cast<std::uint64_t>(getNibble(digest->view(), i));
      const std::uint64_t isLetter = (9 - nibble) >> 63; // 1 for 10..15
      const std::uint64_t hasRoom = (count - 16) >> 63;  // 1 while count < 16
      const std::uint64_t take = ~(isLetter ^ letters) & 1 & hasRoom;
      const std::uint64_t mask = 0 - take;
      const std::uint64_t digit = nibble - 10 * letters;
      digits = (digits & ~mask) | (((digits << 4) | digit) & mask);
      count += take;
    }
  }
  // Forty nibbles always give sixteen: each is a digit or a letter.
  assert(count == 16);
  storeNibbles(digits, block.data());
  wipe(digits);
}

} // namespace

bool isEmvPan(std::u16string_view pan) {
  return pan.size() >= kShortestEmvPan && pan.size() <= kLongestEmvPan && allDecimal(pan);
}

CardKeyOption cardKeyOptionFor(std::size_t panDigits, std::optional<CardKeyOption> asked) {
  return panDigits > 16 && asked != CardKeyOption::A ? CardKeyOption::B : CardKeyOption::A;
}

Secret<DoubleDesKey> deriveCardMasterKey(const Cipher &imk, std::u16string_view pan,
                                         std::u16string_view psn, CardKeyOption option) {
  assert(imk.algorithm() == CipherAlgorithm::Tdes2 && psn.size() == kPsnDigits &&
         pan.size() <= kLongestEmvPan);
  Secret<NibbleBlock> block;
  if (option == CardKeyOption::B) {
    decimalisedDigest(pan, psn, *block);
  } else {
    rightmostDigits(pan, psn, *block);
  }
  Secret<DoubleDesKey> key;
  imk.encrypt(block->data(), key->data());
  for (std::uint8_t &byte : *block) {
    byte = static_cast<std::uint8_t>(~byte);
  }
  imk.encrypt(block->data(), key->data() + 8);
  setOddParity(*key);
  return key;
}

} // namespace tolvane
