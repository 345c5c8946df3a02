#pragma once
// HMAC over any hash of the table in sha/sha.hpp, with a key of 1 to 256 bytes; a key longer
// than the hash's block is hashed first and its digest used instead. The MAC is digestSize
// bytes. Nothing here allocates or throws; a key length out of range is a bug.

#include <cstdint>
#include <span>

#include "sha/sha.hpp"

namespace tolvane {

// A key made ready for many messages: the hash states after the key's inner and outer blocks
// are computed once, so that a MAC costs the hashing of the message and of the inner digest
// alone. The states are key material and are wiped when the key is destroyed.
class HmacKey {
public:
  HmacKey(const HashAlgorithm &algorithm, std::span<const std::uint8_t> key) noexcept;
  HmacKey(const HmacKey &) = delete;
  HmacKey &operator=(const HmacKey &) = delete;

  // The HMAC of message, of any length including none.
  Digest compute(std::span<const std::uint8_t> message) const noexcept;

private:
  const HashAlgorithm *algorithm_;
  HashContext inner_;
  HashContext outer_;
};

// The HMAC of message under key (1 to 256 bytes), in one call.
Digest computeHmac(const HashAlgorithm &algorithm, std::span<const std::uint8_t> key,
                   std::span<const std::uint8_t> message) noexcept;

// True when mac, 4 bytes up to the digest size, is the HMAC of message or its leading part; a
// shorter or longer mac never is. The comparison takes as long wherever the first wrong byte is.
bool verifyHmac(const HmacKey &key, std::span<const std::uint8_t> message,
                std::span<const std::uint8_t> mac) noexcept;

} // namespace tolvane
