// -dukptkeys, and DUKPT where the PIN-block commands take their key: the checks on the BDK, the
// KSN and -workingkey.

#include <algorithm>
#include <array>
#include <string_view>

#include "base/digits.hpp"
#include "cli/block_key.hpp"
#include "cli/commands.hpp"
#include "cli/errors.hpp"
#include "crypto/dukpt.hpp"

namespace tolvane {

namespace {

constexpr const char16_t *kWorkingKeyWithoutAesBdk =
    u"workingkey requires either of -bdkaes or -bdkaesfile";

// Every use of a BDK: a KSN of the BDK's kind, and -workingkey only with an AES BDK at least as
// strong, since a derived key is never stronger than the key it comes from.
void checkDukptWords(const CommandLine &cl) {
  const KeySlot &bdk = *cl.key(Role::Bdk);
  const bool aes = bdk.family() == CipherFamily::Aes;
  if (cl.ksn.empty()) {
    throw excCL_RequiredParameterMissing(u"BDK requires -ksn");
  }
  if (cl.ksn.size != dukptKsnSize(bdk.family())) {
    throw excCL_MalformedParameter(aes ? u"KSN must be 24 hex digits with an AES BDK"
                                       : u"KSN must be 20 hex digits with a Triple-DES BDK");
  }
  if (cl.workingKey >= 0 && !aes) {
    throw excCL_RequiredParameterMissing(kWorkingKeyWithoutAesBdk);
  }
  // Triple-DES working keys are weaker than any AES BDK.
  const CipherEntry &working = cipherEntry(workingKeyOf(cl));
  if (aes && working.family == CipherFamily::Aes && working.keySize > bdk.bytes().size()) {
    throw excCL_MalformedParameter(Text(u"workingkey aes") +
                                   (working.keySize == 32 ? u"256" : u"192") +
                                   u" is stronger than the BDK");
  }
}

// One line of -dukptkeys: the name, blanks to the column of the keys, the key and its check
// value. Appended straight to the answer, so that no other text holds the key.
void appendKeyLine(Text &answer, std::u16string_view name, std::size_t column,
                   const DukptKey &key) {
  answer += name;
  answer.append(column - name.size(), u' ');
  appendHex(answer, key.span());
  answer += u"  KCV ";
  const CheckValue value = keyCheckValue(Cipher(key.algorithm, key.span()));
  appendHex(answer, std::span(value.bytes.data(), value.size));
  answer += u'\n';
}

// The working keys each scheme shows, by usage, with their names. Each name says which side of
// its variant a Triple-DES key is on: the transaction key has none yet, the working keys are
// the transaction key after theirs.
struct KeyLine {
  DukptUsage usage;
  std::u16string_view name;
};

struct SchemeLines {
  std::u16string_view initial;
  std::u16string_view transaction;
  std::span<const KeyLine> working;
};

constexpr KeyLine kTdesWorkingKeys[] = {
    {DukptUsage::Pin, u"PIN key (post-variant)"},
    {DukptUsage::MacRequest, u"MAC request key (post-variant)"},
    {DukptUsage::MacResponse, u"MAC response key (post-variant)"},
    {DukptUsage::DataRequest, u"data request key (post-variant, one-way)"},
    {DukptUsage::DataResponse, u"data response key (post-variant, one-way)"},
};
constexpr KeyLine kAesWorkingKeys[] = {
    {DukptUsage::Pin, u"PIN encryption key"},
    {DukptUsage::MacRequest, u"MAC generation key"},
    {DukptUsage::MacResponse, u"MAC verification key"},
    {DukptUsage::DataRequest, u"data encryption key"},
    {DukptUsage::DataResponse, u"data decryption key"},
};
constexpr SchemeLines kTdesLines{u"initial key (IPEK)", u"transaction key (pre-variant)",
                                 kTdesWorkingKeys};
constexpr SchemeLines kAesLines{u"initial key", u"derivation key", kAesWorkingKeys};

// Two blanks after the longest of the names.
constexpr std::size_t columnOf(const SchemeLines &lines) {
  std::size_t longest = std::max(lines.initial.size(), lines.transaction.size());
  for (const KeyLine &line : lines.working) {
    longest = std::max(longest, line.name.size());
  }
  return longest + 2;
}

} // namespace

void checkDukptKeys(const CommandLine &cl) {
  if (cl.key(Role::Bdk) == nullptr || cl.ksn.empty()) {
    throw excCL_RequiredParameterMissing(
        u"dukptkeys requires -ksn, and one of -bdk, -bdkfile, -bdkaes or -bdkaesfile");
  }
  checkDukptWords(cl);
}

// A KSN whose counter is 0 is the one the terminal was loaded with: only its initial key.
void answerDukptKeys(const CommandLine &cl, Text &answer) {
  requireUse(cl, Role::Bdk, KeyUse::DeriveDukpt);
  // Room for every line at once: a text that grew would leave its earlier keys behind in the
  // memory it gave back.
  answer.reserve(answer.size() + 1024);
  const KeySlot &bdk = *cl.key(Role::Bdk);
  const bool aes = bdk.family() == CipherFamily::Aes;
  const SchemeLines &lines = aes ? kAesLines : kTdesLines;
  const std::size_t column = columnOf(lines);
  const Secret<DukptKeyChain> keys = dukptKeyChain(bdk.algorithm(), bdk.bytes(), cl.ksn.span(),
                                                   aes ? workingKeyOf(cl) : CipherAlgorithm::Tdes2);
  appendKeyLine(answer, lines.initial, column, keys->initial);
  if (!keys->transaction) {
    return;
  }
  appendKeyLine(answer, lines.transaction, column, *keys->transaction);
  for (const KeyLine &line : lines.working) {
    appendKeyLine(answer, line.name, column, keys->working[static_cast<std::size_t>(line.usage)]);
  }
}

void checkNoDukptWords(const CommandLine &cl) {
  if (!cl.ksn.empty()) {
    throw excCL_RequiredParameterMissing(
        u"ksn requires one of -bdk, -bdkfile, -bdkaes or -bdkaesfile");
  }
  if (cl.workingKey >= 0) {
    throw excCL_RequiredParameterMissing(kWorkingKeyWithoutAesBdk);
  }
}

void checkDukptWorkingKeyWords(const CommandLine &cl) {
  checkDukptWords(cl);
  if (dukptCounter(cl.key(Role::Bdk)->family(), cl.ksn.span()) == 0) {
    throw excCL_MalformedParameter(u"KSN counter 0 names no transaction");
  }
}

void checkDukptBlockWords(const CommandLine &cl, const PinBlockFormat &format) {
  const KeySlot *bdk = cl.key(Role::Bdk);
  if (bdk == nullptr) {
    checkNoDukptWords(cl);
    return;
  }
  if (cl.key(Role::Kpe) != nullptr) {
    throw excCL_MalformedParameter(u"BDK and KPE must not be given together");
  }
  checkDukptWords(cl);
  // An AES BDK may derive Triple-DES PIN keys, for the formats that take them.
  const CipherFamily working = cipherEntry(dukptWorkingAlgorithm(cl)).family;
  if (bdk->family() == CipherFamily::Aes && working != format.keyFamily &&
      working == CipherFamily::Des) {
    throw excCL_MalformedParameter(Text(u"format ") + Text(format.name) +
                                   u" takes an AES working key: -workingkey aes128, aes192 "
                                   u"or aes256");
  }
  if (working != format.keyFamily) {
    Text message(u"format ");
    message += format.name;
    if (format.keyFamily == CipherFamily::Aes) {
      throw excCL_RequiredParameterMissing(message +
                                           u" requires an AES BDK: -bdkaes or -bdkaesfile");
    }
    throw excCL_MalformedParameter(message + u" takes a Triple-DES BDK (-bdk or -bdkfile)");
  }
  // A terminal's first transaction has counter 1; counter 0 is the key it was loaded with.
  if (dukptCounter(bdk->family(), cl.ksn.span()) == 0) {
    throw excCL_MalformedParameter(u"KSN counter 0 names no transaction");
  }
}

} // namespace tolvane
