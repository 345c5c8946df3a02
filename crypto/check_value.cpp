// keyCheckValue, declared with the Cipher in cipher.hpp. It lives apart from the Cipher because
// the AES check value is made with the CMAC, which is itself made with the Cipher.

#include <algorithm>

#include "crypto/cipher.hpp"
#include "crypto/cmac.hpp"

namespace tolvane {

CheckValue keyCheckValue(const Cipher &cipher) {
  CheckValue value;
  if (cipher.family() == CipherFamily::Aes) {
    constexpr std::array<std::uint8_t, 16> zeroBlock{};
    const Mac mac = computeCmac(cipher, zeroBlock);
    value.size = 5;
    std::copy_n(mac.bytes.begin(), value.size, value.bytes.begin());
  } else {
    std::array<std::uint8_t, 8> block{};
    cipher.encrypt(block.data(), block.data());
    value.size = 3;
    std::copy_n(block.begin(), value.size, value.bytes.begin());
  }
  return value;
}

} // namespace tolvane
