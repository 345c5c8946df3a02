#include "crypto/message_cipher.hpp"

#include <algorithm>
#include <cassert>

#include "crypto/mac.hpp"
#include "crypto/modes.hpp"

namespace tolvane {

namespace {

MacPadding methodOf(DataPadding padding) {
  return padding == DataPadding::Bit ? MacPadding::Bit : MacPadding::Zeros;
}

} // namespace

std::size_t encipheredLength(std::size_t length, std::size_t blockSize, DataPadding padding) {
  return padding == DataPadding::None ? length : paddedLength(length, blockSize, methodOf(padding));
}

void encryptMessage(const Cipher &cipher, BlockMode mode, std::span<const std::uint8_t> iv,
                    std::span<const std::uint8_t> message, DataPadding padding,
                    std::span<std::uint8_t> out) {
  assert(out.size() == encipheredLength(message.size(), cipher.blockSize(), padding));
  std::copy(message.begin(), message.end(), out.begin());
  if (padding != DataPadding::None) {
    padInPlace(out, message.size(), methodOf(padding));
  }
  if (mode == BlockMode::Ecb) {
    encryptEcb(cipher, out, out);
  } else {
    encryptCbc(cipher, iv, out, out);
  }
}

void decryptMessage(const Cipher &cipher, BlockMode mode, std::span<const std::uint8_t> iv,
                    std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
  if (mode == BlockMode::Ecb) {
    decryptEcb(cipher, in, out);
  } else {
    decryptCbc(cipher, iv, in, out);
  }
}

} // namespace tolvane
