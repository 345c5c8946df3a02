#pragma once
// The MACs a command computes over a message, as one choice among algorithms: ISO 9797-1
// algorithm 1 (CBC-MAC) and algorithm 3 (the retail MAC), CMAC, and HMAC over SHA-224 to
// SHA-512. Which key each algorithm takes, how long its MAC is, whether it pads, and what DUKPT
// uses when nothing is said, are decided here; the computation streams the message without
// copying it. Nothing here allocates or throws; a key that does not fit is a bug.

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <span>
#include <string_view>

#include "crypto/cipher.hpp"
#include "crypto/hmac.hpp"
#include "crypto/mac.hpp"

namespace tolvane {

enum class MacAlgorithm : std::uint8_t {
  Iso9797Alg1,
  Iso9797Alg3,
  Cmac,
  HmacSha224,
  HmacSha256,
  HmacSha384,
  HmacSha512
};

// The algorithms as -macalg names them, in the order of MacAlgorithm.
inline constexpr std::u16string_view kMacAlgorithmNames[] = {
    u"iso9797-1",   u"iso9797-3",   u"cmac",       u"hmac-sha224",
    u"hmac-sha256", u"hmac-sha384", u"hmac-sha512"};
static_assert(std::size(kMacAlgorithmNames) ==
              static_cast<std::size_t>(MacAlgorithm::HmacSha512) + 1);

// Fewer bytes would be too easy to guess.
constexpr std::size_t kShortestMac = 4;

// A key as a MAC algorithm sees it: a cipher algorithm, or nullopt for an HMAC key (bytes of
// any length, no cipher).
using MacKeyKind = std::optional<CipherAlgorithm>;

// Whether a key fits an algorithm, and when not, what the algorithm wants instead.
enum class MacKeyFit : std::uint8_t {
  Fits,
  WantsDes,         // algorithm 1: single DES or Triple-DES
  WantsTwoKeyTdes,  // algorithm 3: K||K', two DES keys
  WantsBlockCipher, // CMAC: Triple-DES or AES; single DES is refused as too weak for a new MAC
  WantsHmacKey,
};
MacKeyFit macKeyFit(MacAlgorithm algorithm, MacKeyKind key);

bool isHmac(MacAlgorithm algorithm);
// The ISO 9797-1 algorithms pad by a chosen method; CMAC and HMAC have their own padding.
bool takesPadding(MacAlgorithm algorithm);
// Only for an HMAC algorithm.
const HashAlgorithm &hmacHash(MacAlgorithm algorithm);
// The whole MAC of algorithm under a key that fits: 8 for the DES family, the block for CMAC,
// the digest for HMAC.
std::size_t fullMacLength(MacAlgorithm algorithm, MacKeyKind key);

// DUKPT MACs when the command line names no algorithm: the retail MAC with padding 1 under a
// Triple-DES BDK, as terminals have long done; CMAC under an AES BDK.
MacAlgorithm defaultDukptMac(CipherFamily bdkFamily);

// The key prepared for the algorithm: cipher for every algorithm but HMAC (for algorithm 3 the
// two-key Triple-DES cipher of K||K'), left for algorithm 3 (single DES under K), hmac for HMAC.
struct MacKey {
  const Cipher *cipher = nullptr;
  const Cipher *left = nullptr;
  const HmacKey *hmac = nullptr;
};

// The whole MAC of message; padding counts for the ISO 9797-1 algorithms alone.
Digest computeMessageMac(MacAlgorithm algorithm, const MacKey &key,
                         std::span<const std::uint8_t> message, MacPadding padding);

// True when mac (kShortestMac bytes up to the whole MAC) is the leading part of the MAC of
// message. The comparison takes as long wherever the first wrong byte is.
bool verifyMessageMac(MacAlgorithm algorithm, const MacKey &key,
                      std::span<const std::uint8_t> message, MacPadding padding,
                      std::span<const std::uint8_t> mac);

} // namespace tolvane
