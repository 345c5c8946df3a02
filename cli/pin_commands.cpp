// The PVV, PIN-block and IBM 3624 offset commands.

#include <string>

#include "base/digits.hpp"
#include "card/luhn.hpp"
#include "cli/block_key.hpp"
#include "cli/commands.hpp"
#include "cli/errors.hpp"
#include "cli/platform.hpp"
#include "cli/walk.hpp"
#include "pin/ibm3624.hpp"
#include "pin/pin_block.hpp"
#include "pin/pvv.hpp"

namespace tolvane {

namespace {

int pvvValue(std::u16string_view pvv) {
  int value = 0;
  for (const char16_t c : pvv) {
    value = value * 10 + digitValue(c);
  }
  return value;
}

std::u16string_view firstFour(std::u16string_view pin) { return pin.substr(0, 4); }

const Cipher *cipherOf(const KeySlot *key) { return key != nullptr ? &key->cipher() : nullptr; }

using NoBytes = std::span<const std::uint8_t>;

void require(bool given, const char16_t *message) {
  if (!given) {
    throw excCL_RequiredParameterMissing(message);
  }
}

// "format 4 ..." or "toformat 4 ...": the messages of the format checks name the option.
Text formatMessage(std::u16string_view option, const PinBlockFormat &format,
                   std::u16string_view rest) {
  Text message(option);
  message += u' ';
  message += format.name;
  message += rest;
  return message;
}

// The name of a key family in messages.
std::u16string_view familyName(CipherFamily family) {
  return family == CipherFamily::Aes ? u"AES" : u"Triple-DES";
}

// "-kpeaes or -kpeaesfile": the words that give a role's key of one family.
Text keyWords(Role role, CipherFamily family) {
  Text words(u"-");
  words += keyRole(role).name;
  words += family == CipherFamily::Aes ? u"aes" : u"";
  return words + u" or " + words + u"file";
}

// A key fits a format: of the format's family, or none for a format with a clear form.
void checkKeyFits(const PinBlockFormat &format, const KeySlot *key, const char16_t *option,
                  Role role) {
  const bool fits = key == nullptr ? format.clearForm : key->family() == format.keyFamily;
  if (fits) {
    return;
  }
  if (!format.clearForm) {
    throw excCL_RequiredParameterMissing(
        formatMessage(option, format,
                      Text(u" requires an ") + Text(familyName(format.keyFamily)) + u" key: " +
                          keyWords(role, format.keyFamily)));
  }
  throw excCL_MalformedParameter(
      formatMessage(option, format,
                    Text(u" takes a ") + Text(familyName(format.keyFamily)) + u" key (" +
                        keyWords(role, format.keyFamily) + u") or none"));
}

// The key a block is read or made under fits the format: the KPE, or the BDK with its words.
void checkBlockKeyFits(const CommandLine &cl, const PinBlockFormat &format) {
  checkDukptBlockWords(cl, format);
  if (cl.key(Role::Bdk) == nullptr) {
    checkKeyFits(format, cl.key(Role::Kpe), u"format", Role::Kpe);
  }
}

// A format that holds the whole PAN takes only digits, and only as many as it holds.
void checkPanFits(const CommandLine &cl, const PinBlockFormat &format, const char16_t *option) {
  if (format.longestPan != 0 && (cl.pan.size() > format.longestPan || !allDecimal(cl.pan))) {
    Text rest(u" takes a PAN of 1 to ");
    appendDecimal(rest, format.longestPan);
    throw excCL_MalformedParameter(formatMessage(option, format, rest + u" digits"));
  }
}

// The Luhn check where the PAN counts: for a format that binds it, or a PAN given anyway.
bool checkPanFor(const CommandLine &cl, const PinBlockFormat &format) {
  if (format.bindsPan || !cl.pan.empty()) {
    checkPan(cl);
  }
  return format.bindsPan;
}

PinBlock blockOf(const CommandLine &cl) {
  PinBlock block;
  block.size = cl.pinBlockHex.size() / 2;
  hexToBytes(cl.pinBlockHex, block.bytes.data());
  return block;
}

// The IBM 3624 commands take shorter PINs than the PIN blocks carry.
constexpr std::size_t kLongestOffsetPin = 12;
constexpr const char16_t *kOffsetPinLength = u"PIN must be 4 to 12 digits for an offset";
constexpr const char16_t *kOffsetTooLong = u"offset must not be longer than the PIN";

constexpr const char16_t *kPinLengthsFrom = u" takes a PIN of 4 to ";

NaturalPinInputs naturalPinInputsOf(const CommandLine &cl) {
  return {cl.validationData, cl.validationPad.front(), cl.decimalisation};
}

// -calcpvv and -calcoffset read the PIN from a block, as an HSM makes a PVV or an offset when a
// cardholder selects a PIN. A -calcpvv command line of the original words alone, which gives
// -pinblock without -pin, keeps asking for -pin: the block is its PIN's source only with -format,
// or in a batch.
bool calcPvvFromBlock(const CommandLine &cl) {
  return cl.pin.empty() && !cl.pinBlockHex.empty() &&
         (cl.request || commandLineGave(cl, u"-format"));
}

// The PIN of a command that takes it from a block or from -pin.
Secret<Text> pinOf(const CommandLine &cl, bool fromBlock) {
  return fromBlock ? pinOfBlock(cl, formatOf(cl)) : Secret<Text>(Text(cl.pin));
}

bool offsetMatches(const CommandLine &cl, std::u16string_view pin) {
  return verifyPinOffset(pin, cl.offset, naturalPinInputsOf(cl), cl.key(Role::Kpv)->cipher());
}

} // namespace

const PinBlockFormat &formatOf(const CommandLine &cl) { return *findPinBlockFormat(cl.format); }
const PinBlockFormat &toFormatOf(const CommandLine &cl) {
  return *findPinBlockFormat(cl.toFormat < 0 ? cl.format : cl.toFormat);
}

void checkBlockWords(const CommandLine &cl, const PinBlockFormat &format) {
  if (cl.pinBlockHex.size() != 2 * format.blockSize) {
    throw excCL_MalformedParameter(formatMessage(u"format", format,
                                                 format.blockSize == 16
                                                     ? u" takes a 32-digit pinblock: -pinblockaes"
                                                     : u" takes a 16-digit pinblock: -pinblock"));
  }
  checkBlockKeyFits(cl, format);
  checkPanFits(cl, format, u"format");
}

Secret<Text> pinOfBlock(const CommandLine &cl, const PinBlockFormat &format) {
  const Secret<PinBlock> block(blockOf(cl));
  const BlockKey key(cl, KeyUse::ReadPinBlock);
  return decodePinBlock(format, *block, cl.pan, key.cipher());
}

void checkPan(const CommandLine &cl) {
  if (!cl.suppressLuhn && !luhnCheck(cl.pan)) {
    throw excCL_MalformedParameter(u"PAN must be 13-19 digits which pass the Luhn check");
  }
}

void checkVerify(const CommandLine &cl) {
  checkPan(cl);
  require(!cl.pan.empty() && cl.pvki >= 0 && !cl.pvv.empty() && !cl.pinBlockHex.empty() &&
              cl.key(Role::Kpv),
          u"verify requires -pan, -pvki, -pvv, -pinblock, and either of -kpv or -kpvfile");
  checkBlockWords(cl, formatOf(cl));
}

void answerVerify(const CommandLine &cl, Text &answer) {
  requireUse(cl, Role::Kpv, KeyUse::VerifyPvv);
  const Secret<Text> pin = pinOfBlock(cl, formatOf(cl));
  const int computed = computePvv(cl.pan, cl.pvki, firstFour(*pin), cl.key(Role::Kpv)->cipher());
  answer.push_back(computed == pvvValue(cl.pvv) ? u'Y' : u'N');
}

void checkCalcPvv(const CommandLine &cl) {
  checkPan(cl);
  const bool fromBlock = calcPvvFromBlock(cl);
  require(!cl.pan.empty() && cl.pvki >= 0 && (fromBlock || !cl.pin.empty()) && cl.key(Role::Kpv),
          u"calcpvv requires -pan, -pvki, -pin, and either of -kpv or -kpvfile");
  if (fromBlock) {
    checkBlockWords(cl, formatOf(cl));
  }
}

void answerCalcPvv(const CommandLine &cl, Text &answer) {
  requireUse(cl, Role::Kpv, KeyUse::ComputePvv);
  const Secret<Text> pin = pinOf(cl, calcPvvFromBlock(cl));
  appendPvv(answer, computePvv(cl.pan, cl.pvki, firstFour(*pin), cl.key(Role::Kpv)->cipher()));
}

void checkCalcPinBlock(const CommandLine &cl) {
  const PinBlockFormat &format = formatOf(cl);
  if (checkPanFor(cl, format)) {
    require(!cl.pan.empty() && !cl.pin.empty(), u"calcpinblock requires -pan, and -pin");
  } else {
    require(!cl.pin.empty(), u"calcpinblock requires -pin");
  }
  if (cl.pin.size() > format.maxPinLength) {
    Text rest(kPinLengthsFrom);
    appendDecimal(rest, format.maxPinLength);
    throw excCL_MalformedParameter(formatMessage(u"format", format, rest + u" digits"));
  }
  checkBlockKeyFits(cl, format);
  checkPanFits(cl, format, u"format");
}

void answerCalcPinBlock(const CommandLine &cl, Text &answer) {
  const BlockKey key(cl, KeyUse::MakePinBlock);
  appendHex(answer,
            makePinBlock(formatOf(cl), cl.pin, cl.pan, key.cipher(), systemRandom())->span());
}

void checkUncalcPinBlock(const CommandLine &cl) {
  const PinBlockFormat &format = formatOf(cl);
  if (checkPanFor(cl, format)) {
    require(!cl.pan.empty() && !cl.pinBlockHex.empty(), u"uncalcpinblock requires -pan, -pinblock");
  } else {
    require(!cl.pinBlockHex.empty(), u"uncalcpinblock requires -pinblock");
  }
  checkBlockWords(cl, format);
}

void answerUncalcPinBlock(const CommandLine &cl, Text &answer) {
  answer += *pinOfBlock(cl, formatOf(cl));
}

void checkTranslate(const CommandLine &cl) {
  const PinBlockFormat &from = formatOf(cl);
  const PinBlockFormat &to = toFormatOf(cl);
  // The same PAN goes in and out, so it is needed when either side binds it.
  if (from.bindsPan || to.bindsPan || !cl.pan.empty()) {
    checkPan(cl);
  }
  if (from.bindsPan || to.bindsPan) {
    require(!cl.pan.empty() && !cl.pinBlockHex.empty(),
            u"translate requires -pan, and -pinblock or -pinblockaes");
  } else {
    require(!cl.pinBlockHex.empty(), u"translate requires -pinblock or -pinblockaes");
  }
  checkBlockWords(cl, from);
  checkKeyFits(to, cl.key(Role::ToKpe), u"toformat", Role::ToKpe);
  checkPanFits(cl, to, u"toformat");
}

void answerTranslate(const CommandLine &cl, Text &answer) {
  const PinBlockFormat &from = formatOf(cl);
  const PinBlockFormat &to = toFormatOf(cl);
  if (!mayTranslate(from, to)) {
    throw excProblem(Text(u"a format ") + Text(from.name) +
                     u" pinblock may not be translated to format " + Text(to.name));
  }
  requireUse(cl, Role::ToKpe, KeyUse::MakePinBlock);
  // The input key of a DUKPT block is a derived two-key one: never single DES.
  const KeySlot *fromKey = cl.key(Role::Bdk) != nullptr ? nullptr : cl.key(Role::Kpe);
  const KeySlot *toKey = cl.key(Role::ToKpe);
  switch (translationKeyProblem(cipherOf(fromKey), fromKey ? fromKey->bytes() : NoBytes{},
                                cipherOf(toKey), toKey ? toKey->bytes() : NoBytes{})) {
  case TranslationKeyProblem::None:
    break;
  case TranslationKeyProblem::SingleDes:
    throw excProblem(u"a PIN may not be translated to a single-DES key from a stronger one");
  case TranslationKeyProblem::WeakDes:
    throw excProblem(u"a PIN may not be translated to a key with a weak or semi-weak DES part");
  }
  const Secret<Text> pin = pinOfBlock(cl, from);
  if (pin->size() > to.maxPinLength) {
    Text refusal(u"format ");
    refusal += to.name;
    refusal += u" cannot carry a PIN of more than ";
    appendDecimal(refusal, to.maxPinLength);
    throw excProblem(refusal + u" digits");
  }
  appendHex(answer,
            makePinBlock(to, *pin, cl.pan, cipherOf(cl.key(Role::ToKpe)), systemRandom())->span());
}

// As -verifyoffset: the PIN comes from the block when one is given, otherwise from -pin.
void checkCalcOffset(const CommandLine &cl) {
  const bool fromBlock = !cl.pinBlockHex.empty();
  const PinBlockFormat &format = formatOf(cl);
  const bool panNeeded = fromBlock && checkPanFor(cl, format);
  require((fromBlock || !cl.pin.empty()) && !cl.validationData.empty() && cl.key(Role::Kpv),
          u"calcoffset requires -pin, -valdata, and either of -kpv or -kpvfile");
  if (fromBlock) {
    require(!panNeeded || !cl.pan.empty(), u"calcoffset requires -pan with -pinblock");
    checkBlockWords(cl, format);
    return;
  }
  if (cl.pin.size() > kLongestOffsetPin) {
    throw excCL_MalformedParameter(kOffsetPinLength);
  }
}

void answerCalcOffset(const CommandLine &cl, Text &answer) {
  requireUse(cl, Role::Kpv, KeyUse::ComputeOffset);
  const Secret<Text> pin = pinOf(cl, !cl.pinBlockHex.empty());
  if (pin->size() > kLongestOffsetPin) {
    throw excProblem(kOffsetPinLength);
  }
  answer += *pinOffset(*pin, naturalPinInputsOf(cl), cl.key(Role::Kpv)->cipher());
}

// The PIN comes from the block when one is given (which then needs the PAN, as for
// -uncalcpinblock), otherwise from -pin.
void checkVerifyOffset(const CommandLine &cl) {
  const bool fromBlock = !cl.pinBlockHex.empty();
  const PinBlockFormat &format = formatOf(cl);
  const bool panNeeded = fromBlock && checkPanFor(cl, format);
  require(!cl.offset.empty() && !cl.validationData.empty() && (fromBlock || !cl.pin.empty()) &&
              cl.key(Role::Kpv),
          u"verifyoffset requires -offset, -valdata, either of -pinblock or -pin, and either of "
          u"-kpv or -kpvfile");
  if (fromBlock) {
    require(!panNeeded || !cl.pan.empty(), u"verifyoffset requires -pan with -pinblock");
    checkBlockWords(cl, format);
    return;
  }
  if (cl.pin.size() > kLongestOffsetPin) {
    throw excCL_MalformedParameter(kOffsetPinLength);
  }
  if (cl.offset.size() > cl.pin.size()) {
    throw excCL_MalformedParameter(kOffsetTooLong);
  }
}

// A PIN from a block is known only now: the same length checks, as problems with the data.
void answerVerifyOffset(const CommandLine &cl, Text &answer) {
  requireUse(cl, Role::Kpv, KeyUse::VerifyOffset);
  bool matches = false;
  if (cl.pinBlockHex.empty()) {
    matches = offsetMatches(cl, cl.pin);
  } else {
    const Secret<Text> pin = pinOfBlock(cl, formatOf(cl));
    if (pin->size() > kLongestOffsetPin) {
      throw excProblem(kOffsetPinLength);
    }
    if (cl.offset.size() > pin->size()) {
      throw excProblem(kOffsetTooLong);
    }
    matches = offsetMatches(cl, *pin);
  }
  answer.push_back(matches ? u'Y' : u'N');
}

} // namespace tolvane
