#pragma once
// DUKPT as a host runs it: the keys of one transaction, derived from a base derivation key (BDK)
// and the transaction's key serial number (KSN). A terminal keeps a few future keys and skips
// the counters it could not reach cheaply; the host derives the key of any counter directly,
// those included. Keys and KSNs are bytes; nothing here allocates or throws. Every key comes
// back in a Secret, so that the chain of derivations leaves no copy behind.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "base/secret.hpp"

namespace tolvane {

// Triple-DES DUKPT. The KSN is 10 bytes: the initial key's serial number in its first 59 bits
// and the transaction counter in its last 21 (the low five bits of byte 7, then bytes 8 and 9).
// Keys are two-key Triple-DES, K1||K2.
constexpr std::size_t kTdesKsnSize = 10;
using TdesKsn = std::span<const std::uint8_t, kTdesKsnSize>;
using TdesDukptKey = std::array<std::uint8_t, 16>;

enum class TdesDukptUsage : std::uint8_t {
  Pin,
  MacRequest,
  MacResponse,
  DataRequest,
  DataResponse
};

std::uint32_t tdesKsnCounter(TdesKsn ksn);

// The initial key (IPEK) of the KSN's serial number, whatever its counter. bdk: 16 bytes, or 24
// for a three-key BDK, whose variant then changes each of its three keys alike.
Secret<TdesDukptKey> tdesInitialKey(std::span<const std::uint8_t> bdk, TdesKsn ksn);

// The transaction key of the KSN's counter, before any variant: one non-reversible step per
// counter bit set. A counter of 0 names no transaction, and gives the initial key back.
Secret<TdesDukptKey> tdesTransactionKey(const TdesDukptKey &initialKey, TdesKsn ksn);

// The transaction key under the variant of usage; the two data keys then also go through the
// one-way step, each half enciphered under the whole variant key.
Secret<TdesDukptKey> tdesWorkingKey(const TdesDukptKey &transactionKey, TdesDukptUsage usage);

// AES DUKPT. The KSN is 12 bytes: the initial key ID (8 bytes), then a 32-bit counter, most
// significant byte first. Keys are AES keys of 16, 24 or 32 bytes.
constexpr std::size_t kAesKsnSize = 12;
using AesKsn = std::span<const std::uint8_t, kAesKsnSize>;

struct AesDukptKey {
  std::array<std::uint8_t, 32> bytes{};
  std::size_t size = 0; // 16, 24 or 32

  std::span<const std::uint8_t> span() const { return {bytes.data(), size}; }
};

// The key usage a working key is derived for; the values are those of the derivation data.
enum class AesDukptUsage : std::uint16_t { Pin = 0x1000, Mac = 0x2000, Data = 0x3000 };

std::uint32_t aesKsnCounter(AesKsn ksn);

// The initial key of the KSN's initial key ID: of the BDK's size (bdk: 16, 24 or 32 bytes).
Secret<AesDukptKey> aesInitialKey(std::span<const std::uint8_t> bdk, AesKsn ksn);

// The derivation key of the KSN's counter, of the initial key's size: one derivation per
// counter bit set. A counter of 0 names no transaction, and gives the initial key back.
Secret<AesDukptKey> aesDerivationKey(const AesDukptKey &initialKey, AesKsn ksn);

// The working key for usage: keySize bytes (16, 24 or 32), which may differ from the derivation
// key's size but must not exceed it.
Secret<AesDukptKey> aesWorkingKey(const AesDukptKey &derivationKey, AesKsn ksn, AesDukptUsage usage,
                                  std::size_t keySize);

} // namespace tolvane
