#include "cli/option_table.hpp"

#include <algorithm>
#include <array>

#include "base/digits.hpp"
#include "cli/commands.hpp"
#include "crypto/message_cipher.hpp"
#include "crypto/message_mac.hpp"
#include "emv/recipe.hpp"
#include "keys/key_block.hpp"
#include "keys/key_block_names.hpp"
#include "pin/pin_block.hpp"

namespace tolvane {

namespace {

using CL = CommandLine;
using Chars = Characters;

// The enumerated values. The PIN-block formats are the format table's own rows.
Choice formatChoice(std::size_t index) {
  const auto formats = pinBlockFormats();
  return index < formats.size() ? Choice{formats[index]->name, formats[index]->number} : Choice{};
}

template <const auto &List> Choice choiceFrom(std::size_t index) {
  return index < std::size(List) ? List[index] : Choice{};
}

// The cryptogram versions are the recipe table's own rows.
Choice recipeChoice(std::size_t index) {
  const auto recipes = cryptogramRecipes();
  return index < recipes.size() ? Choice{recipes[index].name, static_cast<std::int32_t>(index)}
                                : Choice{};
}

template <typename Enum> constexpr std::int32_t valueOf(Enum value) {
  return static_cast<std::int32_t>(value);
}

constexpr Choice kCardKeyOptions[] = {{u"a", valueOf(CardKeyOption::A)},
                                      {u"b", valueOf(CardKeyOption::B)}};
constexpr Choice kSessionKeyMethods[] = {{u"none", valueOf(SessionKeyMethod::None)},
                                         {u"emv", valueOf(SessionKeyMethod::Emv)},
                                         {u"mastercard", valueOf(SessionKeyMethod::Mastercard)}};
constexpr Choice kAcPaddings[] = {{u"1", valueOf(MacPadding::Zeros)},
                                  {u"2", valueOf(MacPadding::Bit)}};
constexpr Choice kArpcMethods[] = {{u"1", valueOf(ArpcMethod::One)},
                                   {u"2", valueOf(ArpcMethod::Two)}};
constexpr Choice kArpcKeys[] = {{u"mk", valueOf(ArpcKey::CardMasterKey)},
                                {u"sk", valueOf(ArpcKey::SessionKey)}};

constexpr Choice kWorkingKeys[] = {
    {u"aes128", static_cast<std::int32_t>(CipherAlgorithm::Aes128)},
    {u"aes192", static_cast<std::int32_t>(CipherAlgorithm::Aes192)},
    {u"aes256", static_cast<std::int32_t>(CipherAlgorithm::Aes256)},
    {u"tdes2", static_cast<std::int32_t>(CipherAlgorithm::Tdes2)},
    {u"tdes3", static_cast<std::int32_t>(CipherAlgorithm::Tdes3)},
};

constexpr Choice kKeyBlockVersions[] = {{u"B", u'B'}, {u"D", u'D'}};
constexpr Choice kExportabilities[] = {{u"E", u'E'}, {u"N", u'N'}, {u"S", u'S'}};

// The key usages, valued by their place in the table of names; the modes of use by their letter.
Choice usageChoice(std::size_t index) {
  const auto usages = keyUsageNames();
  return index < usages.size() ? Choice{usages[index].code(), static_cast<std::int32_t>(index)}
                               : Choice{};
}
Choice modeChoice(std::size_t index) {
  const auto modes = modeOfUseNames();
  return index < modes.size() ? Choice{modes[index].code(), modes[index].codeText[0]} : Choice{};
}
Choice macAlgorithmChoice(std::size_t index) {
  return index < std::size(kMacAlgorithmNames)
             ? Choice{kMacAlgorithmNames[index], static_cast<std::int32_t>(index)}
             : Choice{};
}

constexpr Choice kMacPaddings[] = {
    {u"1", static_cast<std::int32_t>(MacPadding::Zeros)},
    {u"2", static_cast<std::int32_t>(MacPadding::Bit)},
    {u"3", static_cast<std::int32_t>(MacPadding::Length)},
};

constexpr Choice kDataPaddings[] = {
    {u"1", static_cast<std::int32_t>(DataPadding::Zeros)},
    {u"2", static_cast<std::int32_t>(DataPadding::Bit)},
};

constexpr Choice kBlockModes[] = {
    {u"ecb", static_cast<std::int32_t>(BlockMode::Ecb)},
    {u"cbc", static_cast<std::int32_t>(BlockMode::Cbc)},
};

// The side that sends the message: 0 the terminal's request, 1 the host's response.
constexpr Choice kDirections[] = {{u"request", 0}, {u"response", 1}};

// A row as it is declared. The program never holds these: at compile time their texts go into
// one pool, their functions into small tables, and each becomes an Option.
struct DeclaredOption {
  std::u16string_view word;
  OptionGroup group;
  std::u16string_view placeholder{};
  std::u16string_view line{};
  std::u16string_view missing{};
  std::u16string_view refused{};
  ValueRule rule{};
  ChoiceList choices = nullptr;
  std::u16string_view CommandLine::*text = nullptr;
  std::int32_t CommandLine::*number = nullptr;
  ShortBytes CommandLine::*bytes = nullptr;
  bool CommandLine::*flag = nullptr;
  TextList CommandLine::*list = nullptr;
  bool notInRequest = false;
  Help help = Help::None;
  void (*check)(const CommandLine &commandLine) = nullptr;
  void (*answer)(const CommandLine &commandLine, Text &answer) = nullptr;
  bool pinFromBlockWhenLocked = false;
  std::optional<KeyWord> key{};
  bool data = false;
  MessageForm message = MessageForm::None;
};

// Descriptions start in column 29, as in the usage text: four blanks, then the word and its
// placeholder in 24 columns.
constexpr DeclaredOption kOptions[] = {
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
     .answer = answerCalcPvv,
     .pinFromBlockWhenLocked = true},
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
     .answer = answerCalcOffset,
     .pinFromBlockWhenLocked = true},
    {.word = u"-verifyoffset",
     .group = OptionGroup::Command,
     .line = u"verify a pinblock or PIN against an IBM 3624 offset",
     .check = checkVerifyOffset,
     .answer = answerVerifyOffset,
     .pinFromBlockWhenLocked = true},
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
    {.word = u"-calcarqc",
     .group = OptionGroup::Command,
     .line = u"compute a card's application cryptogram (ARQC)",
     .check = checkCalcArqc,
     .answer = answerCalcArqc},
    {.word = u"-verifyarqc",
     .group = OptionGroup::Command,
     .line = u"verify an ARQC as the card's issuer",
     .check = checkVerifyArqc,
     .answer = answerVerifyArqc},
    {.word = u"-calcarpc",
     .group = OptionGroup::Command,
     .line = u"compute the issuer's response cryptogram (ARPC)",
     .check = checkCalcArpc,
     .answer = answerCalcArpc},
    {.word = u"-emvkeys",
     .group = OptionGroup::Command,
     .line = u"print a card's master key and session key",
     .check = checkEmvKeys,
     .answer = answerEmvKeys},
    {.word = u"-calcmac",
     .group = OptionGroup::Command,
     .line = u"compute the MAC of a message",
     .check = checkCalcMac,
     .answer = answerCalcMac},
    {.word = u"-verifymac",
     .group = OptionGroup::Command,
     .line = u"verify the MAC of a message",
     .check = checkVerifyMac,
     .answer = answerVerifyMac},
    {.word = u"-encrypt",
     .group = OptionGroup::Command,
     .line = u"encipher a message under the DEK",
     .check = checkEncrypt,
     .answer = answerEncrypt},
    {.word = u"-decrypt",
     .group = OptionGroup::Command,
     .line = u"decipher a message under the DEK",
     .check = checkDecrypt,
     .answer = answerDecrypt},
    {.word = u"-kcv",
     .group = OptionGroup::Command,
     .line = u"print the check value of the one key given",
     .check = checkKcv,
     .answer = answerKcv},
    {.word = u"-unwrapkey",
     .group = OptionGroup::Command,
     .line = u"open a key block: print its header, key and check value",
     .check = checkUnwrapKey,
     .answer = answerUnwrapKey},
    {.word = u"-wrapkey",
     .group = OptionGroup::Command,
     .line = u"wrap the key into a key block under the KBPK",
     .check = checkWrapKey,
     .answer = answerWrapKey},
    {.word = u"-combinekeys",
     .group = OptionGroup::Command,
     .line = u"combine key components into a key, with check values",
     .check = checkCombineKeys,
     .answer = answerCombineKeys},
    {.word = u"-fixparity",
     .group = OptionGroup::Command,
     .line = u"print a DES or Triple-DES key with odd parity",
     .check = checkFixParity,
     .answer = answerFixParity},
    {.word = u"-version",
     .group = OptionGroup::Command,
     .line = u"print the program's name and version",
     .check = checkNothing,
     .answer = answerVersion},
    {.word = u"-help",
     .group = OptionGroup::Command,
     .line = u"print the usage text",
     .help = Help::Usage},
    {.word = u"-help2",
     .group = OptionGroup::Command,
     .line = u"print the usage text with the secondary commands",
     .help = Help::FullUsage},
    {.word = u"-helpall",
     .group = OptionGroup::Command,
     .line = u"print every option word with its line (this list)",
     .help = Help::EveryWord},
    {.word = u"--help",
     .group = OptionGroup::Command,
     .line = u"the same as -helpall",
     .help = Help::EveryWord},
    {.word = u"-h",
     .group = OptionGroup::Command,
     .line = u"the same as -helpall",
     .help = Help::EveryWord},

