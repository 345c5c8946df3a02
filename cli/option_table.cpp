#include "cli/option_table.hpp"

#include <algorithm>
#include <array>

#include "base/digits.hpp"
#include "cli/commands.hpp"
#include "cli/errors.hpp"

namespace tolvane {

namespace {

using Value = std::u16string_view;
using Context = OptionContext;

bool hexKey(Value v) { return (v.size() == 16 || v.size() == 32 || v.size() == 48) && allHex(v); }
bool hexAesKey(Value v) {
  return (v.size() == 32 || v.size() == 48 || v.size() == 64) && allHex(v);
}
bool formatNumber(Value v) { return v.size() == 1 && v[0] >= u'0' && v[0] <= u'4'; }
bool checkValue(Value v) { return (v.size() == 4 || v.size() == 6) && allHex(v); }

// The -workingkey choices, as key sizes in bytes; 0 for anything else.
std::size_t workingKeySize(Value v) {
  return v == u"aes128" ? 16 : v == u"aes192" ? 24 : v == u"aes256" ? 32 : 0;
}

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
constexpr auto kAes = CipherAlgorithm::Aes;

// The command line's key field now names slot, which the caller fills.
KeySlot &use(Context &c, KeySlot KeyStore::*slot, const KeySlot *CommandLine::*field) {
  c.commandLine.*field = &(c.keys.*slot);
  return c.keys.*slot;
}

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
    {.word = u"-translate",
     .group = OptionGroup::Command,
     .line = u"rewrite a pinblock under another key or format",
     .check = checkTranslate,
     .answer = answerTranslate},
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
    {.word = u"-dukptkeys",
     .group = OptionGroup::Command,
     .line = u"print the keys DUKPT derives from the BDK and KSN",
     .check = checkDukptKeys,
     .answer = answerDukptKeys},
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
     .apply = [](Context &c, Value v) { c.commandLine.pan = v; },
     .data = true},
    {.word = u"-pvki",
     .group = OptionGroup::Value,
     .placeholder = u"INDEX",
     .line = u"KPV Index, 0 - 6",
     .missing = u"missing PVKI",
     .refused = u"PVKI must be between 0 and 6 (inclusive) ",
     .accept = [](Value v) { return pvkiValue(v, nullptr); },
     .apply = [](Context &c, Value v) { pvkiValue(v, &c.commandLine.pvki); },
     .data = true},
    {.word = u"-pvv",
     .group = OptionGroup::Value,
     .placeholder = u"PVVDIGITS",
     .line = u"PVV (4 digits)",
     .missing = u"missing PVV",
     .refused = u"PVV must be 4 digits",
     .accept = [](Value v) { return v.size() == 4 && allDecimal(v); },
     .apply = [](Context &c, Value v) { c.commandLine.pvv = v; },
     .data = true},
    {.word = u"-pinblock",
     .group = OptionGroup::Value,
     .placeholder = u"PINBLOCKHEX",
     .line = u"pinblock, in hex format (16 hex digits)",
     .missing = u"missing PINBLOCK",
     .refused = u"pinblock must be 16 hex digits",
     .accept = [](Value v) { return v.size() == 16 && allHex(v); },
     .apply = [](Context &c, Value v) { c.commandLine.pinBlockHex = v; },
     .data = true},
    {.word = u"-pinblockaes",
     .group = OptionGroup::Value,
     .placeholder = u"PINBLOCKHEX",
     .line = u"a format-4 pinblock (32 hex digits)",
     .missing = u"missing PINBLOCKAES",
     .refused = u"pinblockaes must be 32 hex digits",
     .accept = [](Value v) { return v.size() == 32 && allHex(v); },
     .apply = [](Context &c, Value v) { c.commandLine.pinBlockHex = v; },
     .data = true},
    {.word = u"-format",
     .group = OptionGroup::Value,
     .placeholder = u"0|1|2|3|4",
     .line = u"the ISO 9564 format of the pinblock (default 0)",
     .missing = u"missing format",
     .refused = u"format must be 0, 1, 2, 3 or 4",
     .accept = formatNumber,
     .apply = [](Context &c, Value v) { c.commandLine.format = v[0] - u'0'; }},
    {.word = u"-toformat",
     .group = OptionGroup::Value,
     .placeholder = u"0|1|2|3|4",
     .line = u"the format -translate makes (default: -format's)",
     .missing = u"missing toformat",
     .refused = u"toformat must be 0, 1, 2, 3 or 4",
     .accept = formatNumber,
     .apply = [](Context &c, Value v) { c.commandLine.toFormat = v[0] - u'0'; }},
    {.word = u"-pin",
     .group = OptionGroup::Value,
     .placeholder = u"PINDIGITS",
     .line = u"4-14 digit PIN (Visa PVV only considers 4)",
     .missing = u"missing PIN",
     .refused = u"PIN must be 4 to 14 digits",
     .accept = [](Value v) { return v.size() >= 4 && v.size() <= 14 && allDecimal(v); },
     .apply = [](Context &c, Value v) { c.commandLine.pin = v; },
     .data = true},
    {.word = u"-valdata",
     .group = OptionGroup::Value,
     .placeholder = u"VALDATAHEX",
     .line = u"IBM 3624 validation data (1-16 hex digits)",
     .missing = u"missing validation data",
     .refused = u"validation data must be 1 to 16 hex digits",
     .accept = [](Value v) { return !v.empty() && v.size() <= 16 && allHex(v); },
     .apply = [](Context &c, Value v) { c.commandLine.validationData = v; },
     .data = true},
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
     .apply = [](Context &c, Value v) { c.commandLine.offset = v; },
     .data = true},
    {.word = u"-expiry",
     .group = OptionGroup::Value,
     .placeholder = u"YYMM",
     .line = u"card expiry date (4 digits, as on the stripe)",
     .missing = u"missing expiry date",
     .refused = u"expiry date must be 4 digits",
     .accept = [](Value v) { return v.size() == 4 && allDecimal(v); },
     .apply = [](Context &c, Value v) { c.commandLine.expiry = v; },
     .data = true},
    {.word = u"-servicecode",
     .group = OptionGroup::Value,
     .placeholder = u"CODE",
     .line = u"service code (3 digits; 000 for CVV2, 999 for iCVV)",
     .missing = u"missing service code",
     .refused = u"service code must be 3 digits",
     .accept = [](Value v) { return v.size() == 3 && allDecimal(v); },
     .apply = [](Context &c, Value v) { c.commandLine.serviceCode = v; },
     .data = true},
    {.word = u"-cvv",
     .group = OptionGroup::Value,
     .placeholder = u"CVVDIGITS",
     .line = u"CVV, CVV2 or iCVV (3 digits)",
     .missing = u"missing CVV",
     .refused = u"CVV must be 3 digits",
     .accept = [](Value v) { return v.size() == 3 && allDecimal(v); },
     .apply = [](Context &c, Value v) { c.commandLine.cvv = v; },
     .data = true},
    {.word = u"-ksn",
     .group = OptionGroup::Value,
     .placeholder = u"KSNHEX",
     .line = u"DUKPT key serial number (20 hex digits, 24 for AES)",
     .missing = u"missing KSN",
     .refused = u"KSN must be 20 or 24 hex digits",
     .accept = [](Value v) { return (v.size() == 20 || v.size() == 24) && allHex(v); },
     .apply = [](Context &c, Value v) { c.commandLine.ksn = v; },
     .data = true},
    {.word = u"-workingkey",
     .group = OptionGroup::Value,
     .placeholder = u"aes128|aes192|aes256",
     .line = u"AES DUKPT working key (default aes128)",
     .missing = u"missing working key type",
     .refused = u"workingkey must be aes128, aes192 or aes256",
     .accept = [](Value v) { return workingKeySize(v) != 0; },
     .apply = [](Context &c, Value v) { c.commandLine.workingKeySize = workingKeySize(v); }},

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
           keyFromHex(use(c, &KeyStore::kpv, &CommandLine::kpv), kTdes, v, 16);
         }},
    {.word = u"-kpvfile",
     .group = OptionGroup::Key,
     .placeholder = u"FILE",
     .line = u"read binary KPV from a file (8 or 16 bytes)",
     .missing = u"missing KPV filename",
     .apply =
         [](Context &c, Value v) {
           keyFromFile(use(c, &KeyStore::kpv, &CommandLine::kpv), kTdes, v, 16, {8, 16},
                       u"KPV from file 16 or 8 bytes", c.inBatch);
         }},
    {.word = u"-kpe",
     .group = OptionGroup::Key,
     .placeholder = u"KPEHEX",
     .line = u"encrypt/decrypt pinblock",
     .missing = u"missing KPE",
     .refused = u"KPE must be 48, 32 or 16 hex digits",
     .accept = hexKey,
     .apply = [](Context &c,
                 Value v) { keyFromHex(use(c, &KeyStore::kpe, &CommandLine::kpe), kTdes, v); }},
    {.word = u"-kpefile",
     .group = OptionGroup::Key,
     .placeholder = u"FILE",
     .line = u"read binary KPE from a file (8, 16 or 24 bytes)",
     .missing = u"missing KPE filename",
     .apply =
         [](Context &c, Value v) {
           keyFromFile(use(c, &KeyStore::kpe, &CommandLine::kpe), kTdes, v, 24, {8, 16, 24},
                       u"KPE from file 24, 16 or 8 bytes", c.inBatch);
         }},
    {.word = u"-kpeaes",
     .group = OptionGroup::Key,
     .placeholder = u"KPEAESHEX",
     .line = u"AES PIN encryption key (32, 48 or 64 hex digits)",
     .missing = u"missing AES KPE",
     .refused = u"AES KPE must be 64, 48 or 32 hex digits",
     .accept = hexAesKey,
     .apply = [](Context &c,
                 Value v) { keyFromHex(use(c, &KeyStore::kpe, &CommandLine::kpe), kAes, v); }},
    {.word = u"-kpeaesfile",
     .group = OptionGroup::Key,
     .placeholder = u"FILE",
     .line = u"read binary AES KPE from a file (16, 24 or 32 bytes)",
     .missing = u"missing AES KPE filename",
     .apply =
         [](Context &c, Value v) {
           keyFromFile(use(c, &KeyStore::kpe, &CommandLine::kpe), kAes, v, 33, {16, 24, 32},
                       u"AES KPE from file 32, 24 or 16 bytes", c.inBatch);
         }},
    {.word = u"-tokpe",
     .group = OptionGroup::Key,
     .placeholder = u"KPEHEX",
     .line = u"the key -translate enciphers its block under",
     .missing = u"missing TOKPE",
     .refused = u"TOKPE must be 48, 32 or 16 hex digits",
     .accept = hexKey,
     .apply = [](Context &c,
                 Value v) { keyFromHex(use(c, &KeyStore::toKpe, &CommandLine::toKpe), kTdes, v); }},
    {.word = u"-tokpefile",
     .group = OptionGroup::Key,
     .placeholder = u"FILE",
     .line = u"read binary TOKPE from a file (8, 16 or 24 bytes)",
     .missing = u"missing TOKPE filename",
     .apply =
         [](Context &c, Value v) {
           keyFromFile(use(c, &KeyStore::toKpe, &CommandLine::toKpe), kTdes, v, 24, {8, 16, 24},
                       u"TOKPE from file 24, 16 or 8 bytes", c.inBatch);
         }},
    {.word = u"-tokpeaes",
     .group = OptionGroup::Key,
     .placeholder = u"KPEAESHEX",
     .line = u"the AES key -translate enciphers its block under",
     .missing = u"missing AES TOKPE",
     .refused = u"AES TOKPE must be 64, 48 or 32 hex digits",
     .accept = hexAesKey,
     .apply = [](Context &c,
                 Value v) { keyFromHex(use(c, &KeyStore::toKpe, &CommandLine::toKpe), kAes, v); }},
    {.word = u"-tokpeaesfile",
     .group = OptionGroup::Key,
     .placeholder = u"FILE",
     .line = u"read binary AES TOKPE from a file (16, 24, 32 bytes)",
     .missing = u"missing AES TOKPE filename",
     .apply =
         [](Context &c, Value v) {
           keyFromFile(use(c, &KeyStore::toKpe, &CommandLine::toKpe), kAes, v, 33, {16, 24, 32},
                       u"AES TOKPE from file 32, 24 or 16 bytes", c.inBatch);
         }},
    {.word = u"-cvk",
     .group = OptionGroup::Key,
     .placeholder = u"CVKHEX",
     .line = u"Card Verification Key, key A then key B (hex)",
     .missing = u"missing CVK",
     .refused = u"CVK must be 32 or 16 hex digits",
     .accept = [](Value v) { return (v.size() == 16 || v.size() == 32) && allHex(v); },
     .apply = [](Context &c,
                 Value v) { keyFromHex(use(c, &KeyStore::cvk, &CommandLine::cvk), kTdes, v); }},
    {.word = u"-cvkfile",
     .group = OptionGroup::Key,
     .placeholder = u"FILE",
     .line = u"read binary CVK from a file (8 or 16 bytes)",
     .missing = u"missing CVK filename",
     .apply =
         [](Context &c, Value v) {
           // Read one byte past the longest key, so that a longer file is refused, as a CVK
           // of more than 32 hex digits is.
           keyFromFile(use(c, &KeyStore::cvk, &CommandLine::cvk), kTdes, v, 17, {8, 16},
                       u"CVK from file 16 or 8 bytes", c.inBatch);
         }},
    {.word = u"-bdk",
     .group = OptionGroup::Key,
     .placeholder = u"BDKHEX",
     .line = u"Triple-DES DUKPT base derivation key (hex)",
     .missing = u"missing BDK",
     .refused = u"BDK must be 48 or 32 hex digits",
     .accept = [](Value v) { return (v.size() == 32 || v.size() == 48) && allHex(v); },
     .apply = [](Context &c,
                 Value v) { keyFromHex(use(c, &KeyStore::bdk, &CommandLine::bdk), kTdes, v); }},
    {.word = u"-bdkfile",
     .group = OptionGroup::Key,
     .placeholder = u"FILE",
     .line = u"read a binary BDK from a file (16 or 24 bytes)",
     .missing = u"missing BDK filename",
     .apply =
         [](Context &c, Value v) {
           // One byte past the longest key: a longer file is refused, not cut short.
           keyFromFile(use(c, &KeyStore::bdk, &CommandLine::bdk), kTdes, v, 25, {16, 24},
                       u"BDK from file 24 or 16 bytes", c.inBatch);
         }},
    {.word = u"-bdkaes",
     .group = OptionGroup::Key,
     .placeholder = u"BDKAESHEX",
     .line = u"AES DUKPT base derivation key (hex)",
     .missing = u"missing AES BDK",
     .refused = u"AES BDK must be 64, 48 or 32 hex digits",
     .accept = hexAesKey,
     .apply = [](Context &c,
                 Value v) { keyFromHex(use(c, &KeyStore::bdk, &CommandLine::bdk), kAes, v); }},
    {.word = u"-bdkaesfile",
     .group = OptionGroup::Key,
     .placeholder = u"FILE",
     .line = u"read binary AES BDK from a file (16, 24 or 32 bytes)",
     .missing = u"missing AES BDK filename",
     .apply =
         [](Context &c, Value v) {
           keyFromFile(use(c, &KeyStore::bdk, &CommandLine::bdk), kAes, v, 33, {16, 24, 32},
                       u"AES BDK from file 32, 24 or 16 bytes", c.inBatch);
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
    {.word = u"-tokpekcv",
     .group = OptionGroup::Key,
     .placeholder = u"KCV",
     .line = u"refuse to run unless TOKPE's check value begins so",
     .missing = u"missing TOKPE check value",
     .refused = u"TOKPE check value must be 4 or 6 hex digits",
     .accept = checkValue,
     .apply = [](Context &c, Value v) { c.commandLine.toKpeKcv = v; }},
    {.word = u"-cvkkcv",
     .group = OptionGroup::Key,
     .placeholder = u"KCV",
     .line = u"refuse to run unless the CVK's check value begins so",
     .missing = u"missing CVK check value",
     .refused = u"CVK check value must be 4 or 6 hex digits",
     .accept = checkValue,
     .apply = [](Context &c, Value v) { c.commandLine.cvkKcv = v; }},
    {.word = u"-bdkkcv",
     .group = OptionGroup::Key,
     .placeholder = u"KCV",
     .line = u"refuse to run unless the BDK's check value begins so",
     .missing = u"missing BDK check value",
     .refused = u"BDK check value must be 4 or 6 hex digits",
     .accept = checkValue,
     .apply = [](Context &c, Value v) { c.commandLine.bdkKcv = v; }},

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
    {.word = u"-locked",
     .group = OptionGroup::Switch,
     .line = u"with -batch: requests may give per-card data only",
     .apply =
         [](Context &c, Value) {
           if (c.inRequest) {
             throw excCL_MalformedParameter(u"-locked is not allowed in a batch request");
           }
           c.commandLine.locked = true;
         }},
    {.word = u"-jsonl",
     .group = OptionGroup::Switch,
     .line = u"with -batch: answer in JSON Lines",
     .apply =
         [](Context &c, Value) {
           if (c.inRequest) {
             throw excCL_MalformedParameter(u"-jsonl is not allowed in a batch request");
           }
           c.commandLine.jsonl = true;
         }},
};

// The rows in the order of the length of their word, and where the rows of each length begin,
// so that a lookup compares a word only with the words of its length.
constexpr std::size_t kLongestWord = 24;
struct WordIndex {
  std::array<std::uint8_t, std::size(kOptions)> rows{};
  std::array<std::uint64_t, std::size(kOptions)> keys{}; // wordKey of each row, in that order
  std::array<std::uint8_t, kLongestWord + 2> start{};
};

// Characters 1 to 4 of a word (the first is always the hyphen) in one number, so that most
// words of a length are told apart by one comparison.
constexpr std::uint64_t wordKey(std::u16string_view word) {
  std::uint64_t key = 0;
  const std::size_t count = word.size() < 5 ? (word.empty() ? 0 : word.size() - 1) : 4;
  for (std::size_t i = 0; i < count; ++i) {
    key |= static_cast<std::uint64_t>(word[i + 1]) << (16 * i);
  }
  return key;
}

constexpr WordIndex makeWordIndex() {
  WordIndex index;
  std::size_t next = 0;
  // Within a length, the words of per-card data first: they are the ones a batch's requests
  // name over and over.
  for (std::size_t length = 0; length <= kLongestWord; ++length) {
    index.start[length] = static_cast<std::uint8_t>(next);
    for (const bool data : {true, false}) {
      for (std::size_t row = 0; row < std::size(kOptions); ++row) {
        if (kOptions[row].word.size() == length && kOptions[row].data == data) {
          index.keys[next] = wordKey(kOptions[row].word);
          index.rows[next++] = static_cast<std::uint8_t>(row);
        }
      }
    }
  }
  index.start[kLongestWord + 1] = static_cast<std::uint8_t>(next);
  return index;
}

constexpr WordIndex kWordIndex = makeWordIndex();
static_assert(kWordIndex.start[kLongestWord + 1] == std::size(kOptions), "a word is too long");

} // namespace

std::span<const Option> optionTable() { return kOptions; }

const Option *findOption(std::u16string_view word) {
  if (word.size() > kLongestWord) {
    return nullptr;
  }
  const std::uint64_t key = wordKey(word);
  for (std::size_t i = kWordIndex.start[word.size()]; i < kWordIndex.start[word.size() + 1]; ++i) {
    const Option &option = kOptions[kWordIndex.rows[i]];
    if (kWordIndex.keys[i] == key && option.word[0] == word[0] &&
        option.word.substr(std::min<std::size_t>(5, word.size())) ==
            word.substr(std::min<std::size_t>(5, word.size()))) {
      return &option;
    }
  }
  return nullptr;
}

} // namespace tolvane
