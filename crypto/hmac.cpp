#include "crypto/hmac.hpp"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstddef>

#include "base/secret.hpp"

namespace tolvane {
namespace {

// Fewer bytes would be too easy to guess.
constexpr std::size_t shortestMac = 4;

// The key is added into a block twice: with 0x36 in every byte for the inner hash, with 0x5C for
// the outer one.
constexpr std::uint8_t innerPad = 0x36;
constexpr std::uint8_t outerPad = 0x5C;

void addPad(std::span<std::uint8_t> block, std::uint8_t pad) {
  for (std::uint8_t &byte : block) {
    byte ^= pad;
  }
}

} // namespace

HmacKey::HmacKey(const HashAlgorithm &algorithm, std::span<const std::uint8_t> key) noexcept
    : algorithm_(&algorithm) {
  assert(!key.empty() && key.size() <= 256);
  // The key, or its digest when it is longer than a block, then zeros to the end of the block.
  Secret<std::array<std::uint8_t, 128>> padded;
  const std::span<std::uint8_t> block = std::span(*padded).first(algorithm.blockSize);
  if (key.size() > block.size()) {
    HashContext context;
    algorithm.init(context);
    algorithm.update(context, key);
    algorithm.finish(context, block.data());
  } else {
    std::copy(key.begin(), key.end(), block.begin());
  }
  addPad(block, innerPad);
  algorithm.init(inner_);
  algorithm.update(inner_, block);
  addPad(block, innerPad ^ outerPad);
  algorithm.init(outer_);
  algorithm.update(outer_, block);
}

// The inner digest goes through the MAC's own bytes: the outer update copies it into its state
// before the outer finish writes the MAC over it.
Digest HmacKey::compute(std::span<const std::uint8_t> message) const noexcept {
  Digest mac;
  mac.size = algorithm_->digestSize;
  HashContext context = inner_;
  algorithm_->update(context, message);
  algorithm_->finish(context, mac.bytes.data());
  context = outer_;
  algorithm_->update(context, mac.view());
  algorithm_->finish(context, mac.bytes.data());
  return mac;
}

Digest computeHmac(const HashAlgorithm &algorithm, std::span<const std::uint8_t> key,
                   std::span<const std::uint8_t> message) noexcept {
  return HmacKey(algorithm, key).compute(message);
}

bool verifyHmac(const HmacKey &key, std::span<const std::uint8_t> message,
                std::span<const std::uint8_t> mac) noexcept {
  const Digest computed = key.compute(message);
  return mac.size() >= shortestMac && mac.size() <= computed.size &&
         constantTimeEqual(computed.view().first(mac.size()), mac);
}

} // namespace tolvane
