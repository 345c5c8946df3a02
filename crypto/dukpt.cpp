#include "crypto/dukpt.hpp"

#include <algorithm>
#include <cassert>

#include "base/digits.hpp"

// Bytes are in the order the KSNs and keys are written in hex: byte 0 first, and in a counter
// the most significant byte first.

namespace tolvane {

namespace {

using Block8 = std::array<std::uint8_t, 8>;

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

// ---- Triple-DES DUKPT -------------------------------------------------------------------------

constexpr std::uint32_t kTdesCounterBits = 0x1FFFFF;

// The variant that makes the right half of the initial key and the left half of each
// transaction-key step, on each 8-byte DES key of a key.
constexpr Block8 kKeyVariant = {0xC0, 0xC0, 0xC0, 0xC0, 0, 0, 0, 0};

// The working-key variants, one per DukptUsage in its order: each 8-byte half of the key has
// FF at this byte (PIN .......FF, MAC request ......FF.., MAC response ....FF...., and so on).
constexpr std::size_t kUsageVariantByte[] = {7, 6, 4, 5, 3};

std::uint32_t tdesCounter(std::span<const std::uint8_t> ksn) {
  return static_cast<std::uint32_t>(loadBigEndian(ksn.data() + 7, 3)) & kTdesCounterBits;
}

// The initial key of the KSN's serial number: the serial enciphered under the BDK, and under the
// BDK with each of its DES keys varied.
void tdesInitialKey(CipherAlgorithm bdkAlgorithm, std::span<const std::uint8_t> bdk,
                    std::span<const std::uint8_t> ksn, DukptKey &out) {
  Block8 serial{};
  std::copy_n(ksn.begin(), 8, serial.begin());
  serial[7] &= 0xE0; // the counter's top five bits
  Cipher(bdkAlgorithm, bdk).encrypt(serial.data(), out.bytes.data());
  Secret<std::array<std::uint8_t, 24>> varied;
  for (std::size_t i = 0; i < bdk.size(); i += 8) {
    xorBlocks(varied->data() + i, bdk.data() + i, kKeyVariant.data());
  }
  Cipher(bdkAlgorithm, std::span(varied->data(), bdk.size()))
      .encrypt(serial.data(), out.bytes.data() + 8);
  out.algorithm = CipherAlgorithm::Tdes2;
}

// One half of a non-reversible step: out = DES_left(register XOR right) XOR right.
void desStep(const std::uint8_t *left, const std::uint8_t *right, const Block8 &reg,
             std::uint8_t *out) {
  const Cipher des(CipherAlgorithm::Des, std::span(left, 8));
  xorBlocks(out, reg.data(), right);
  des.encrypt(out, out);
  xorBlocks(out, out, right);
}

// The transaction key of the KSN's counter: the counter's bits are set in the register one by
// one from the top, a non-reversible step after each. The key's own halves give the new right
// half, the halves under the variant the new left half.
void tdesTransactionKey(std::span<const std::uint8_t> ksn, DukptKey &key) {
  const std::uint32_t counter = tdesCounter(ksn);
  std::uint64_t reg = loadBigEndian(ksn.data() + 2, 8) & ~std::uint64_t{kTdesCounterBits};
  Block8 regBytes{};
  Secret<std::array<std::uint8_t, 16>> varied;
  Secret<std::array<std::uint8_t, 16>> next;
  for (std::uint32_t bit = 1u << 20; bit != 0; bit >>= 1) {
    if ((counter & bit) == 0) {
      continue;
    }
    reg |= bit;
    storeBigEndian(reg, regBytes.data(), 8);
    xorBlocks(varied->data(), key.bytes.data(), kKeyVariant.data());
    xorBlocks(varied->data() + 8, key.bytes.data() + 8, kKeyVariant.data());
    desStep(key.bytes.data(), key.bytes.data() + 8, regBytes, next->data() + 8);
    desStep(varied->data(), varied->data() + 8, regBytes, next->data());
    std::copy(next->begin(), next->end(), key.bytes.begin());
  }
}

// The transaction key under the variant of usage; the two data keys then also go through the
// one-way step, each half enciphered under the whole variant key.
void tdesWorkingKey(const DukptKey &transaction, DukptUsage usage, DukptKey &out) {
  out = transaction;
  const std::size_t byte = kUsageVariantByte[static_cast<std::size_t>(usage)];
  out.bytes[byte] ^= 0xFF;
  out.bytes[8 + byte] ^= 0xFF;
  if (usage == DukptUsage::DataRequest || usage == DukptUsage::DataResponse) {
    const Cipher variant(CipherAlgorithm::Tdes2, out.span());
    variant.encrypt(out.bytes.data(), out.bytes.data());
    variant.encrypt(out.bytes.data() + 8, out.bytes.data() + 8);
  }
}

// ---- AES DUKPT --------------------------------------------------------------------------------

// The usages of the keys between the BDK and the working keys, and of the working keys, one per
// DukptUsage in its order.
constexpr std::uint16_t kUsageDerivationKey = 0x8000;
constexpr std::uint16_t kUsageInitialKey = 0x8001;
constexpr std::uint16_t kWorkingUsage[] = {0x1000, 0x2000, 0x2001, 0x3000, 0x3001};

// The algorithm a derived key is named by in the derivation data.
std::uint16_t algorithmCode(CipherAlgorithm algorithm) {
  switch (algorithm) {
  case CipherAlgorithm::Tdes2:
    return 0;
  case CipherAlgorithm::Tdes3:
    return 1;
  case CipherAlgorithm::Aes128:
    return 2;
  case CipherAlgorithm::Aes192:
    return 3;
  case CipherAlgorithm::Aes256:
    return 4;
  case CipherAlgorithm::Des:
    break;
  }
  assert(false && "no AES DUKPT key is single DES");
  return 0;
}

std::uint32_t aesCounter(std::span<const std::uint8_t> ksn) {
  return static_cast<std::uint32_t>(loadBigEndian(ksn.data() + 8, 4));
}

// Derives a key of algorithm under deriving: the derivation data enciphered once per 16 bytes
// of key, its byte 1 counting the blocks from 1. The data: version 01, the block counter, the
// usage, the algorithm, the length in bits, and 8 bytes of context. Only key bytes reach out.
void deriveAesKey(const Cipher &deriving, std::uint16_t usage, CipherAlgorithm algorithm,
                  const Block8 &context, DukptKey &out) {
  const std::size_t size = cipherEntry(algorithm).keySize;
  std::array<std::uint8_t, 16> data{};
  data[0] = 0x01;
  storeBigEndian(usage, data.data() + 2, 2);
  storeBigEndian(algorithmCode(algorithm), data.data() + 4, 2);
  storeBigEndian(size * 8, data.data() + 6, 2);
  std::copy(context.begin(), context.end(), data.begin() + 8);
  Secret<std::array<std::uint8_t, 32>> derived;
  for (std::size_t block = 0; 16 * block < size; ++block) {
    data[1] = static_cast<std::uint8_t>(block + 1);
    deriving.encrypt(data.data(), derived->data() + 16 * block);
  }
  out.bytes.fill(0);
  std::copy_n(derived->begin(), size, out.bytes.begin());
  out.algorithm = algorithm;
}

// The context below the initial key: initial key ID bytes 4 to 7, then a counter.
Block8 aesContext(std::span<const std::uint8_t> ksn, std::uint32_t counter) {
  Block8 context{};
  std::copy_n(ksn.begin() + 4, 4, context.begin());
  storeBigEndian(counter, context.data() + 4, 4);
  return context;
}

void aesInitialKey(CipherAlgorithm bdkAlgorithm, std::span<const std::uint8_t> bdk,
                   std::span<const std::uint8_t> ksn, DukptKey &out) {
  Block8 keyId{};
  std::copy_n(ksn.begin(), 8, keyId.begin());
  deriveAesKey(Cipher(bdkAlgorithm, bdk), kUsageInitialKey, bdkAlgorithm, keyId, out);
}

// The derivation key of the KSN's counter, of the initial key's size: one derivation per
// counter bit set, from the top.
void aesDerivationKey(std::span<const std::uint8_t> ksn, DukptKey &key) {
  const std::uint32_t counter = aesCounter(ksn);
  std::uint32_t working = 0;
  for (std::uint32_t bit = 1u << 31; bit != 0; bit >>= 1) {
    if ((counter & bit) != 0) {
      working |= bit;
      const Cipher deriving(key.algorithm, key.span());
      deriveAesKey(deriving, kUsageDerivationKey, key.algorithm, aesContext(ksn, working), key);
    }
  }
}

void aesWorkingKey(const Cipher &derivation, std::span<const std::uint8_t> ksn, DukptUsage usage,
                   CipherAlgorithm algorithm, DukptKey &out) {
  deriveAesKey(derivation, kWorkingUsage[static_cast<std::size_t>(usage)], algorithm,
               aesContext(ksn, aesCounter(ksn)), out);
}

bool isAes(CipherAlgorithm algorithm) { return cipherEntry(algorithm).family == CipherFamily::Aes; }

} // namespace

std::uint32_t dukptCounter(CipherFamily bdkFamily, std::span<const std::uint8_t> ksn) {
  return bdkFamily == CipherFamily::Aes ? aesCounter(ksn) : tdesCounter(ksn);
}

Secret<DukptKey> dukptWorkingKey(CipherAlgorithm bdkAlgorithm, std::span<const std::uint8_t> bdk,
                                 std::span<const std::uint8_t> ksn, DukptUsage usage,
                                 CipherAlgorithm workingAlgorithm) {
  Secret<DukptKey> key;
  Secret<DukptKey> chain;
  if (isAes(bdkAlgorithm)) {
    aesInitialKey(bdkAlgorithm, bdk, ksn, *chain);
    aesDerivationKey(ksn, *chain);
    aesWorkingKey(Cipher(chain->algorithm, chain->span()), ksn, usage, workingAlgorithm, *key);
  } else {
    assert(workingAlgorithm == CipherAlgorithm::Tdes2);
    tdesInitialKey(bdkAlgorithm, bdk, ksn, *chain);
    tdesTransactionKey(ksn, *chain);
    tdesWorkingKey(*chain, usage, *key);
  }
  return key;
}

Secret<DukptKeyChain> dukptKeyChain(CipherAlgorithm bdkAlgorithm, std::span<const std::uint8_t> bdk,
                                    std::span<const std::uint8_t> ksn,
                                    CipherAlgorithm workingAlgorithm) {
  Secret<DukptKeyChain> keys;
  const bool aes = isAes(bdkAlgorithm);
  if (aes) {
    aesInitialKey(bdkAlgorithm, bdk, ksn, keys->initial);
  } else {
    tdesInitialKey(bdkAlgorithm, bdk, ksn, keys->initial);
  }
  if (dukptCounter(cipherEntry(bdkAlgorithm).family, ksn) == 0) {
    return keys;
  }
  DukptKey &transaction = keys->transaction.emplace(keys->initial);
  if (aes) {
    aesDerivationKey(ksn, transaction);
    const Cipher derivation(transaction.algorithm, transaction.span());
    for (std::size_t i = 0; i < keys->working.size(); ++i) {
      aesWorkingKey(derivation, ksn, static_cast<DukptUsage>(i), workingAlgorithm,
                    keys->working[i]);
    }
  } else {
    tdesTransactionKey(ksn, transaction);
    for (std::size_t i = 0; i < keys->working.size(); ++i) {
      tdesWorkingKey(transaction, static_cast<DukptUsage>(i), keys->working[i]);
    }
  }
  return keys;
}

} // namespace tolvane
