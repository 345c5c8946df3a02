#include "keys/key_block.hpp"

#include <algorithm>

#include "base/digits.hpp"
#include "crypto/cmac.hpp"
#include "crypto/modes.hpp"

namespace tolvane {

namespace {

constexpr std::size_t kHeaderSize = 16;
constexpr std::size_t kLongestBlock = 9999; // the length field has four digits

bool isVariant(char16_t version) { return version == u'A' || version == u'C'; }

// Versions A, B and C are Triple-DES blocks of 8 bytes; D is AES, of 16.
std::size_t cipherBlockOf(char16_t version) { return version == u'D' ? 16 : 8; }

// The MAC as it stands in the block: 4 bytes for the variant versions, a whole cipher block
// for the derived ones.
std::size_t macSizeOf(char16_t version) { return isVariant(version) ? 4 : cipherBlockOf(version); }

bool hexValue(std::u16string_view digits, std::size_t &value) {
  if (digits.empty() || !allHex(digits)) {
    return false;
  }
  value = 0;
  for (const char16_t c : digits) {
    value = value * 16 + static_cast<std::size_t>(c <= u'9' ? c - u'0' : (c | 0x20) - u'a' + 10);
  }
  return true;
}

// The first optional block of blocks: its identifier, two hex digits of length, and, when
// those are 00, the extended form: two hex digits giving how many hex digits of length follow.
// Either length counts the whole optional block, its own fields included.
KeyBlockProblem parseOptional(std::u16string_view blocks, OptionalBlock &block, std::size_t &size) {
  std::size_t length = 0;
  std::size_t dataStart = 4;
  if (blocks.size() < 4) {
    return KeyBlockProblem::OptionalOverrun;
  }
  if (!hexValue(blocks.substr(2, 2), length)) {
    return KeyBlockProblem::BadOptionalBlock;
  }
  if (length == 0) {
    std::size_t digits = 0;
    if (blocks.size() < 6) {
      return KeyBlockProblem::OptionalOverrun;
    }
    if (!hexValue(blocks.substr(4, 2), digits) || digits == 0 || digits > 4) {
      return KeyBlockProblem::BadOptionalBlock;
    }
    if (blocks.size() < 6 + digits) {
      return KeyBlockProblem::OptionalOverrun;
    }
    if (!hexValue(blocks.substr(6, digits), length)) {
      return KeyBlockProblem::BadOptionalBlock;
    }
    dataStart = 6 + digits;
  }
  if (length < dataStart) {
    return KeyBlockProblem::BadOptionalBlock;
  }
  if (length > blocks.size()) {
    return KeyBlockProblem::OptionalOverrun;
  }
  block = {blocks.substr(0, 2), blocks.substr(dataStart, length - dataStart)};
  size = length;
  return KeyBlockProblem::None;
}

bool printable(std::u16string_view text) {
  return std::all_of(text.begin(), text.end(), [](char16_t c) { return c >= 0x20 && c <= 0x7E; });
}

// Header and key data as the MAC takes them: the header's ASCII bytes, then data.
void appendAscii(SecretBuffer<std::uint8_t> &buffer, std::u16string_view text) {
  std::uint8_t *out = buffer.end();
  for (const char16_t c : text) {
    *out++ = static_cast<std::uint8_t>(c);
  }
  buffer.commit(text.size());
}

// The derivation of B and D: CMAC under the KBPK of 8 bytes (a counter from 1, the key's use:
// 0000 encryption or 0001 authentication, a 00 separator, the algorithm of the key made and its
// length in bits), once per cipher block of the key, the outputs joined and cut to its length.
void deriveKey(const Cipher &kbpk, std::uint8_t use, Cipher &out) {
  const CipherAlgorithm algorithm = kbpk.algorithm();
  const std::size_t size = cipherEntry(algorithm).keySize;
  // Two-key and three-key Triple-DES are 0000 and 0001, AES-128 to -256 0002 to 0004.
  const auto indicator = static_cast<std::uint8_t>(static_cast<int>(algorithm) -
                                                   static_cast<int>(CipherAlgorithm::Tdes2));
  const std::size_t bits = size * 8;
  Secret<std::array<std::uint8_t, 48>> material;
  for (std::size_t made = 0, counter = 1; made < size; made += kbpk.blockSize(), ++counter) {
    const std::array<std::uint8_t, 8> input = {static_cast<std::uint8_t>(counter),
                                               0,
                                               use,
                                               0,
                                               0,
                                               indicator,
                                               static_cast<std::uint8_t>(bits >> 8),
                                               static_cast<std::uint8_t>(bits)};
    // Made in place and wiped there: each output is a part of the derived key.
    Mac mac = computeCmac(kbpk, input);
    std::copy_n(mac.bytes.begin(), mac.size, material->begin() + static_cast<std::ptrdiff_t>(made));
    wipe(mac);
  }
  out.setKey(algorithm, std::span(material->data(), size));
}

} // namespace

bool takeOptionalBlock(std::u16string_view &blocks, OptionalBlock &block) {
  std::size_t size = 0;
  if (parseOptional(blocks, block, size) != KeyBlockProblem::None) {
    return false;
  }
  blocks.remove_prefix(size);
  return true;
}

bool wellFormedOptionalBlocks(std::u16string_view text) {
  if (!printable(text)) {
    return false;
  }
  std::size_t count = 0;
  OptionalBlock block;
  while (!text.empty()) {
    if (!takeOptionalBlock(text, block) || block.id == u"PB" || ++count > 99) {
      return false;
    }
  }
  return true;
}

KeyBlockProblem readKeyBlock(std::u16string_view text, KeyBlock &block) {
  if (text.size() < kHeaderSize) {
    return KeyBlockProblem::TooShort;
  }
  if (!printable(text)) {
    return KeyBlockProblem::NotPrintable;
  }
  const char16_t version = text[0];
  if (version < u'A' || version > u'D') {
    return KeyBlockProblem::UnknownVersion;
  }
  const std::u16string_view lengthField = text.substr(1, 4);
  std::size_t length = 0;
  for (const char16_t c : lengthField) {
    length = length * 10 + static_cast<std::size_t>(digitValue(c));
  }
  if (!allDecimal(lengthField) || length != text.size()) {
    return KeyBlockProblem::LengthDisagrees;
  }
  if (text[7] != u'A' && text[7] != u'D' && text[7] != u'T' && text[7] != u'H') {
    return KeyBlockProblem::UnknownAlgorithm;
  }
  if (text[11] != u'E' && text[11] != u'N' && text[11] != u'S') {
    return KeyBlockProblem::UnknownExport;
  }
  if (!allDecimal(text.substr(12, 2))) {
    return KeyBlockProblem::BadOptionalCount;
  }
  // The last two characters are reserved; the first of them may carry a key context (1: for
  // storage only, 2: for exchange only), which changes nothing here.
  if (text[15] != u'0' || text[14] < u'0' || text[14] > u'2') {
    return KeyBlockProblem::BadReserved;
  }
  const auto count = static_cast<std::size_t>(digitValue(text[12])) * 10 +
                     static_cast<std::size_t>(digitValue(text[13]));
  std::size_t headerSize = kHeaderSize;
  for (std::size_t i = 0; i < count; ++i) {
    OptionalBlock optional;
    std::size_t size = 0;
    const KeyBlockProblem problem = parseOptional(text.substr(headerSize), optional, size);
    if (problem != KeyBlockProblem::None) {
      return problem;
    }
    headerSize += size;
  }
  const std::size_t cipherBlock = cipherBlockOf(version);
  if (headerSize % cipherBlock != 0) {
    return KeyBlockProblem::HeaderNotAligned;
  }
  // At least one cipher block of key data, whole blocks, then the MAC, all in hex.
  const std::size_t macDigits = 2 * macSizeOf(version);
  const std::size_t rest = text.size() - headerSize;
  if (rest < macDigits + 2 * cipherBlock || (rest - macDigits) % (2 * cipherBlock) != 0 ||
      !allHex(text.substr(headerSize))) {
    return KeyBlockProblem::BadKeyData;
  }
  block.text.assign(text);
  block.headerSize = headerSize;
  return KeyBlockProblem::None;
}

std::optional<CipherAlgorithm> keyBlockCipher(char16_t algorithm, std::size_t keySize) {
  if ((algorithm == u'D' && keySize == 8) || (algorithm == u'T' && keySize != 8)) {
    return cipherAlgorithmFor(CipherFamily::Des, keySize);
  }
  return algorithm == u'A' ? cipherAlgorithmFor(CipherFamily::Aes, keySize) : std::nullopt;
}

char16_t keyBlockAlgorithm(CipherAlgorithm algorithm) {
  return algorithm == CipherAlgorithm::Des                    ? u'D'
         : cipherEntry(algorithm).family == CipherFamily::Des ? u'T'
                                                              : u'A';
}

KeyBlockProblem kbpkSuits(char16_t version, CipherFamily kbpk) {
  if (version == u'D') {
    return kbpk == CipherFamily::Aes ? KeyBlockProblem::None : KeyBlockProblem::KbpkNotAes;
  }
  return kbpk == CipherFamily::Des ? KeyBlockProblem::None : KeyBlockProblem::KbpkNotTdes;
}

bool KeyBlockKeys::holds(char16_t version) const {
  return !encryption_.empty() && variant_ == isVariant(version);
}

void KeyBlockKeys::derive(char16_t version, const Cipher &kbpk,
                          std::span<const std::uint8_t> kbpkBytes) {
  variant_ = isVariant(version);
  if (!variant_) {
    deriveKey(kbpk, 0, encryption_);
    deriveKey(kbpk, 1, authentication_);
    return;
  }
  // The variants: every byte of the KBPK XORed with 45 to encipher, with 4D to authenticate.
  Secret<std::array<std::uint8_t, 32>> variant;
  for (const auto &[cipher, mask] :
       {std::pair{&encryption_, 0x45}, std::pair{&authentication_, 0x4D}}) {
    for (std::size_t i = 0; i < kbpkBytes.size(); ++i) {
      (*variant)[i] = static_cast<std::uint8_t>(kbpkBytes[i] ^ mask);
    }
    cipher->setKey(kbpk.algorithm(), std::span(variant->data(), kbpkBytes.size()));
  }
}

void KeyBlockKeys::clear() {
  encryption_.clear();
  authentication_.clear();
}

namespace {

// The nominal strength of a KBPK in bits: DES keys count 56 bits of every 8 bytes.
std::size_t strengthOf(CipherAlgorithm algorithm) {
  const CipherEntry &entry = cipherEntry(algorithm);
  return entry.keySize * (entry.family == CipherFamily::Des ? 7 : 8);
}

// An HMAC key (algorithm H) of any whole number of bytes up to kLongestHmacKey. Its strength is
// its length, up to 256 bits, which no KBPK exceeds: a 16-byte key is refused under a two-key
// Triple-DES KBPK, as a cipher key stronger than the KBPK would be.
KeyBlockProblem unwrapHmacKey(std::size_t bits, std::span<const std::uint8_t> data,
                              CipherAlgorithm kbpkAlgorithm, ClearKey &key) {
  const std::size_t size = bits / 8;
  if (bits % 8 != 0 || size == 0 || size > kLongestHmacKey) {
    return KeyBlockProblem::KeyLengthDisagrees;
  }
  if (2 + size > data.size()) {
    return KeyBlockProblem::PaddingTooShort;
  }
  if (std::min<std::size_t>(bits, 256) > strengthOf(kbpkAlgorithm)) {
    return KeyBlockProblem::KeyStrongerThanKbpk;
  }
  key.size = size;
  key.hmac = true;
  std::copy_n(data.begin() + 2, size, key.bytes.begin());
  return KeyBlockProblem::None;
}

} // namespace

KeyBlockProblem unwrapKeyBlock(const KeyBlock &block, const KeyBlockKeys &keys,
                               CipherAlgorithm kbpkAlgorithm, Secret<ClearKey> &key) {
  const char16_t version = block.version();
  const std::u16string_view header = std::u16string_view(block.text).substr(0, block.headerSize);
  const std::size_t macSize = macSizeOf(version);
  const std::u16string_view dataHex =
      std::u16string_view(block.text)
          .substr(block.headerSize, block.text.size() - block.headerSize - 2 * macSize);
  const std::size_t dataSize = dataHex.size() / 2;
  std::array<std::uint8_t, 16> mac{};
  hexToBytes(std::u16string_view(block.text).substr(block.text.size() - 2 * macSize), mac.data());

  // The MAC is over the header and, for the variant versions, the key data as enciphered, for
  // the derived ones as in the clear.
  SecretBuffer<std::uint8_t> message(block.headerSize + dataSize);
  appendAscii(message, header);
  std::uint8_t *const data = message.end();
  hexToBytes(dataHex, data);
  message.commit(dataSize);
  const std::span<std::uint8_t> dataSpan(data, dataSize);
  bool verified = false;
  if (isVariant(version)) {
    Secret<std::array<std::uint8_t, 8>> chain;
    chainCbcMac(keys.authentication(), std::span(message.data(), message.size()), *chain);
    verified = constantTimeEqual(std::span(chain->data(), macSize), std::span(mac.data(), macSize));
    // The IV is the header's first cipher block.
    std::array<std::uint8_t, 8> iv{};
    std::copy_n(message.data(), iv.size(), iv.begin());
    decryptCbc(keys.encryption(), iv, dataSpan, dataSpan);
  } else {
    decryptCbc(keys.encryption(), std::span(mac.data(), macSize), dataSpan, dataSpan);
    verified = verifyCmac(keys.authentication(), std::span(message.data(), message.size()),
                          std::span(mac.data(), macSize));
  }
  if (!verified) {
    return KeyBlockProblem::MacFails;
  }
  const std::size_t bits = static_cast<std::size_t>(data[0]) << 8 | data[1];
  if (block.algorithm() == u'H') {
    return unwrapHmacKey(bits, std::span(data, dataSize), kbpkAlgorithm, *key);
  }
  const auto algorithm = bits % 8 == 0 ? keyBlockCipher(block.algorithm(), bits / 8) : std::nullopt;
  if (!algorithm) {
    return KeyBlockProblem::KeyLengthDisagrees;
  }
  if (2 + bits / 8 > dataSize) {
    return KeyBlockProblem::PaddingTooShort;
  }
  if (*algorithm > kbpkAlgorithm) {
    return KeyBlockProblem::KeyStrongerThanKbpk;
  }
  key->size = bits / 8;
  key->algorithm = *algorithm;
  std::copy_n(data + 2, key->size, key->bytes.begin());
  return KeyBlockProblem::None;
}

bool wrapKeyBlock(const KeyBlockFields &fields, const KeyBlockKeys &keys, const ClearKey &key,
                  RandomSource &random, Text &out) {
  const std::size_t cipherBlock = cipherBlockOf(fields.version);
  const std::size_t macSize = macSizeOf(fields.version);
  // The key data: the key's length in bits, the key, and random bytes up to the longest key of
  // its family, then to whole cipher blocks.
  const std::size_t longest = cipherEntry(key.algorithm).family == CipherFamily::Aes ? 32 : 24;
  const std::size_t dataSize = (2 + longest + cipherBlock - 1) / cipherBlock * cipherBlock;

  Text header(u"B0000");
  header[0] = fields.version;
  header += fields.usage;
  header += keyBlockAlgorithm(key.algorithm);
  header += fields.mode;
  header += fields.keyVersion;
  header += fields.exportability;
  std::size_t count = 0;
  for (std::u16string_view rest = fields.optionalBlocks; !rest.empty(); ++count) {
    OptionalBlock block;
    takeOptionalBlock(rest, block);
  }
  Text optional(fields.optionalBlocks);
  if ((kHeaderSize + optional.size()) % cipherBlock != 0) {
    // The padding block: its identifier, its length in two hex digits, zeros.
    const std::size_t size =
        4 + (cipherBlock - (kHeaderSize + optional.size() + 4) % cipherBlock) % cipherBlock;
    optional += u"PB";
    appendHex(optional, std::array{static_cast<std::uint8_t>(size)});
    optional.append(size - 4, u'0');
    ++count;
  }
  const std::size_t total = kHeaderSize + optional.size() + 2 * (dataSize + macSize);
  if (count > 99 || total > kLongestBlock) {
    return false;
  }
  header += static_cast<char16_t>(u'0' + count / 10);
  header += static_cast<char16_t>(u'0' + count % 10);
  header += fields.reserved;
  header += optional;
  for (std::size_t i = 4, rest = total; i >= 1; --i, rest /= 10) {
    header[i] = static_cast<char16_t>(u'0' + rest % 10);
  }

  SecretBuffer<std::uint8_t> message(header.size() + dataSize);
  appendAscii(message, header);
  std::uint8_t *const data = message.end();
  const std::size_t bits = key.size * 8;
  data[0] = static_cast<std::uint8_t>(bits >> 8);
  data[1] = static_cast<std::uint8_t>(bits);
  std::copy_n(key.bytes.begin(), key.size, data + 2);
  random.fill(std::span(data + 2 + key.size, dataSize - 2 - key.size));
  message.commit(dataSize);
  const Mac mac = computeCmac(keys.authentication(), std::span(message.data(), message.size()));
  const std::span<std::uint8_t> dataSpan(data, dataSize);
  encryptCbc(keys.encryption(), std::span(mac.bytes.data(), macSize), dataSpan, dataSpan);
  out = header;
  appendHex(out, dataSpan);
  appendHex(out, std::span(mac.bytes.data(), macSize));
  return true;
}

} // namespace tolvane
