// The PVV, PIN-block and IBM 3624 offset commands.

#include <string>

#include "base/digits.hpp"
#include "card/luhn.hpp"
#include "cli/commands.hpp"
#include "cli/errors.hpp"
#include "cli/platform.hpp"
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

const PinBlockFormat &formatOf(const CommandLine &cl) { return *findPinBlockFormat(cl.format); }
const PinBlockFormat &toFormatOf(const CommandLine &cl) {
  return *findPinBlockFormat(cl.toFormat < 0 ? cl.format : cl.toFormat);
}

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
  message += static_cast<char16_t>(u'0' + format.number);
  message += rest;
  return message;
}

// A key fits a format: AES for 16-byte blocks, Triple-DES or none for 8-byte ones.
void checkKeyFits(const PinBlockFormat &format, const KeySlot *key, const char16_t *option,
                  const char16_t *aesKeys, const char16_t *tdesKeys) {
  if (format.blockSize == 16 && (key == nullptr || key->algorithm() != CipherAlgorithm::Aes)) {
    throw excCL_RequiredParameterMissing(
        formatMessage(option, format, Text(u" requires an AES key: ") + Text(aesKeys)));
  }
  if (format.blockSize == 8 && key != nullptr && key->algorithm() != CipherAlgorithm::Tdes) {
    throw excCL_MalformedParameter(formatMessage(
        option, format, Text(u" takes a Triple-DES key (") + Text(tdesKeys) + u") or none"));
  }
}

// The key a block is read or made under fits the format: the KPE, or the BDK with its words.
void checkBlockKeyFits(const CommandLine &cl, const PinBlockFormat &format) {
  checkDukptBlockWords(cl, format);
  if (cl.bdk == nullptr) {
    checkKeyFits(format, cl.kpe, u"format", u"-kpeaes or -kpeaesfile", u"-kpe or -kpefile");
  }
}

// Format 4 carries the whole PAN: at most 19 digits, and nothing but digits.
void checkPanFits(const CommandLine &cl, const PinBlockFormat &format, const char16_t *option) {
  if (format.blockSize == 16 && (cl.pan.size() > 19 || !allDecimal(cl.pan))) {
    throw excCL_MalformedParameter(
        formatMessage(option, format, u" takes a PAN of 1 to 19 digits"));
  }
}

// The Luhn check where the PAN counts: for a format that binds it, or a PAN given anyway.
bool checkPanFor(const CommandLine &cl, const PinBlockFormat &format) {
  if (format.usesPan || !cl.pan.empty()) {
    checkPan(cl);
  }
  return format.usesPan;
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

NaturalPinInputs naturalPinInputsOf(const CommandLine &cl) {
  return {cl.validationData, cl.validationPad.front(), cl.decimalisation};
}

bool offsetMatches(const CommandLine &cl, std::u16string_view pin) {
  return verifyPinOffset(pin, cl.offset, naturalPinInputsOf(cl), cl.kpv->cipher());
}

} // namespace

void checkBlockWords(const CommandLine &cl) {
  const PinBlockFormat &format = formatOf(cl);
  if (cl.pinBlockHex.size() != 2 * format.blockSize) {
    throw excCL_MalformedParameter(formatMessage(u"format", format,
                                                 format.blockSize == 16
                                                     ? u" takes a 32-digit pinblock: -pinblockaes"
                                                     : u" takes a 16-digit pinblock: -pinblock"));
  }
  checkBlockKeyFits(cl, format);
  checkPanFits(cl, format, u"format");
}

Secret<Text> pinOfBlock(const CommandLine &cl) {
  const Secret<PinBlock> block(blockOf(cl));
  const BlockKey key(cl);
  return decodePinBlock(formatOf(cl), *block, cl.pan, key.cipher());
}

void checkPan(const CommandLine &cl) {
  if (!cl.suppressLuhn && !luhnCheck(cl.pan)) {
    throw excCL_MalformedParameter(u"PAN must be 13-19 digits which pass the Luhn check");
  }
}

void checkVerify(const CommandLine &cl) {
  checkPan(cl);
  require(!cl.pan.empty() && cl.pvki >= 0 && !cl.pvv.empty() && !cl.pinBlockHex.empty() && cl.kpv,
          u"verify requires -pan, -pvki, -pvv, -pinblock, and either of -kpv or -kpvfile");
  checkBlockWords(cl);
}

void answerVerify(const CommandLine &cl, Text &answer) {
  const Secret<Text> pin = pinOfBlock(cl);
  const int computed = computePvv(cl.pan, cl.pvki, firstFour(*pin), cl.kpv->cipher());
  answer += computed == pvvValue(cl.pvv) ? u"Y" : u"N";
}

void checkCalcPvv(const CommandLine &cl) {
  checkPan(cl);
  require(!cl.pan.empty() && cl.pvki >= 0 && !cl.pin.empty() && cl.kpv,
          u"calcpvv requires -pan, -pvki, -pin, and either of -kpv or -kpvfile");
}

void answerCalcPvv(const CommandLine &cl, Text &answer) {
  appendPvv(answer, computePvv(cl.pan, cl.pvki, firstFour(cl.pin), cl.kpv->cipher()));
}

