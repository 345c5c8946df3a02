#include "crypto/message_mac.hpp"

#include <algorithm>
#include <cassert>

#include "base/secret.hpp"
#include "crypto/cmac.hpp"

namespace tolvane {

bool isHmac(MacAlgorithm algorithm) {
  switch (algorithm) {
  case MacAlgorithm::HmacSha224:
  case MacAlgorithm::HmacSha256:
  case MacAlgorithm::HmacSha384:
  case MacAlgorithm::HmacSha512:
    return true;
  case MacAlgorithm::Iso9797Alg1:
  case MacAlgorithm::Iso9797Alg3:
  case MacAlgorithm::Cmac:
    break;
  }
  return false;
}

bool takesPadding(MacAlgorithm algorithm) {
  return algorithm == MacAlgorithm::Iso9797Alg1 || algorithm == MacAlgorithm::Iso9797Alg3;
}

const HashAlgorithm &hmacHash(MacAlgorithm algorithm) {
  switch (algorithm) {
  case MacAlgorithm::HmacSha224:
    return sha224;
  case MacAlgorithm::HmacSha256:
    return sha256;
  case MacAlgorithm::HmacSha384:
    return sha384;
  case MacAlgorithm::HmacSha512:
  case MacAlgorithm::Iso9797Alg1:
  case MacAlgorithm::Iso9797Alg3:
  case MacAlgorithm::Cmac:
    break;
  }
  assert(algorithm == MacAlgorithm::HmacSha512);
  return sha512;
}

MacKeyFit macKeyFit(MacAlgorithm algorithm, MacKeyKind key) {
  const bool des = key && cipherEntry(*key).family == CipherFamily::Des;
  switch (algorithm) {
  case MacAlgorithm::Iso9797Alg1:
    return des ? MacKeyFit::Fits : MacKeyFit::WantsDes;
  case MacAlgorithm::Iso9797Alg3:
    return key == CipherAlgorithm::Tdes2 ? MacKeyFit::Fits : MacKeyFit::WantsTwoKeyTdes;
  case MacAlgorithm::Cmac:
    return key && *key != CipherAlgorithm::Des ? MacKeyFit::Fits : MacKeyFit::WantsBlockCipher;
  case MacAlgorithm::HmacSha224:
  case MacAlgorithm::HmacSha256:
  case MacAlgorithm::HmacSha384:
  case MacAlgorithm::HmacSha512:
    break;
  }
  return key ? MacKeyFit::WantsHmacKey : MacKeyFit::Fits;
}

std::size_t fullMacLength(MacAlgorithm algorithm, MacKeyKind key) {
  if (isHmac(algorithm)) {
    return hmacHash(algorithm).digestSize;
  }
  return cipherEntry(*key).blockSize;
}

MacAlgorithm defaultDukptMac(CipherFamily bdkFamily) {
  return bdkFamily == CipherFamily::Aes ? MacAlgorithm::Cmac : MacAlgorithm::Iso9797Alg3;
}

Digest computeMessageMac(MacAlgorithm algorithm, const MacKey &key,
                         std::span<const std::uint8_t> message, MacPadding padding) {
  if (isHmac(algorithm)) {
    return key.hmac->compute(message);
  }
  CipherBlock block;
  switch (algorithm) {
  case MacAlgorithm::Iso9797Alg1:
    block = isoMac1(*key.cipher, message, padding);
    break;
  case MacAlgorithm::Iso9797Alg3:
    block = isoMac3(*key.left, *key.cipher, message, padding);
    break;
  case MacAlgorithm::Cmac:
  case MacAlgorithm::HmacSha224:
  case MacAlgorithm::HmacSha256:
  case MacAlgorithm::HmacSha384:
  case MacAlgorithm::HmacSha512: {
    const Mac mac = computeCmac(*key.cipher, message);
    block.size = mac.size;
    std::copy(mac.bytes.begin(), mac.bytes.end(), block.bytes.begin());
    break;
  }
  }
  Digest out;
  out.size = block.size;
  std::copy(block.bytes.begin(), block.bytes.end(), out.bytes.begin());
  return out;
}

bool verifyMessageMac(MacAlgorithm algorithm, const MacKey &key,
                      std::span<const std::uint8_t> message, MacPadding padding,
                      std::span<const std::uint8_t> mac) {
  const Digest computed = computeMessageMac(algorithm, key, message, padding);
  return mac.size() >= kShortestMac && mac.size() <= computed.size &&
         constantTimeEqual(computed.view().first(mac.size()), mac);
}

} // namespace tolvane
