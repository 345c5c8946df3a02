#include "crypto/dukpt.hpp"

#include <algorithm>
#include <cassert>

#include "base/digits.hpp"
#include "crypto/cipher.hpp"

// Bytes are in the order the KSNs and keys are written in hex: byte 0 first, and in a counter
// the most significant byte first.

namespace tolvane {

namespace {

// Triple-DES DUKPT.

constexpr std::uint32_t kTdesCounterBits = 0x1FFFFF;

// The variant that makes the right half of the initial key and the second half of each
// transaction-key step, on each 8-byte DES key of a key.
constexpr std::array<std::uint8_t, 8> kKeyVariant = {0xC0, 0xC0, 0xC0, 0xC0, 0, 0, 0, 0};

// The working-key variants, one per TdesDukptUsage in its order: each 8-byte half of the key
// has FF at this byte (PIN ...FF, MAC request ..FF.., MAC response ....FF...., and so on).
constexpr std::size_t kUsageVariantByte[] = {7, 6, 4, 5, 3};

std::uint64_t loadBigEndian(const std::uint8_t *bytes, std::size_t count) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < count; ++i) {
    value = value << 8 | bytes[i];
  }
  return value;
}

void storeBigEndian(std::uint64_t value, std::uint8_t *bytes, std::size_t count) {
  for (std::size_t i = count; i-- > 0; value >>= 8) {
    bytes[i] = static_cast<std::uint8_t>(value);
  }
}

// out = DES_left(register XOR right) XOR right: single DES under the left key, run through the
// seam as left||left.
void desStep(const std::uint8_t *left, const std::uint8_t *right, const std::uint8_t *reg,
             std::uint8_t *out) {
  Secret<TdesDukptKey> single;
  std::copy_n(left, 8, single->begin());
  std::copy_n(left, 8, single->begin() + 8);
  const Cipher des(CipherAlgorithm::Tdes, *single);
  xorBlocks(out, reg, right);
  des.encrypt(out, out);
  xorBlocks(out, out, right);
}

// The non-reversible step of the transaction key for one register value: the key's own halves
// give the new right half, the halves of the key under the variant the new left half.
void nonReversibleStep(TdesDukptKey &key, const std::array<std::uint8_t, 8> &reg) {
  Secret<TdesDukptKey> next;
  desStep(key.data(), key.data() + 8, reg.data(), next->data() + 8);
  Secret<TdesDukptKey> varied(key);
  xorBlocks(varied->data(), varied->data(), kKeyVariant.data());
  xorBlocks(varied->data() + 8, varied->data() + 8, kKeyVariant.data());
  desStep(varied->data(), varied->data() + 8, reg.data(), next->data());
  key = *next;
}

// AES DUKPT.

// The usages of the keys between the BDK and the working keys.
constexpr std::uint16_t kUsageDerivationKey = 0x8000;
constexpr std::uint16_t kUsageInitialKey = 0x8001;

// Derives a key of size bytes under deriving: the derivation data enciphered once per 16 bytes
// of key, its byte 1 counting the blocks from 1. The data: version 01, the block counter, the
// usage, the algorithm (2, 3 or 4 for AES-128, -192 or -256: the size in bytes over 8), the
// length in bits, and 8 bytes of context. Only key bytes reach out; a partial last block's
// surplus is cleared.
void deriveAesKey(const Cipher &deriving, std::uint16_t usage, std::size_t size,
                  const std::array<std::uint8_t, 8> &context, AesDukptKey &out) {
  std::array<std::uint8_t, 16> data{};
  data[0] = 0x01;
  storeBigEndian(usage, data.data() + 2, 2);
  storeBigEndian(size / 8, data.data() + 4, 2);
  storeBigEndian(size * 8, data.data() + 6, 2);
  std::copy(context.begin(), context.end(), data.begin() + 8);
  for (std::size_t block = 0; 16 * block < size; ++block) {
    data[1] = static_cast<std::uint8_t>(block + 1);
    deriving.encrypt(data.data(), out.bytes.data() + 16 * block);
  }
  std::fill(out.bytes.begin() + static_cast<std::ptrdiff_t>(size), out.bytes.end(), 0);
  out.size = size;
}

// The context below the initial key: initial key ID bytes 4 to 7, then a counter.
std::array<std::uint8_t, 8> aesContext(AesKsn ksn, std::uint32_t counter) {
  std::array<std::uint8_t, 8> context{};
  std::copy_n(ksn.begin() + 4, 4, context.begin());
  storeBigEndian(counter, context.data() + 4, 4);
  return context;
}

} // namespace