    // Values.
    {.word = u"-pan",
     .group = OptionGroup::Value,
     .placeholder = u"PANDIGITS",
     .line = u"PAN (13-19 digits)",
     .missing = u"missing PAN",
     .text = &CL::pan,
     .data = true},
    {.word = u"-pvki",
     .group = OptionGroup::Value,
     .placeholder = u"INDEX",
     .line = u"KPV Index, 0 - 6",
     .missing = u"missing PVKI",
     .refused = u"PVKI must be between 0 and 6 (inclusive) ",
     .rule = {.characters = Chars::Decimal, .largest = 6},
     .number = &CL::pvki,
     .data = true},
    {.word = u"-pvv",
     .group = OptionGroup::Value,
     .placeholder = u"PVVDIGITS",
     .line = u"PVV (4 digits)",
     .missing = u"missing PVV",
     .refused = u"PVV must be 4 digits",
     .rule = {Chars::Decimal, 4, 4},
     .text = &CL::pvv,
     .data = true},
    {.word = u"-pinblock",
     .group = OptionGroup::Value,
     .placeholder = u"PINBLOCKHEX",
     .line = u"pinblock, in hex format (16 hex digits)",
     .missing = u"missing PINBLOCK",
     .refused = u"pinblock must be 16 hex digits",
     .rule = {Chars::Hex, 16, 16},
     .text = &CL::pinBlockHex,
     .data = true},
    {.word = u"-pinblockaes",
     .group = OptionGroup::Value,
     .placeholder = u"PINBLOCKHEX",
     .line = u"a format-4 pinblock (32 hex digits)",
     .missing = u"missing PINBLOCKAES",
     .refused = u"pinblockaes must be 32 hex digits",
     .rule = {Chars::Hex, 32, 32},
     .text = &CL::pinBlockHex,
     .data = true},
    {.word = u"-format",
     .group = OptionGroup::Value,
     .line = u"the ISO 9564 format of the pinblock (default 0)",
     .missing = u"missing format",
     .choices = formatChoice,
     .number = &CL::format},
    {.word = u"-toformat",
     .group = OptionGroup::Value,
     .line = u"the format -translate makes (default: -format's)",
     .missing = u"missing toformat",
     .choices = formatChoice,
     .number = &CL::toFormat},
    {.word = u"-pin",
     .group = OptionGroup::Value,
     .placeholder = u"PINDIGITS",
     .line = u"4-14 digit PIN (Visa PVV only considers 4)",
     .missing = u"missing PIN",
     .refused = u"PIN must be 4 to 14 digits",
     .rule = {Chars::Decimal, 4, 14},
     .text = &CL::pin,
     .data = true},
    {.word = u"-valdata",
     .group = OptionGroup::Value,
     .placeholder = u"VALDATAHEX",
     .line = u"IBM 3624 validation data (1-16 hex digits)",
     .missing = u"missing validation data",
     .refused = u"validation data must be 1 to 16 hex digits",
     .rule = {Chars::Hex, 1, 16},
     .text = &CL::validationData,
     .data = true},
    {.word = u"-valpad",
     .group = OptionGroup::Value,
     .placeholder = u"PADHEX",
     .line = u"validation data pad (1 hex digit, default F)",
     .missing = u"missing validation data pad",
     .refused = u"validation data pad must be 1 hex digit",
     .rule = {Chars::Hex, 1, 1},
     .text = &CL::validationPad},
    {.word = u"-dectab",
     .group = OptionGroup::Value,
     .placeholder = u"DECTABDIGITS",
     .line = u"decimalisation table (default 0123456789012345)",
     .missing = u"missing decimalisation table",
     .refused = u"decimalisation table must be 16 digits",
     .rule = {Chars::Decimal, 16, 16},
     .text = &CL::decimalisation},
    {.word = u"-offset",
     .group = OptionGroup::Value,
     .placeholder = u"OFFSETDIGITS",
     .line = u"IBM 3624 PIN offset (4-12 digits)",
     .missing = u"missing offset",
     .refused = u"offset must be 4 to 12 digits",
     .rule = {Chars::Decimal, 4, 12},
     .text = &CL::offset,
     .data = true},
    {.word = u"-expiry",
     .group = OptionGroup::Value,
     .placeholder = u"YYMM",
     .line = u"card expiry date (4 digits, as on the stripe)",
     .missing = u"missing expiry date",
     .refused = u"expiry date must be 4 digits",
     .rule = {Chars::Decimal, 4, 4},
     .text = &CL::expiry,
     .data = true},
    {.word = u"-servicecode",
     .group = OptionGroup::Value,
     .placeholder = u"CODE",
     .line = u"service code (3 digits; 000 for CVV2, 999 for iCVV)",
     .missing = u"missing service code",
     .refused = u"service code must be 3 digits",
     .rule = {Chars::Decimal, 3, 3},
     .text = &CL::serviceCode,
     .data = true},
    {.word = u"-cvv",
     .group = OptionGroup::Value,
     .placeholder = u"CVVDIGITS",
     .line = u"CVV, CVV2 or iCVV (3 digits)",
     .missing = u"missing CVV",
     .refused = u"CVV must be 3 digits",
     .rule = {Chars::Decimal, 3, 3},
     .text = &CL::cvv,
     .data = true},
    {.word = u"-ksn",
     .group = OptionGroup::Value,
     .placeholder = u"KSNHEX",
     .line = u"DUKPT key serial number (20 hex digits, 24 for AES)",
     .missing = u"missing KSN",
     .refused = u"KSN must be 20 or 24 hex digits",
     .rule = {Chars::Hex, 20, 20, 24},
     .bytes = &CL::ksn,
     .data = true},
    {.word = u"-ref",
     .group = OptionGroup::Value,
     .placeholder = u"TEXT",
     .line = u"with -batch: an identifier echoed in the answer",
     .missing = u"missing ref",
     .refused = u"ref must be 1 to 64 characters from ! to ~",
     .rule = {Chars::Visible, 1, 64},
     .text = &CL::ref,
     .data = true},
    {.word = u"-workingkey",
     .group = OptionGroup::Value,
     .line = u"AES DUKPT working key (aes128)",
     .missing = u"missing working key type",
     .choices = choiceFrom<kWorkingKeys>,
     .number = &CL::workingKey},
    {.word = u"-keyblockfile",
     .group = OptionGroup::Value,
     .placeholder = u"FILE",
     .line = u"read the key block of -keyblock from a file (as text)",
     .key = KeyWord{Role::Key, KeyForm::BlockFile}},
    {.word = u"-kbversion",
     .group = OptionGroup::Value,
     .line = u"key block version -wrapkey writes (default by KBPK)",
     .missing = u"missing key block version",
     .refused = u"kbversion must be B or D: versions A and C are read but not written, as "
                u"variant binding is withdrawn",
     .choices = choiceFrom<kKeyBlockVersions>,
     .number = &CL::kbVersion},
    {.word = u"-kbusage",
     .group = OptionGroup::Value,
     .placeholder = u"USAGE",
     .line = u"key usage of the block -wrapkey writes, e.g. P0",
     .missing = u"missing key usage",
     .refused = u"kbusage must be a key usage such as P0, V2, C0 or B0",
     .choices = usageChoice,
     .number = &CL::kbUsage},
    {.word = u"-kbmode",
     .group = OptionGroup::Value,
     .placeholder = u"MODE",
     .line = u"mode of use of the block -wrapkey writes, e.g. E",
     .missing = u"missing mode of use",
     .choices = modeChoice,
     .number = &CL::kbMode},
    {.word = u"-kbkeyversion",
     .group = OptionGroup::Value,
     .placeholder = u"NN",
     .line = u"key version of the block -wrapkey writes (default 00)",
     .missing = u"missing key version",
     .refused = u"kbkeyversion must be 2 printable characters, e.g. 00",
     .rule = {Chars::Printable, 2, 2},
     .text = &CL::kbKeyVersion},
    {.word = u"-kbexport",
     .group = OptionGroup::Value,
     .line = u"exportability of the block -wrapkey writes (default N)",
     .missing = u"missing exportability",
     .choices = choiceFrom<kExportabilities>,
     .number = &CL::kbExport},
    {.word = u"-kbopt",
     .group = OptionGroup::Value,
     .placeholder = u"BLOCKS",
     .line = u"optional blocks of the block -wrapkey writes",
     .missing = u"missing optional blocks",
     .refused = u"kbopt must be optional blocks as a header holds them, e.g. "
                u"KS1800604B120F9292800000, without PB",
     .rule = {.characters = Chars::Printable,
              .shortest = 4,
              .longest = 9999,
              .syntax = Syntax::OptionalBlocks},
     .text = &CL::kbOptional},
    {.word = u"-component",
     .group = OptionGroup::Value,
     .placeholder = u"HEX",
     .line = u"a key component (16, 32 or 48 hex digits), 2 to 9 times",
     .missing = u"missing component",
     .refused = u"component must be 48, 32 or 16 hex digits",
     .rule = {.characters = Chars::Hex, .shortest = 16, .longest = 48, .step = 16},
     .list = &CL::components},
    {.word = u"-componentaes",
     .group = OptionGroup::Value,
     .placeholder = u"HEX",
     .line = u"an AES key component (32, 48 or 64 hex digits)",
     .missing = u"missing AES component",
     .refused = u"AES component must be 64, 48 or 32 hex digits",
     .rule = {.characters = Chars::Hex, .shortest = 32, .longest = 64, .step = 16},
     .list = &CL::aesComponents},
    {.word = u"-psn",
     .group = OptionGroup::Value,
     .placeholder = u"PSNDIGITS",
     .line = u"PAN sequence number (2 digits, default 00)",
     .missing = u"missing PSN",
     .refused = u"PSN must be 2 digits",
     .rule = {Chars::Decimal, 2, 2},
     .text = &CL::psn,
     .data = true},
    {.word = u"-atc",
     .group = OptionGroup::Value,
     .placeholder = u"ATCHEX",
     .line = u"application transaction counter (4 hex digits)",
     .missing = u"missing ATC",
     .refused = u"ATC must be 4 hex digits",
     .rule = {Chars::Hex, 4, 4},
     .bytes = &CL::atc,
     .data = true},
    {.word = u"-un",
     .group = OptionGroup::Value,
     .placeholder = u"UNHEX",
     .line = u"the terminal's unpredictable number (8 hex digits)",
     .missing = u"missing UN",
     .refused = u"UN must be 8 hex digits",
     .rule = {Chars::Hex, 8, 8},
     .bytes = &CL::un,
     .data = true},
    {.word = u"-acdata",
     .group = OptionGroup::Value,
     .placeholder = u"DATAHEX",
     .line = u"the transaction data of the cryptogram (hex)",
     .missing = u"missing transaction data",
     .refused = u"transaction data must be an even number of hex digits, 2 to 512",
     .rule = {Chars::HexPairs, 2, 512},
     .text = &CL::acData,
     .data = true},
    {.word = u"-arqc",
     .group = OptionGroup::Value,
     .placeholder = u"ARQCHEX",
     .line = u"application cryptogram (16 hex digits)",
     .missing = u"missing ARQC",
     .refused = u"ARQC must be 16 hex digits",
     .rule = {Chars::Hex, 16, 16},
     .bytes = &CL::arqc,
     .data = true},
    {.word = u"-arc",
     .group = OptionGroup::Value,
     .placeholder = u"ARCHEX",
     .line = u"authorisation response code (4 hex digits)",
     .missing = u"missing ARC",
     .refused = u"ARC must be 4 hex digits",
     .rule = {Chars::Hex, 4, 4},
     .bytes = &CL::arc,
     .data = true},
    {.word = u"-csu",
     .group = OptionGroup::Value,
     .placeholder = u"CSUHEX",
     .line = u"card status update (8 hex digits)",
     .missing = u"missing CSU",
     .refused = u"CSU must be 8 hex digits",
     .rule = {Chars::Hex, 8, 8},
     .bytes = &CL::csu,
     .data = true},
    {.word = u"-propauth",
     .group = OptionGroup::Value,
     .placeholder = u"PROPHEX",
     .line = u"proprietary authentication data (0-8 bytes, hex)",
     .missing = u"missing proprietary authentication data",
     .refused = u"proprietary authentication data must be an even number of hex digits, 16 at "
                u"most",
     .rule = {Chars::HexPairs, 0, 16},
     .bytes = &CL::propAuth,
     .data = true},
    {.word = u"-cvn",
     .group = OptionGroup::Value,
     .line = u"cryptogram recipe",
     .missing = u"missing cryptogram version",
     .choices = recipeChoice,
     .number = &CL::cvn},
    {.word = u"-mkd",
     .group = OptionGroup::Value,
     .line = u"card master key derivation option",
     .missing = u"missing derivation option",
     .choices = choiceFrom<kCardKeyOptions>,
     .number = &CL::cardKeyOption},
    {.word = u"-skd",
     .group = OptionGroup::Value,
     .line = u"session key derivation method",
     .missing = u"missing session key method",
     .choices = choiceFrom<kSessionKeyMethods>,
     .number = &CL::sessionKey},
    {.word = u"-acpad",
     .group = OptionGroup::Value,
     .line = u"ARQC padding: 1 zeros, 2 80 then zeros",
     .missing = u"missing padding method",
     .choices = choiceFrom<kAcPaddings>,
     .number = &CL::acPadding},
    {.word = u"-arpcmethod",
     .group = OptionGroup::Value,
     .line = u"ARPC method: 1 with -arc, 2 with -csu",
     .missing = u"missing ARPC method",
     .choices = choiceFrom<kArpcMethods>,
     .number = &CL::arpcMethod},
    {.word = u"-arpckey",
     .group = OptionGroup::Value,
     .line = u"key of ARPC method 1: master or session key",
     .missing = u"missing ARPC key",
     .choices = choiceFrom<kArpcKeys>,
     .number = &CL::arpcKey},
    {.word = u"-direction",
     .group = OptionGroup::Value,
     .line = u"DUKPT: whose MAC or message (default request)",
     .missing = u"missing direction",
     .choices = choiceFrom<kDirections>,
     .number = &CL::direction,
     .data = true},
    {.word = u"-data",
     .group = OptionGroup::Value,
     .placeholder = u"DATAHEX",
     .line = u"the message, in hex (an even number of digits)",
     .missing = u"missing data",
     .refused = u"data must be an even number of hex digits",
     .rule = {.characters = Chars::HexPairs},
     .data = true,
     .message = MessageForm::Hex},
    {.word = u"-datafile",
     .group = OptionGroup::Value,
     .placeholder = u"FILE",
     .line = u"read the message as raw bytes (1 MiB at most)",
     .missing = u"missing data filename",
     .message = MessageForm::File},
    {.word = u"-macalg",
     .group = OptionGroup::Value,
     .line = u"the MAC algorithm",
     .missing = u"missing MAC algorithm",
     .choices = macAlgorithmChoice,
     .number = &CL::macAlgorithm},
    {.word = u"-macpad",
     .group = OptionGroup::Value,
     .line = u"ISO 9797-1 padding method (default 1)",
     .missing = u"missing MAC padding",
     .choices = choiceFrom<kMacPaddings>,
     .number = &CL::macPadding},
    {.word = u"-maclen",
     .group = OptionGroup::Value,
     .placeholder = u"BYTES",
     .line = u"MAC length in bytes, 4 or more (default: all)",
     .missing = u"missing MAC length",
     .refused = u"MAC length must be 4 to 64 bytes",
     .rule =
         {.characters = Chars::Decimal, .shortest = 1, .longest = 2, .largest = 64, .smallest = 4},
     .number = &CL::macLength},
    {.word = u"-mac",
     .group = OptionGroup::Value,
     .placeholder = u"MACHEX",
     .line = u"the MAC -verifymac checks (8 to 128 hex digits)",
     .missing = u"missing MAC",
     .refused = u"MAC must be an even number of 8 to 128 hex digits",
     .rule = {Chars::HexPairs, 8, 128},
     .text = &CL::macHex,
     .data = true},
    {.word = u"-mode",
     .group = OptionGroup::Value,
     .line = u"block mode of -encrypt and -decrypt (default cbc)",
     .missing = u"missing mode",
     .choices = choiceFrom<kBlockModes>,
     .number = &CL::mode},
    {.word = u"-iv",
     .group = OptionGroup::Value,
     .placeholder = u"IVHEX",
     .line = u"CBC initial vector, one block (default zeros)",
     .missing = u"missing IV",
     .refused = u"IV must be 16 or 32 hex digits",
     .rule = {Chars::Hex, 16, 16, 32},
     .bytes = &CL::iv,
     .data = true},
    {.word = u"-datapad",
     .group = OptionGroup::Value,
     .line = u"-encrypt: pad by ISO 9797-1 method 1 or 2",
     .missing = u"missing data padding",
     .choices = choiceFrom<kDataPaddings>,
     .number = &CL::dataPadding},

