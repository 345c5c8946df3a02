#include "emv/cryptogram.hpp"

#include <algorithm>
#include <cassert>

#include "base/digits.hpp"

namespace tolvane {

namespace {

constexpr std::size_t kLongestProprietary = 8;

} // namespace

Cryptogram computeArqc(const CryptogramKey &sessionKey, std::span<const std::uint8_t> data,
                       MacPadding padding) {
  assert(padding == MacPadding::Zeros || padding == MacPadding::Bit);
  Secret<CipherBlock> mac(isoMac3(sessionKey.left(), sessionKey.whole(), data, padding));
  Cryptogram arqc;
  std::copy_n(mac->bytes.begin(), arqc.size(), arqc.begin());
  return arqc;
}

bool verifyArqc(const CryptogramKey &sessionKey, std::span<const std::uint8_t> data,
                MacPadding padding, std::span<const std::uint8_t> arqc) {
  assert(arqc.size() == 8);
  const Secret<Cryptogram> expected(computeArqc(sessionKey, data, padding));
  return constantTimeEqual(*expected, arqc);
}

Cryptogram computeArpcMethod1(const Cipher &key, std::span<const std::uint8_t> arqc,
                              std::span<const std::uint8_t> arc) {
  assert(key.algorithm() == CipherAlgorithm::Tdes2 && arqc.size() == 8 && arc.size() == 2);
  Cryptogram block{};
  std::copy(arc.begin(), arc.end(), block.begin());
  xorBlocks(block.data(), block.data(), arqc.data());
  key.encrypt(block.data(), block.data());
  return block;
}

ShortArpc computeArpcMethod2(const CryptogramKey &sessionKey, std::span<const std::uint8_t> arqc,
                             std::span<const std::uint8_t> csu,
                             std::span<const std::uint8_t> proprietary) {
  assert(arqc.size() == 8 && csu.size() == 4 && proprietary.size() <= kLongestProprietary);
  std::array<std::uint8_t, 8 + 4 + kLongestProprietary> message{};
  auto end = std::copy(arqc.begin(), arqc.end(), message.begin());
  end = std::copy(csu.begin(), csu.end(), end);
  end = std::copy(proprietary.begin(), proprietary.end(), end);
  const auto length = static_cast<std::size_t>(end - message.begin());
  Secret<CipherBlock> mac(isoMac3(sessionKey.left(), sessionKey.whole(),
                                  std::span(message.data(), length), MacPadding::Bit));
  ShortArpc arpc;
  std::copy_n(mac->bytes.begin(), arpc.size(), arpc.begin());
  return arpc;
}

} // namespace tolvane
