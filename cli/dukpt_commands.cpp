// -dukptkeys, and DUKPT where the PIN-block commands take their key: the checks on the BDK, the
// KSN and -workingkey, and the PIN key derived for a block.

#include <algorithm>
#include <array>
#include <string_view>

#include "base/digits.hpp"
#include "cli/commands.hpp"
#include "cli/errors.hpp"
#include "crypto/dukpt.hpp"

namespace tolvane {

namespace {

constexpr const char16_t *kWorkingKeyWithoutAesBdk =
    u"workingkey requires either of -bdkaes or -bdkaesfile";

bool isAes(const KeySlot &bdk) { return bdk.algorithm() == CipherAlgorithm::Aes; }

// The KSN, checked to fit the BDK: its first 10 bytes are a Triple-DES KSN, all 12 an AES one.
using KsnBytes = std::array<std::uint8_t, kAesKsnSize>;

KsnBytes ksnBytes(const CommandLine &cl) {
  KsnBytes bytes{};
  hexToBytes(cl.ksn, bytes.data());
  return bytes;
}

TdesKsn tdesKsn(const KsnBytes &ksn) { return std::span(ksn).first<kTdesKsnSize>(); }

std::size_t workingKeySize(const CommandLine &cl) {
  return cl.workingKeySize != 0 ? cl.workingKeySize : 16;
}

// Every use of a BDK: a KSN of the BDK's kind, and -workingkey only with an AES BDK at least as
// strong, since a derived key is never stronger than the key it comes from.
void checkDukptWords(const CommandLine &cl) {
  const bool aes = isAes(*cl.bdk);
  if (cl.ksn.empty()) {
    throw excCL_RequiredParameterMissing(u"BDK requires -ksn");
  }
  if (cl.ksn.size() != (aes ? 2 * kAesKsnSize : 2 * kTdesKsnSize)) {
    throw excCL_MalformedParameter(aes ? u"KSN must be 24 hex digits with an AES BDK"
                                       : u"KSN must be 20 hex digits with a Triple-DES BDK");
  }
  if (cl.workingKeySize != 0 && !aes) {
    throw excCL_RequiredParameterMissing(kWorkingKeyWithoutAesBdk);
  }
  if (cl.workingKeySize > cl.bdk->bytes().size()) {
    throw excCL_MalformedParameter(cl.workingKeySize == 32
                                       ? u"workingkey aes256 is stronger than the BDK"
                                       : u"workingkey aes192 is stronger than the BDK");
  }
}

std::uint32_t counterOf(const CommandLine &cl, const KsnBytes &ksn) {
  return isAes(*cl.bdk) ? aesKsnCounter(ksn) : tdesKsnCounter(tdesKsn(ksn));
}

// One line of -dukptkeys: the name, blanks to the column of the keys, the key and its check
// value. Appended straight to the answer, so that no other text holds the key.
void appendKeyLine(Text &answer, std::u16string_view name, std::size_t column,
                   CipherAlgorithm algorithm, std::span<const std::uint8_t> key) {
  answer += name;
  answer.append(column - name.size(), u' ');
  appendHex(answer, key);
  answer += u"  KCV ";
  const CheckValue value = keyCheckValue(Cipher(algorithm, key));
  appendHex(answer, std::span(value.bytes.data(), value.size));
  answer += u'\n';
}

// Two blanks after the longest of the names.
template <typename Lines>
constexpr std::size_t columnAfter(std::u16string_view first, std::u16string_view second,
                                  const Lines &lines) {
  std::size_t longest = std::max(first.size(), second.size());
  for (const auto &line : lines) {
    longest = std::max(longest, line.name.size());
  }
  return longest + 2;
}

// Each name says which side of its variant a key is on: the transaction key has none yet, the
// working keys are the transaction key after theirs.
template <typename Usage> struct WorkingKeyLine {
  Usage usage;
  std::u16string_view name;
};

constexpr std::u16string_view kTdesInitial = u"initial key (IPEK)";
constexpr std::u16string_view kTdesTransaction = u"transaction key (pre-variant)";
constexpr WorkingKeyLine<TdesDukptUsage> kTdesWorkingKeys[] = {
    {TdesDukptUsage::Pin, u"PIN key (post-variant)"},
    {TdesDukptUsage::MacRequest, u"MAC request key (post-variant)"},
    {TdesDukptUsage::MacResponse, u"MAC response key (post-variant)"},
    {TdesDukptUsage::DataRequest, u"data request key (post-variant, one-way)"},
    {TdesDukptUsage::DataResponse, u"data response key (post-variant, one-way)"},
};
constexpr std::size_t kTdesColumn = columnAfter(kTdesInitial, kTdesTransaction, kTdesWorkingKeys);

constexpr std::u16string_view kAesInitial = u"initial key";
constexpr std::u16string_view kAesDerivation = u"derivation key";
constexpr WorkingKeyLine<AesDukptUsage> kAesWorkingKeys[] = {
    {AesDukptUsage::Pin, u"PIN encryption key"},
    {AesDukptUsage::Mac, u"MAC generation key"},
    {AesDukptUsage::Data, u"data encryption key"},
};
constexpr std::size_t kAesColumn = columnAfter(kAesInitial, kAesDerivation, kAesWorkingKeys);

void appendTdesKeys(const CommandLine &cl, TdesKsn ksn, Text &answer) {
  constexpr auto kTdes = CipherAlgorithm::Tdes;
  const Secret<TdesDukptKey> initial = tdesInitialKey(cl.bdk->bytes(), ksn);
  appendKeyLine(answer, kTdesInitial, kTdesColumn, kTdes, *initial);
  if (tdesKsnCounter(ksn) == 0) {
    return;
  }
  const Secret<TdesDukptKey> transaction = tdesTransactionKey(*initial, ksn);
  appendKeyLine(answer, kTdesTransaction, kTdesColumn, kTdes, *transaction);
  for (const auto &line : kTdesWorkingKeys) {
    appendKeyLine(answer, line.name, kTdesColumn, kTdes, *tdesWorkingKey(*transaction, line.usage));
  }
}

void appendAesKeys(const CommandLine &cl, AesKsn ksn, Text &answer) {
  constexpr auto kAes = CipherAlgorithm::Aes;
  const Secret<AesDukptKey> initial = aesInitialKey(cl.bdk->bytes(), ksn);
  appendKeyLine(answer, kAesInitial, kAesColumn, kAes, initial->span());
  if (aesKsnCounter(ksn) == 0) {
    return;
  }
  const Secret<AesDukptKey> derivation = aesDerivationKey(*initial, ksn);
  appendKeyLine(answer, kAesDerivation, kAesColumn, kAes, derivation->span());
  for (const auto &line : kAesWorkingKeys) {
    appendKeyLine(answer, line.name, kAesColumn, kAes,
                  aesWorkingKey(*derivation, ksn, line.usage, workingKeySize(cl))->span());
  }
}

} // namespace

void checkDukptKeys(const CommandLine &cl) {
  if (cl.bdk == nullptr || cl.ksn.empty()) {
    throw excCL_RequiredParameterMissing(
        u"dukptkeys requires -ksn, and one of -bdk, -bdkfile, -bdkaes or -bdkaesfile");
  }
  checkDukptWords(cl);
}

// A KSN whose counter is 0 is the one the terminal was loaded with: only its initial key.
void answerDukptKeys(const CommandLine &cl, Text &answer) {
  // Room for every line at once: a text that grew would leave its earlier keys behind in the
  // memory it gave back.
  answer.reserve(answer.size() + 1024);
  const KsnBytes ksn = ksnBytes(cl);
  if (isAes(*cl.bdk)) {
    appendAesKeys(cl, ksn, answer);
  } else {
    appendTdesKeys(cl, tdesKsn(ksn), answer);
  }
}

void checkDukptBlockWords(const CommandLine &cl, const PinBlockFormat &format) {
  if (cl.bdk == nullptr) {
    if (!cl.ksn.empty()) {
      throw excCL_RequiredParameterMissing(
          u"ksn requires one of -bdk, -bdkfile, -bdkaes or -bdkaesfile");
    }
    if (cl.workingKeySize != 0) {
      throw excCL_RequiredParameterMissing(kWorkingKeyWithoutAesBdk);
    }
    return;
  }
  if (cl.kpe != nullptr) {
    throw excCL_MalformedParameter(u"BDK and KPE must not be given together");
  }
  checkDukptWords(cl);
  const bool aes = isAes(*cl.bdk);
  if (format.blockSize == 16 && !aes) {
    throw excCL_RequiredParameterMissing(u"format 4 requires an AES BDK: -bdkaes or -bdkaesfile");
  }
  if (format.blockSize == 8 && aes) {
    Text message(u"format ");
    message += static_cast<char16_t>(u'0' + format.number);
    message += u" takes a Triple-DES BDK (-bdk or -bdkfile)";
    throw excCL_MalformedParameter(message);
  }
  // A terminal's first transaction has counter 1; counter 0 is the key it was loaded with.
  if (counterOf(cl, ksnBytes(cl)) == 0) {
    throw excCL_MalformedParameter(u"KSN counter 0 names no transaction");
  }
}

BlockKey::BlockKey(const CommandLine &cl) {
  if (cl.bdk == nullptr) {
    cipher_ = cl.kpe != nullptr ? &cl.kpe->cipher() : nullptr;
    return;
  }
  const KsnBytes ksn = ksnBytes(cl);
  if (isAes(*cl.bdk)) {
    const Secret<AesDukptKey> pinKey =
        aesWorkingKey(*aesDerivationKey(*aesInitialKey(cl.bdk->bytes(), ksn), ksn), ksn,
                      AesDukptUsage::Pin, workingKeySize(cl));
    derived_.emplace(CipherAlgorithm::Aes, pinKey->span());
  } else {
    const TdesKsn tdes = tdesKsn(ksn);
    const Secret<TdesDukptKey> pinKey = tdesWorkingKey(
        *tdesTransactionKey(*tdesInitialKey(cl.bdk->bytes(), tdes), tdes), TdesDukptUsage::Pin);
    derived_.emplace(CipherAlgorithm::Tdes, *pinKey);
  }
  cipher_ = &*derived_;
}

} // namespace tolvane