    // Switches.
    {.word = u"-suppressluhn",
     .group = OptionGroup::Switch,
     .line = u"do not perform Luhn check on PAN",
     .flag = &CL::suppressLuhn},
    {.word = u"-batch",
     .group = OptionGroup::Switch,
     .line = u"answer one request per line of standard input",
     .flag = &CL::batch,
     .notInRequest = true},
    {.word = u"-locked",
     .group = OptionGroup::Switch,
     .line = u"with -batch: requests may give per-card data only",
     .flag = &CL::locked,
     .notInRequest = true},
    {.word = u"-jsonl",
     .group = OptionGroup::Switch,
     .line = u"with -batch: answer in JSON Lines",
     .flag = &CL::jsonl,
     .notInRequest = true},
    {.word = u"-csv",
     .group = OptionGroup::Switch,
     .line = u"with -batch: CSV in (a header of words) and out",
     .flag = &CL::csv,
     .notInRequest = true},
};

// ---- The key words, generated from the key roles ---------------------------------------------

// A word built at compile time, kept where its row's view can point at it.
struct FixedWord {
  std::array<char16_t, 24> text{};
  std::size_t size = 0;
};

constexpr bool hasWord(const KeyRole &role, KeyForm form) {
  switch (form) {
  case KeyForm::Hex:
    return role.des.hexSizes != 0;
  case KeyForm::File:
    return role.des.fileSizes != 0;
  case KeyForm::AesHex:
    return role.aes.hexSizes != 0;
  case KeyForm::AesFile:
    return role.aes.fileSizes != 0;
  case KeyForm::Block:
    return !role.blockLine.empty();
  case KeyForm::HmacHex:
  case KeyForm::HmacFile:
    return role.hmac.anyUpTo != 0;
  case KeyForm::CheckValue:
    return true;
  case KeyForm::BlockFile:
    return false;
  }
  return false;
}