void checkCalcPinBlock(const CommandLine &cl) {
  const PinBlockFormat &format = formatOf(cl);
  if (checkPanFor(cl, format)) {
    require(!cl.pan.empty() && !cl.pin.empty(), u"calcpinblock requires -pan, and -pin");
  } else {
    require(!cl.pin.empty(), u"calcpinblock requires -pin");
  }
  if (cl.pin.size() > format.maxPinLength) {
    throw excCL_MalformedParameter(
        formatMessage(u"format", format, u" takes a PIN of 4 to 12 digits"));
  }
  checkBlockKeyFits(cl, format);
  checkPanFits(cl, format, u"format");
}

void answerCalcPinBlock(const CommandLine &cl, Text &answer) {
  const BlockKey key(cl);
  appendHex(answer,
            makePinBlock(formatOf(cl), cl.pin, cl.pan, key.cipher(), systemRandom())->span());
}

void checkUncalcPinBlock(const CommandLine &cl) {
  if (checkPanFor(cl, formatOf(cl))) {
    require(!cl.pan.empty() && !cl.pinBlockHex.empty(), u"uncalcpinblock requires -pan, -pinblock");
  } else {
    require(!cl.pinBlockHex.empty(), u"uncalcpinblock requires -pinblock");
  }
  checkBlockWords(cl);
}

void answerUncalcPinBlock(const CommandLine &cl, Text &answer) { answer += *pinOfBlock(cl); }

void checkTranslate(const CommandLine &cl) {
  const PinBlockFormat &to = toFormatOf(cl);
  // The same PAN goes in and out, so it is needed when either side binds it.
  if (formatOf(cl).usesPan || to.usesPan || !cl.pan.empty()) {
    checkPan(cl);
  }
  if (formatOf(cl).usesPan || to.usesPan) {
    require(!cl.pan.empty() && !cl.pinBlockHex.empty(),
            u"translate requires -pan, and -pinblock or -pinblockaes");
  } else {
    require(!cl.pinBlockHex.empty(), u"translate requires -pinblock or -pinblockaes");
  }
  checkBlockWords(cl);
  checkKeyFits(to, cl.toKpe, u"toformat", u"-tokpeaes or -tokpeaesfile", u"-tokpe or -tokpefile");
  checkPanFits(cl, to, u"toformat");
}

// The rules an HSM enforces on translation: format 1 may become 0, 1, 3 or 4; 0, 3 and 4 become
// one another, never 1 (that would strip the PAN from the PIN); format 2, for IC cards, neither
// comes nor goes.
void answerTranslate(const CommandLine &cl, Text &answer) {
  const PinBlockFormat &from = formatOf(cl);
  const PinBlockFormat &to = toFormatOf(cl);
  if (from.number == 2 || to.number == 2 || (to.number == 1 && from.number != 1)) {
    Text refusal(u"a format ");
    refusal += static_cast<char16_t>(u'0' + from.number);
    refusal += u" pinblock may not be translated to format ";
    refusal += static_cast<char16_t>(u'0' + to.number);
    throw excProblem(refusal);
  }
  const Secret<Text> pin = pinOfBlock(cl);
  if (pin->size() > to.maxPinLength) {
    Text refusal(u"format ");
    refusal += static_cast<char16_t>(u'0' + to.number);
    refusal += u" cannot carry a PIN of more than 12 digits";
    throw excProblem(refusal);
  }
  appendHex(answer, makePinBlock(to, *pin, cl.pan, cipherOf(cl.toKpe), systemRandom())->span());
}

void checkCalcOffset(const CommandLine &cl) {
  require(!cl.pin.empty() && !cl.validationData.empty() && cl.kpv,
          u"calcoffset requires -pin, -valdata, and either of -kpv or -kpvfile");
  if (cl.pin.size() > kLongestOffsetPin) {
    throw excCL_MalformedParameter(kOffsetPinLength);
  }
}

void answerCalcOffset(const CommandLine &cl, Text &answer) {
  answer += *pinOffset(cl.pin, naturalPinInputsOf(cl), cl.kpv->cipher());
}

// The PIN comes from the block when one is given (which then needs the PAN, as for
// -uncalcpinblock), otherwise from -pin.
void checkVerifyOffset(const CommandLine &cl) {
  const bool fromBlock = !cl.pinBlockHex.empty();
  const bool panNeeded = fromBlock && checkPanFor(cl, formatOf(cl));
  require(!cl.offset.empty() && !cl.validationData.empty() && (fromBlock || !cl.pin.empty()) &&
              cl.kpv,
          u"verifyoffset requires -offset, -valdata, either of -pinblock or -pin, and either of "
          u"-kpv or -kpvfile");
  if (fromBlock) {
    require(!panNeeded || !cl.pan.empty(), u"verifyoffset requires -pan with -pinblock");
    checkBlockWords(cl);
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
  bool matches = false;
  if (cl.pinBlockHex.empty()) {
    matches = offsetMatches(cl, cl.pin);
  } else {
    const Secret<Text> pin = pinOfBlock(cl);
    if (pin->size() > kLongestOffsetPin) {
      throw excProblem(kOffsetPinLength);
    }
    if (cl.offset.size() > pin->size()) {
      throw excProblem(kOffsetTooLong);
    }
    matches = offsetMatches(cl, *pin);
  }
  answer += matches ? u"Y" : u"N";
}

} // namespace tolvane
