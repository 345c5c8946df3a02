// The PVV, PIN-block and IBM 3624 offset commands.

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

const Cipher *kpeOf(const CommandLine &cl) { return cl.kpe ? &cl.kpe->cipher() : nullptr; }

const PinBlockFormat &formatOf(const CommandLine &) { return *findPinBlockFormat(0); }

PinBlock blockOf(const CommandLine &cl) {
  PinBlock block;
  block.size = cl.pinBlockHex.size() / 2;
  hexToBytes(cl.pinBlockHex, block.bytes.data());
  return block;
}

void require(bool given, const char16_t *message) {
  if (!given) {
    throw excCL_RequiredParameterMissing(message);
  }
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

Secret<Text> pinOfBlock(const CommandLine &cl) {
  const Secret<PinBlock> block(blockOf(cl));
  return decodePinBlock(formatOf(cl), *block, cl.pan, kpeOf(cl));
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
  answer += formatPvv(computePvv(cl.pan, cl.pvki, firstFour(cl.pin), cl.kpv->cipher()));
}

void checkCalcPinBlock(const CommandLine &cl) {
  checkPan(cl);
  require(!cl.pan.empty() && !cl.pin.empty(), u"calcpinblock requires -pan, and -pin");
}

void answerCalcPinBlock(const CommandLine &cl, Text &answer) {
  appendHex(answer, makePinBlock(formatOf(cl), cl.pin, cl.pan, kpeOf(cl), systemRandom())->span());
}

void checkUncalcPinBlock(const CommandLine &cl) {
  checkPan(cl);
  require(!cl.pan.empty() && !cl.pinBlockHex.empty(), u"uncalcpinblock requires -pan, -pinblock");
}

void answerUncalcPinBlock(const CommandLine &cl, Text &answer) { answer += *pinOfBlock(cl); }

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
  if (fromBlock) {
    checkPan(cl);
  }
  require(!cl.offset.empty() && !cl.validationData.empty() && (fromBlock || !cl.pin.empty()) &&
              cl.kpv,
          u"verifyoffset requires -offset, -valdata, either of -pinblock or -pin, and either of "
          u"-kpv or -kpvfile");
  if (fromBlock) {
    require(!cl.pan.empty(), u"verifyoffset requires -pan with -pinblock");
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