// Each role's words in their order, then every role's guard: the order of -helpall.
template <typename Visit> constexpr void forEachKeyWord(Visit visit) {
  for (const KeyRole &role : kKeyRoles) {
    for (const KeyForm form : {KeyForm::Hex, KeyForm::File, KeyForm::AesHex, KeyForm::AesFile,
                               KeyForm::HmacHex, KeyForm::HmacFile, KeyForm::Block}) {
      if (hasWord(role, form)) {
        visit(KeyWord{role.role, form});
      }
    }
  }
  for (const KeyRole &role : kKeyRoles) {
    visit(KeyWord{role.role, KeyForm::CheckValue});
  }
}

constexpr std::size_t countKeyWords() {
  std::size_t count = 0;
  forEachKeyWord([&count](KeyWord) { ++count; });
  return count;
}
constexpr std::size_t kKeyWordCount = countKeyWords();

constexpr std::array<FixedWord, kKeyWordCount> makeKeyWordTexts() {
  std::array<FixedWord, kKeyWordCount> words{};
  std::size_t next = 0;
  forEachKeyWord([&](KeyWord word) {
    FixedWord &out = words[next++];
    const auto put = [&out](std::u16string_view part) {
      for (const char16_t c : part) {
        out.text[out.size++] = c;
      }
    };
    put(u"-");
    put(keyRole(word.role).name);
    put(keyFormSuffix(word.form));
  });
  return words;
}
constexpr std::array<FixedWord, kKeyWordCount> kKeyWordTexts = makeKeyWordTexts();

