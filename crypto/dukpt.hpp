#pragma once
// DUKPT as a host runs it: the keys of one transaction, derived from a base derivation key (BDK)
// and the transaction's key serial number (KSN). A terminal keeps a few future keys and skips
// the counters it could not reach cheaply; the host derives the key of any counter directly,
// those included. Keys and KSNs are bytes; nothing here allocates or throws. Every key comes
// back in a Secret, so that the chain of derivations leaves no copy behind.
//
// Two schemes, told apart by the BDK's family:
// - Triple-DES: a 10-byte KSN, the initial key's serial number in its first 59 bits and the
//   transaction counter in its last 21 (the low five bits of byte 7, then bytes 8 and 9). The
//   transaction key is two-key Triple-DES; each working key is it under a variant.
// - AES: a 12-byte KSN, the initial key ID (8 bytes) and a 32-bit counter, most significant byte
//   first. Every key is derived by AES from the one above it with derivation data that names
//   its usage and its algorithm.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "base/secret.hpp"
#include "crypto/cipher.hpp"

namespace tolvane {

constexpr std::size_t kTdesKsnSize = 10;
constexpr std::size_t kAesKsnSize = 12;

// What a working key is for. A request is what the terminal sends (it MACs and enciphers under
// the request keys); a response is what the host sends back.
enum class DukptUsage : std::uint8_t { Pin, MacRequest, MacResponse, DataRequest, DataResponse };

// The key of a MAC, or of a message enciphered either way, by the side that sends it: the
// terminal's request or the host's response.
constexpr DukptUsage dukptMacUsage(bool response) {
  return response ? DukptUsage::MacResponse : DukptUsage::MacRequest;
}
constexpr DukptUsage dukptDataUsage(bool response) {
  return response ? DukptUsage::DataResponse : DukptUsage::DataRequest;
}

struct DukptKey {
  std::array<std::uint8_t, 32> bytes{};
  CipherAlgorithm algorithm = CipherAlgorithm::Tdes2;

  std::span<const std::uint8_t> span() const {
    return {bytes.data(), cipherEntry(algorithm).keySize};
  }
};

// The KSN size of a BDK's scheme.
constexpr std::size_t dukptKsnSize(CipherFamily bdkFamily) {
  return bdkFamily == CipherFamily::Aes ? kAesKsnSize : kTdesKsnSize;
}

// The transaction counter of a KSN of the BDK's scheme (ksn: dukptKsnSize bytes). 0 names no
// transaction: it is the KSN the terminal was loaded with.
std::uint32_t dukptCounter(CipherFamily bdkFamily, std::span<const std::uint8_t> ksn);

// The working key of usage for the transaction ksn names. bdk: a two- or three-key Triple-DES
// key, or an AES key; ksn: dukptKsnSize bytes, a counter other than 0. workingAlgorithm: with a
// Triple-DES BDK it must be Tdes2; with an AES BDK an AES algorithm no stronger than the BDK, or
// Tdes2 or Tdes3. The data keys of Triple-DES DUKPT include the one-way step.
Secret<DukptKey> dukptWorkingKey(CipherAlgorithm bdkAlgorithm, std::span<const std::uint8_t> bdk,
                                 std::span<const std::uint8_t> ksn, DukptUsage usage,
                                 CipherAlgorithm workingAlgorithm);

// Every key of the chain, for showing: the initial key (IPEK), then, unless the counter is 0,
// the key of the transaction's counter (Triple-DES: the transaction key before any variant;
// AES: the derivation key) and the working key of each usage, in the order of DukptUsage.
struct DukptKeyChain {
  DukptKey initial;
  std::optional<DukptKey> transaction;
  std::array<DukptKey, 5> working;
};
Secret<DukptKeyChain> dukptKeyChain(CipherAlgorithm bdkAlgorithm, std::span<const std::uint8_t> bdk,
                                    std::span<const std::uint8_t> ksn,
                                    CipherAlgorithm workingAlgorithm);

} // namespace tolvane
