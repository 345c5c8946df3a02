#include "cli/option_table.hpp"

#include <algorithm>

#include "base/digits.hpp"
#include "cli/commands.hpp"
#include "cli/errors.hpp"

namespace tolvane {

namespace {

using Value = std::u16string_view;
using Context = OptionContext;

bool hexKey(Value v) { return (v.size() == 16 || v.size() == 32 || v.size() == 48) && allHex(v); }
bool checkValue(Value v) { return (v.size() == 4 || v.size() == 6) && allHex(v); }

// Digits only, 0..6. Once the value passes 6 it can only grow, so the loop stops there and no
// number of digits can overflow it. The empty text has no offending character: 0.
bool pvkiValue(Value v, std::int32_t *pvki) {
  std::int32_t result = 0;
  for (const char16_t c : v) {
    if (!isDecimalDigit(c)) {
      return false;
    }
    result = result * 10 + digitValue(c);
    if (result > 6) {
      return false;
    }
  }
  if (pvki != nullptr) {
    *pvki = result;
  }
  return true;
}

constexpr auto kTdes = CipherAlgorithm::Tdes;

// Descriptions start in column 29, as in the usage text: four blanks, then the word and its
// placeholder in 24 columns.
constexpr Option kOptions[] = {
    // Commands. The first six are the original ones, in their original order.
    {.word = u"-verify",
     .group = OptionGroup::Command,
     .line = u"verify a pinblock against a PVV",
     .check = checkVerify,
     .answer = answerVerify},
    {.word = u"-calcpvv",
     .group = OptionGroup::Command,
     .line = u"compute a PVV from components",
     .check = checkCalcPvv,
     .answer = answerCalcPvv},
    {.word = u"-calcpinblock",
     .group = OptionGroup::Command,
     .line = u"make a pinblock from plaintext PIN and components",
     .check = checkCalcPinBlock,
     .answer = answerCalcPinBlock},
    {.word = u"-uncalcpinblock",
     .group = OptionGroup::Command,
     .line = u"decrypt pinblock and extract PIN",
     .check = checkUncalcPinBlock,
     .answer = answerUncalcPinBlock},
    {.word = u"-verifypan",
     .group = OptionGroup::Command,
     .line = u"just perform Luhn check on PAN",
     .check = checkVerifyPan,
     .answer = answerVerifyPan},
    {.word = u"-fixpan",
     .group = OptionGroup::Command,
     .line = u"recompute check digit on PAN",
     .check = checkFixPan,
     .answer = answerFixPan},
    {.word = u"-calcoffset",
     .group = OptionGroup::Command,
     .line = u"compute the IBM 3624 offset of a PIN",
     .check = checkCalcOffset,
     .answer = answerCalcOffset},
    {.word = u"-verifyoffset",
     .group = OptionGroup::Command,
     .line = u"verify a pinblock or PIN against an IBM 3624 offset",
     .check = checkVerifyOffset,
     .answer = answerVerifyOffset},
    {.word = u"-calccvv",
     .group = OptionGroup::Command,
     .line = u"compute a CVV, CVV2 or iCVV from components",
     .check = checkCalcCvv,
     .answer = answerCalcCvv},
    {.word = u"-verifycvv",
     .group = OptionGroup::Command,
     .line = u"verify a CVV, CVV2 or iCVV",
     .check = checkVerifyCvv,
     .answer = answerVerifyCvv},
    {.word = u"-kcv",
     .group = OptionGroup::Command,
     .line = u"print the check value of the one key given",
     .check = checkKcv,
     .answer = answerKcv},
    {.word = u"-version",
     .group = OptionGroup::Command,
     .line = u"print the program's name and version",
     .check = checkNothing,
     .answer = answerVersion},
    {.word = u"-help",
     .group = OptionGroup::Command,
     .line = u"print the usage text",
     .apply = [](Context &, Value) { throw excCL_Help(false); }},
    {.word = u"-help2",
     .group = OptionGroup::Command,
     .line = u"print the usage text with the secondary commands",
     .apply = [](Context &, Value) { throw excCL_Help(true); }},
    {.word = u"-helpall",
     .group = OptionGroup::Command,
     .line = u"print every option word with its line (this list)",
     .apply = [](Context &, Value) { throw excCL_Help(true, true); }},

    // Values.
    {.word = u"-pan",
     .group = OptionGroup::Value,
     .placeholder = u"PANDIGITS",
     .line = u"PAN (13-19 digits)",
     .missing = u"missing PAN",
     .apply = [](Context &c, Value v) { c.commandLine.pan = v; }},
    {.word = u"-pvki",
     .group = OptionGroup::Value,
     .placeholder = u"INDEX",
     .line = u"KPV Index, 0 - 6",
     .missing = u"missing PVKI",
     .refused = u"PVKI must be between 0 and 6 (inclusive) ",
     .accept = [](Value v) { return pvkiValue(v, nullptr); },
     .apply = [](Context &c, Value v) { pvkiValue(v, &c.commandLine.pvki); }},
    {.word = u"-pvv",
     .group = OptionGroup::Value,
     .placeholder = u"PVVDIGITS",
     .line = u"PVV (4 digits)",
     .missing = u"missing PVV",
     .refused = u"PVV must be 4 digits",
     .accept = [](Value v) { return v.size() == 4 && allDecimal(v); },
     .apply = [](Context &c, Value v) { c.commandLine.pvv = v; }},
    {.word = u"-pinblock",
     .group = OptionGroup::Value,
     .placeholder = u"PINBLOCKHEX",
     .line = u"pinblock, in hex format (16 hex digits)",
     .missing = u"missing PINBLOCK",
     .refused = u"pinblock must be 16 hex digits",
     .accept = [](Value v) { return v.size() == 16 && allHex(v); },
     .apply = [](Context &c, Value v) { c.commandLine.pinBlockHex = v; }},
    {.word = u"-pin",
     .group = OptionGroup::Value,
     .placeholder = u"PINDIGITS",
     .line = u"4-14 digit PIN (Visa PVV only considers 4)",
     .missing = u"missing PIN",
     .refused = u"PIN must be 4 to 14 digits",
     .accept = [](Value v) { return v.size() >= 4 && v.size() <= 14 && allDecimal(v); },
     .apply = [](Context &c, Value v) { c.commandLine.pin = v; }},
    {.word = u"-valdata",
     .group = OptionGroup::Value,
     .placeholder = u"VALDATAHEX",
     .line = u"IBM 3624 validation data (1-16 hex digits)",
     .missing = u"missing validation data",
     .refused = u"validation data must be 1 to 16 hex digits",
     .accept = [](Value v) { return !v.empty() && v.size() <= 16 && allHex(v); },
     .apply = [](Context &c, Value v) { c.commandLine.validationData = v; }},
    {.word = u"-valpad",
     .group = OptionGroup::Value,
     .placeholder = u"PADHEX",
     .line = u"validation data pad (1 hex digit, default F)",
     .missing = u"missing validation data pad",
     .refused = u"validation data pad must be 1 hex digit",
     .accept = [](Value v) { return v.size() == 1 && allHex(v); },
     .apply = [](Context &c, Value v) { c.commandLine.validationPad = v; }},
    {.word = u"-dectab",
     .group = OptionGroup::Value,
     .placeholder = u"DECTABDIGITS",
     .line = u"decimalisation table (default 0123456789012345)",
     .missing = u"missing decimalisation table",
     .refused = u"decimalisation table must be 16 digits",
     .accept = [](Value v) { return v.size() == 16 && allDecimal(v); },
     .apply = [](Context &c, Value v) { c.commandLine.decimalisation = v; }},
    {.word = u"-offset",
     .group = OptionGroup::Value,
     .placeholder = u"OFFSETDIGITS",
     .line = u"IBM 3624 PIN offset (4-12 digits)",
     .missing = u"missing offset",
     .refused = u"offset must be 4 to 12 digits",
     .accept = [](Value v) { return v.size() >= 4 && v.size() <= 12 && allDecimal(v); },
     .apply = [](Context &c, Value v) { c.commandLine.offset = v; }},
    {.word = u"-expiry",
     .group = OptionGroup::Value,
     .placeholder = u"YYMM",
     .line = u"card expiry date (4 digits, as on the stripe)",
     .missing = u"missing expiry date",
     .refused = u"expiry date must be 4 digits",
     .accept = [](Value v) { return v.size() == 4 && allDecimal(v); },
     .apply = [](Context &c, Value v) { c.commandLine.expiry = v; }},
    {.word = u"-servicecode",
     .group = OptionGroup::Value,
     .placeholder = u"CODE",
     .line = u"service code (3 digits; 000 for CVV2, 999 for iCVV)",
     .missing = u"missing service code",
     .refused = u"service code must be 3 digits",
     .accept = [](Value v) { return v.size() == 3 && allDecimal(v); },
     .apply = [](Context &c, Value v) { c.commandLine.serviceCode = v; }},
    {.word = u"-cvv",
     .group = OptionGroup::Value,
     .placeholder = u"CVVDIGITS",
     .line = u"CVV, CVV2 or iCVV (3 digits)",
     .missing = u"missing CVV",
     .refused = u"CVV must be 3 digits",
     .accept = [](Value v) { return v.size() == 3 && allDecimal(v); },
     .apply = [](Context &c, Value v) { c.commandLine.cvv = v; }},

    // Keys and their guards.
    {.word = u"-kpv",
     .group = OptionGroup::Key,
     .placeholder = u"KPVHEX",
     .line = u"PIN Verification Key (hex, des-ede)",
     .missing = u"missing KPV",
     .refused = u"KPV must be 48, 32 or 16 hex digits",
     .accept = hexKey,
     .apply =
         [](Context &c, Value v) {
           // The PVV uses K1||K2 only: a third key is accepted and dropped.
           keyFromHex(c.keys.kpv, kTdes, v, 16);
           c.commandLine.kpv = &c.keys.kpv;
         }},
    {.word = u"-kpvfile",
     .group = OptionGroup::Key,
     .placeholder = u"FILE",
     .line = u"read binary KPV from a file (8 or 16 bytes)",
     .missing = u"missing KPV filename",
     .apply =
         [](Context &c, Value v) {
           keyFromFile(c.keys.kpv, kTdes, v, 16, {8, 16}, u"KPV from file 16 or 8 bytes");
           c.commandLine.kpv = &c.keys.kpv;
         }},
    {.word = u"-kpe",
     .group = OptionGroup::Key,
     .placeholder = u"KPEHEX",
     .line = u"encrypt/decrypt pinblock",
     .missing = u"missing KPE",
     .refused = u"KPE must be 48, 32 or 16 hex digits",
     .accept = hexKey,
     .apply =
         [](Context &c, Value v) {
           keyFromHex(c.keys.kpe, kTdes, v);
           c.commandLine.kpe = &c.keys.kpe;
         }},
    {.word = u"-kpefile",
     .group = OptionGroup::Key,
     .placeholder = u"FILE",
     .line = u"read binary KPE from a file (8, 16 or 24 bytes)",
     .missing = u"missing KPE filename",
     .apply =
         [](Context &c, Value v) {
           keyFromFile(c.keys.kpe, kTdes, v, 24, {8, 16, 24}, u"KPE from file 24, 16 or 8 bytes");
           c.commandLine.kpe = &c.keys.kpe;
         }},
    {.word = u"-cvk",
     .group = OptionGroup::Key,
     .placeholder = u"CVKHEX",
     .line = u"Card Verification Key, key A then key B (hex)",
     .missing = u"missing CVK",
     .refused = u"CVK must be 32 or 16 hex digits",
     .accept = [](Value v) { return (v.size() == 16 || v.size() == 32) && allHex(v); },
     .apply =
         [](Context &c, Value v) {
           keyFromHex(c.keys.cvk, kTdes, v);
           c.commandLine.cvk = &c.keys.cvk;
         }},
    {.word = u"-cvkfile",
     .group = OptionGroup::Key,
     .placeholder = u"FILE",
     .line = u"read binary CVK from a file (8 or 16 bytes)",
     .missing = u"missing CVK filename",
     .apply =
         [](Context &c, Value v) {
           // Read one byte past the longest key, so that a longer file is refused, as a CVK
           // of more than 32 hex digits is.
           keyFromFile(c.keys.cvk, kTdes, v, 17, {8, 16}, u"CVK from file 16 or 8 bytes");
           c.commandLine.cvk = &c.keys.cvk;
         }},
    {.word = u"-kpvkcv",
     .group = OptionGroup::Key,
     .placeholder = u"KCV",
     .line = u"refuse to run unless the KPV's check value begins so",
     .missing = u"missing KPV check value",
     .refused = u"KPV check value must be 4 or 6 hex digits",
     .accept = checkValue,
     .apply = [](Context &c, Value v) { c.commandLine.kpvKcv = v; }},
    {.word = u"-kpekcv",
     .group = OptionGroup::Key,
     .placeholder = u"KCV",
     .line = u"refuse to run unless the KPE's check value begins so",
     .missing = u"missing KPE check value",
     .refused = u"KPE check value must be 4 or 6 hex digits",
     .accept = checkValue,
     .apply = [](Context &c, Value v) { c.commandLine.kpeKcv = v; }},
    {.word = u"-cvkkcv",
     .group = OptionGroup::Key,
     .placeholder = u"KCV",
     .line = u"refuse to run unless the CVK's check value begins so",
     .missing = u"missing CVK check value",
     .refused = u"CVK check value must be 4 or 6 hex digits",
     .accept = checkValue,
     .apply = [](Context &c, Value v) { c.commandLine.cvkKcv = v; }},

    // Switches.
    {.word = u"-suppressluhn",
     .group = OptionGroup::Switch,
     .line = u"do not perform Luhn check on PAN",
     .apply = [](Context &c, Value) { c.commandLine.suppressLuhn = true; }},
    {.word = u"-batch",
     .group = OptionGroup::Switch,
     .line = u"answer one request per line of standard input",
     .apply =
         [](Context &c, Value) {
           if (c.inRequest) {
             throw excCL_MalformedParameter(u"-batch is not allowed in a batch request");
           }
           c.commandLine.batch = true;
         }},
};

} // namespace

std::span<const Option> optionTable() { return kOptions; }

const Option *findOption(std::u16string_view word) {
  for (const Option &option : kOptions) {
    if (option.word.size() == word.size() && option.word == word) {
      return &option;
    }
  }
  return nullptr;
}

} // namespace tolvane