constexpr std::array<DeclaredOption, kKeyWordCount>
makeKeyOptions(const std::array<FixedWord, kKeyWordCount> &texts) {
  std::array<DeclaredOption, kKeyWordCount> rows{};
  std::size_t next = 0;
  forEachKeyWord([&](KeyWord word) {
    const KeyRole &role = keyRole(word.role);
    const KeyWords &family = wordsOf(role, word.form);
    const bool file = isFileForm(word.form);
    const bool guard = word.form == KeyForm::CheckValue;
    const bool block = word.form == KeyForm::Block;
    DeclaredOption &row = rows[next];
    row.word = std::u16string_view(texts[next].text.data(), texts[next].size);
    row.group = OptionGroup::Key;
    row.placeholder = guard ? u"KCV" : file ? u"FILE" : block ? u"KEYBLOCK" : family.placeholder;
    row.line = guard ? role.kcvLine : file ? family.fileLine : block ? role.blockLine : family.line;
    row.key = word;
    // A request of a locked batch may bring its own key, wrapped under the fixed KBPK.
    row.data = block;
    ++next;
  });
  return rows;
}

template <std::size_t N, std::size_t M>
constexpr std::array<DeclaredOption, N + M> joined(const DeclaredOption (&first)[N],
                                                   const std::array<DeclaredOption, M> &second) {
  std::array<DeclaredOption, N + M> rows{};
  std::copy(std::begin(first), std::end(first), rows.begin());
  std::copy(second.begin(), second.end(), rows.begin() + N);
  return rows;
}