std::uint32_t tdesKsnCounter(TdesKsn ksn) {
  return static_cast<std::uint32_t>(loadBigEndian(ksn.data() + 7, 3)) & kTdesCounterBits;
}

Secret<TdesDukptKey> tdesInitialKey(std::span<const std::uint8_t> bdk, TdesKsn ksn) {
  assert(bdk.size() == 16 || bdk.size() == 24);
  std::array<std::uint8_t, 8> serial{};
  std::copy_n(ksn.begin(), 8, serial.begin());
  serial[7] &= 0xE0; // the counter's top five bits
  Secret<TdesDukptKey> initial;
  Cipher(CipherAlgorithm::Tdes, bdk).encrypt(serial.data(), initial->data());
  Secret<std::array<std::uint8_t, 24>> varied;
  for (std::size_t i = 0; i < bdk.size(); i += 8) {
    xorBlocks(varied->data() + i, bdk.data() + i, kKeyVariant.data());
  }
  Cipher(CipherAlgorithm::Tdes, std::span(varied->data(), bdk.size()))
      .encrypt(serial.data(), initial->data() + 8);
  return initial;
}

Secret<TdesDukptKey> tdesTransactionKey(const TdesDukptKey &initialKey, TdesKsn ksn) {
  // The register is the KSN's last 8 bytes with the counter cleared; the counter's bits are set
  // in it one by one from the top, a step after each.
  const std::uint32_t counter = tdesKsnCounter(ksn);
  std::uint64_t reg = loadBigEndian(ksn.data() + 2, 8) & ~std::uint64_t{kTdesCounterBits};
  std::array<std::uint8_t, 8> regBytes{};
  Secret<TdesDukptKey> key(initialKey);
  for (std::uint32_t bit = 1u << 20; bit != 0; bit >>= 1) {
    if ((counter & bit) != 0) {
      reg |= bit;
      storeBigEndian(reg, regBytes.data(), 8);
      nonReversibleStep(*key, regBytes);
    }
  }
  return key;
}

Secret<TdesDukptKey> tdesWorkingKey(const TdesDukptKey &transactionKey, TdesDukptUsage usage) {
  Secret<TdesDukptKey> key(transactionKey);
  const std::size_t byte = kUsageVariantByte[static_cast<std::size_t>(usage)];
  (*key)[byte] ^= 0xFF;
  (*key)[8 + byte] ^= 0xFF;
  if (usage == TdesDukptUsage::DataRequest || usage == TdesDukptUsage::DataResponse) {
    const Cipher variant(CipherAlgorithm::Tdes, *key);
    variant.encrypt(key->data(), key->data());
    variant.encrypt(key->data() + 8, key->data() + 8);
  }
  return key;
}

std::uint32_t aesKsnCounter(AesKsn ksn) {
  return static_cast<std::uint32_t>(loadBigEndian(ksn.data() + 8, 4));
}

Secret<AesDukptKey> aesInitialKey(std::span<const std::uint8_t> bdk, AesKsn ksn) {
  std::array<std::uint8_t, 8> keyId{};
  std::copy_n(ksn.begin(), 8, keyId.begin());
  Secret<AesDukptKey> initial;
  deriveAesKey(Cipher(CipherAlgorithm::Aes, bdk), kUsageInitialKey, bdk.size(), keyId, *initial);
  return initial;
}

Secret<AesDukptKey> aesDerivationKey(const AesDukptKey &initialKey, AesKsn ksn) {
  const std::uint32_t counter = aesKsnCounter(ksn);
  std::uint32_t working = 0;
  Secret<AesDukptKey> key(initialKey);
  for (std::uint32_t bit = 1u << 31; bit != 0; bit >>= 1) {
    if ((counter & bit) != 0) {
      working |= bit;
      const Cipher deriving(CipherAlgorithm::Aes, key->span());
      deriveAesKey(deriving, kUsageDerivationKey, key->size, aesContext(ksn, working), *key);
    }
  }
  return key;
}

Secret<AesDukptKey> aesWorkingKey(const AesDukptKey &derivationKey, AesKsn ksn, AesDukptUsage usage,
                                  std::size_t keySize) {
  assert(keySize <= derivationKey.size);
  Secret<AesDukptKey> key;
  deriveAesKey(Cipher(CipherAlgorithm::Aes, derivationKey.span()),
               static_cast<std::uint16_t>(usage), keySize, aesContext(ksn, aesKsnCounter(ksn)),
               *key);
  return key;
}

} // namespace tolvane