constexpr auto kDeclaredOptions = joined(kOptions, makeKeyOptions(kKeyWordTexts));

// ---- The rows as the program holds them ---------------------------------------------------

// Each declared option's texts in turn, the same text stored once.
constexpr std::u16string_view textOf(const DeclaredOption &declared, std::size_t which) {
  const std::u16string_view texts[] = {declared.word, declared.placeholder, declared.line,
                                       declared.missing, declared.refused};
  return texts[which];
}

template <typename Visit> constexpr void forEachText(Visit visit) {
  for (const DeclaredOption &declared : kDeclaredOptions) {
    for (std::size_t which = 0; which < 5; ++which) {
      visit(textOf(declared, which));
    }
  }
}

constexpr std::size_t poolSize() {
  std::size_t size = 0;
  forEachText([&size](std::u16string_view text) { size += text.size(); });
  return size;
}

// The texts of the rows, each distinct text once. Only whole texts are shared, and a text is
// compared only with the earlier ones of its length: searching the whole pool for each text
// takes more steps than a compiler allows a constant expression once the table has a hundred
// rows.
constexpr std::size_t kTextCount = kDeclaredOptions.size() * 5;
constexpr std::size_t kLongestText = 128;

struct Pool {
  std::array<char16_t, poolSize()> characters{};
  std::size_t used = 0;
  std::array<TextRef, kTextCount> refs{}; // where each text of forEachText is, in its order
  std::size_t count = 0;
  // Chains of the distinct texts by length: 1 + the index in refs of the last one of each
  // length, and of the one before each; 0 ends a chain.
  std::array<std::uint16_t, kLongestText> lastOfLength{};
  std::array<std::uint16_t, kTextCount> earlierOfLength{};

  constexpr void place(std::u16string_view text) {
    TextRef &ref = refs[count++];
    if (text.empty()) {
      return;
    }
    for (std::size_t i = lastOfLength[text.size()]; i != 0; i = earlierOfLength[i - 1]) {
      if (std::u16string_view(characters.data() + refs[i - 1].offset, text.size()) == text) {
        ref = refs[i - 1];
        return;
      }
    }
    ref = {static_cast<std::uint16_t>(used), static_cast<std::uint16_t>(text.size())};
    for (const char16_t c : text) {
      characters[used++] = c;
    }
    earlierOfLength[count - 1] = lastOfLength[text.size()];
    lastOfLength[text.size()] = static_cast<std::uint16_t>(count);
  }
  // The place of text which (0 word, 1 placeholder, 2 line, 3 missing, 4 refused) of declared row.
  constexpr TextRef at(std::size_t row, std::size_t which) const { return refs[5 * row + which]; }
};

constexpr Pool makePool() {
  Pool pool;
  forEachText([&pool](std::u16string_view text) { pool.place(text); });
  return pool;
}
constexpr Pool kPool = makePool();
static_assert(kPool.used < 65536, "TextRef holds offsets in 16 bits");

// The distinct functions of the command words, in the order of the rows.
constexpr std::size_t countCommands() {
  std::size_t count = 0;
  for (const DeclaredOption &declared : kDeclaredOptions) {
    count += declared.check != nullptr ? 1 : 0;
  }
  return count;
}

constexpr std::array<CommandFunctions, countCommands()> makeCommands() {
  std::array<CommandFunctions, countCommands()> commands{};
  std::size_t next = 0;
  for (const DeclaredOption &declared : kDeclaredOptions) {
    if (declared.check != nullptr) {
      commands[next++] = {declared.check, declared.answer};
    }
  }
  return commands;
}
constexpr std::array<CommandFunctions, countCommands()> kCommands = makeCommands();

// The distinct lists of values.
struct ChoiceLists {
  std::array<ChoiceList, 32> lists{};
  std::size_t count = 0;

  constexpr std::uint8_t place(ChoiceList list) {
    if (list == nullptr) {
      return 0;
    }
    for (std::size_t i = 0; i < count; ++i) {
      if (lists[i] == list) {
        return static_cast<std::uint8_t>(i + 1);
      }
    }
    lists[count++] = list;
    return static_cast<std::uint8_t>(count);
  }
};

constexpr ChoiceLists makeChoiceLists() {
  ChoiceLists lists;
  for (const DeclaredOption &declared : kDeclaredOptions) {
    lists.place(declared.choices);
  }
  return lists;
}
constexpr ChoiceLists kChoiceLists = makeChoiceLists();

// Whether two rows fill the same field: the same member, or the same key role.
constexpr bool sameField(const DeclaredOption &a, const DeclaredOption &b) {
  if (a.key || b.key) {
    return a.key && b.key && a.key->role == b.key->role &&
           (a.key->form == KeyForm::CheckValue) == (b.key->form == KeyForm::CheckValue);
  }
  return (a.text != nullptr && a.text == b.text) || (a.number != nullptr && a.number == b.number) ||
         (a.bytes != nullptr && a.bytes == b.bytes) || (a.flag != nullptr && a.flag == b.flag) ||
         (a.list != nullptr && a.list == b.list);
}

constexpr std::uint8_t fieldOf(std::size_t row) {
  for (std::size_t first = 0; first < row; ++first) {
    if (sameField(kDeclaredOptions[first], kDeclaredOptions[row])) {
      return static_cast<std::uint8_t>(first);
    }
  }
  return static_cast<std::uint8_t>(row);
}

constexpr std::array<Option, kDeclaredOptions.size()> makeRows() {
  ChoiceLists lists = kChoiceLists;
  std::array<Option, kDeclaredOptions.size()> rows{};
  std::size_t commands = 0;
  for (std::size_t i = 0; i < kDeclaredOptions.size(); ++i) {
    const DeclaredOption &declared = kDeclaredOptions[i];
    Option &row = rows[i];
    const TextRef *refs = &kPool.refs[5 * i]; // in the order of textOf
    row.wordRef = refs[0];
    row.placeholderRef = refs[1];
    row.lineRef = refs[2];
    row.missingRef = refs[3];
    row.refusedRef = refs[4];
    row.group = declared.group;
    row.help = declared.help;
    row.notInRequest = declared.notInRequest;
    row.data = declared.data;
    row.choiceList = lists.place(declared.choices);
    row.command = declared.check != nullptr ? static_cast<std::uint8_t>(++commands) : 0;
    row.rule = declared.rule;
    row.checksValue = declared.key || declared.choices != nullptr ||
                      declared.rule.characters != Characters::Any || declared.rule.shortest != 0 ||
                      declared.rule.longest != UINT32_MAX;
    row.text = declared.text;
    row.number = declared.number;
    row.bytes = declared.bytes;
    row.flag = declared.flag;
    row.list = declared.list;
    row.key = declared.key;
    row.field = fieldOf(i);
    row.pinFromBlockWhenLocked = declared.pinFromBlockWhenLocked;
    row.message = declared.message;
  }
  return rows;
}

constexpr std::array<Option, kDeclaredOptions.size()> kAllOptions = makeRows();

inline std::u16string_view view(TextRef ref) {
  return {kPool.characters.data() + ref.offset, ref.size};
}

// ---- Finding a word ---------------------------------------------------------------------------

// The rows in the order of the length of their word, and where the rows of each length begin,
// so that a lookup compares a word only with the words of its length.
constexpr std::size_t kLongestWord = 24;
struct WordIndex {
  std::array<std::uint8_t, kAllOptions.size()> rows{};
  std::array<std::uint16_t, kAllOptions.size()> offsets{}; // where each row's word is in the pool
  std::array<std::uint64_t, kAllOptions.size()> keys{};    // wordKey of each row, in that order
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
      for (std::size_t row = 0; row < kAllOptions.size(); ++row) {
        if (kDeclaredOptions[row].word.size() == length && kDeclaredOptions[row].data == data) {
          index.keys[next] = wordKey(kDeclaredOptions[row].word);
          index.offsets[next] = kAllOptions[row].wordRef.offset;
          index.rows[next++] = static_cast<std::uint8_t>(row);
        }
      }
    }
  }
  index.start[kLongestWord + 1] = static_cast<std::uint8_t>(next);
  return index;
}

constexpr WordIndex kWordIndex = makeWordIndex();
static_assert(kWordIndex.start[kLongestWord + 1] == kAllOptions.size(), "a word is too long");
static_assert(kAllOptions.size() < 256, "the index holds rows as bytes");

// The rarer parts of a rule, apart so that the common rule stays lean.
[[gnu::noinline]] bool shapeAccepts(const ValueRule &rule, std::u16string_view value) {
  return (rule.step == 0 || (value.size() - rule.shortest) % rule.step == 0) &&
         (rule.syntax != Syntax::OptionalBlocks || wellFormedOptionalBlocks(value));
}

[[gnu::noinline]] bool allPrintable(std::u16string_view value) {
  return std::all_of(value.begin(), value.end(), [](char16_t c) { return c >= 0x20 && c <= 0x7E; });
}

inline bool ruleAccepts(const ValueRule &rule, std::u16string_view value) {
  // The length first: it is the cheaper test, and both failures give the same message.
  const std::size_t length = value.size();
  if ((length < rule.shortest || length > rule.longest) &&
      (rule.orLength == 0 || length != rule.orLength)) {
    return false;
  }
  if ((rule.step != 0 || rule.syntax != Syntax::None) && !shapeAccepts(rule, value)) {
    return false;
  }
  switch (rule.characters) {
  case Characters::Any:
    return true;
  case Characters::Hex:
    return allHex(value);
  case Characters::Printable:
    return allPrintable(value);
  case Characters::Visible:
    return std::all_of(value.begin(), value.end(),
                       [](char16_t c) { return c >= 0x21 && c <= 0x7E; });
  case Characters::HexPairs:
    return length % 2 == 0 && allHex(value);
  case Characters::Decimal:
    break;
  }
  if (!allDecimal(value)) {
    return false;
  }
  if (rule.largest < 0) {
    return true;
  }
  // Once the number passes its largest it can only grow, so the loop stops there and no number
  // of digits can overflow it. The empty text is 0.
  std::int32_t number = 0;
  for (const char16_t c : value) {
    number = number * 10 + digitValue(c);
    if (number > rule.largest) {
      return false;
    }
  }
  return number >= rule.smallest;
}

// "a, b, c or d", for the choices of a row.
Text listOfChoices(const Option &option, std::u16string_view between, std::u16string_view last) {
  Text text;
  for (std::size_t i = 0; !option.choice(i).text.empty(); ++i) {
    if (i > 0) {
      text += option.choice(i + 1).text.empty() ? last : between;
    }
    text += option.choice(i).text;
  }
  return text;
}

} // namespace

std::u16string_view Option::word() const { return view(wordRef); }

std::u16string_view Option::line() const { return view(lineRef); }

Choice Option::choice(std::size_t index) const {
  return choiceList != 0 ? kChoiceLists.lists[choiceList - 1u](index) : Choice{};
}

const CommandFunctions &Option::functions() const { return kCommands[command - 1u]; }

// Key words and enumerated values, apart from the common rule so that it stays lean.
[[gnu::noinline]] bool acceptsKeyOrChoice(const Option &option, std::u16string_view value) {
  if (option.key) {
    return acceptsKeyValue(*option.key, value);
  }
  for (std::size_t i = 0; !option.choice(i).text.empty(); ++i) {
    if (option.choice(i).text == value) {
      return true;
    }
  }
  return false;
}

bool Option::accepts(std::u16string_view value) const {
  return key || choiceList != 0 ? acceptsKeyOrChoice(*this, value) : ruleAccepts(rule, value);
}

Text Option::missingMessage() const {
  return key ? missingKeyMessage(*key) : Text(view(missingRef));
}

Text Option::refusedMessage() const {
  if (key) {
    return refusedKeyMessage(*key);
  }
  if (choiceList != 0 && refusedRef.size == 0) {
    return Text(word().substr(1)) + u" must be " + listOfChoices(*this, u", ", u" or ");
  }
  return Text(view(refusedRef));
}

Text Option::placeholderText() const {
  return choiceList != 0 && placeholderRef.size == 0 ? listOfChoices(*this, u"|", u"|")
                                                     : Text(view(placeholderRef));
}

std::span<const Option> optionTable() { return kAllOptions; }

const Option *findOption(std::u16string_view word) {
  if (word.size() > kLongestWord) {
    return nullptr;
  }
  const std::uint64_t key = wordKey(word);
  // Characters 1 to 4 are in the key; the first is compared, and from the sixth on.
  const std::size_t rest = std::min<std::size_t>(5, word.size());
  for (std::size_t i = kWordIndex.start[word.size()]; i < kWordIndex.start[word.size() + 1]; ++i) {
    const char16_t *candidate = kPool.characters.data() + kWordIndex.offsets[i];
    if (kWordIndex.keys[i] == key && candidate[0] == word[0] &&
        std::u16string_view(candidate + rest, word.size() - rest) == word.substr(rest)) {
      return &kAllOptions[kWordIndex.rows[i]];
    }
  }
  return nullptr;
}

} // namespace tolvane
