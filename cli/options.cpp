#include "cli/options.hpp"

#include <algorithm>
#include <string_view>

#include "base/digits.hpp"
#include "card/luhn.hpp"
#include "cli/errors.hpp"

namespace tolvane {

namespace {

bool allDecimal(const Text &text) { return std::all_of(text.begin(), text.end(), isDecimalDigit); }
bool allHex(const Text &text) { return std::all_of(text.begin(), text.end(), isHexDigit); }

// Replaces a stored secret, blanking the old one first so that no copy is released unwiped.
void store(Text &field, const Text &value) {
  blankText(field);
  field = value;
}

void drawValue(ArgumentSource &source, Text &value, const char16_t *missing) {
  if (!source.next(value)) {
    throw excCL_RequiredParameterMissing(missing);
  }
}

// A key as 16, 32 or 48 hex digits; the length is tested first, with the same message.
void drawHexKey(ArgumentSource &source, Text &value, const char16_t *missing,
                const char16_t *refused, KeyList &key) {
  drawValue(source, value, missing);
  if ((value.size() != 48 && value.size() != 32 && value.size() != 16) || !allHex(value)) {
    throw excCL_MalformedParameter(refused);
  }
  keyFromHex(value, key);
}

// A key check value to insist on: 4 or 6 hex digits.
void drawCheckValue(ArgumentSource &source, Text &value, const char16_t *missing,
                    const char16_t *refused, Text &field) {
  drawValue(source, value, missing);
  if ((value.size() != 4 && value.size() != 6) || !allHex(value)) {
    throw excCL_MalformedParameter(refused);
  }
  store(field, value);
}

// Digits only, 0..6. Once the value passes 6 it can only grow, so the loop stops there and
// no number of digits can overflow it. The empty text has no offending character: 0.
bool parsePvki(const Text &value, std::int32_t &pvki) {
  std::int32_t result = 0;
  for (char16_t c : value) {
    if (!isDecimalDigit(c)) {
      return false;
    }
    result = result * 10 + digitValue(c);
    if (result > 6) {
      return false;
    }
  }
  pvki = result;
  return true;
}

} // namespace

bool ArgvArgumentSource::next(Text &argument) {
  if (position_ >= args_.size()) {
    return false;
  }
  blankText(argument); // the assignment may release its old buffer
  argument = args_[position_++];
  return true;
}

CommandLine::CommandLine(std::span<const Text> args) {
  try {
    ArgvArgumentSource source(args.empty() ? args : args.subspan(1));
    parse(source, false);
    if (!batch) {
      checkCommand();
    }
  } catch (...) {
    scrub();
    throw;
  }
}

CommandLine::CommandLine(const CommandLine &base, ArgumentSource &words) : CommandLine(base) {
  // Constructed by now: a throw from here on runs the destructor, which scrubs.
  batch = false;
  parse(words, true);
  checkCommand();
}

CommandLine::~CommandLine() { scrub(); }

void CommandLine::scrub() noexcept {
  blankText(pan);
  blankText(pvv);
  blankText(pinBlockHex);
  blankText(pin);
  blankText(kpvKcv);
  blankText(kpeKcv);
  pvki = 0;
  wipe(*kpv);
  wipe(*kpe);
}

void CommandLine::parse(ArgumentSource &source, bool inRequest) {
  Secret<Text> working; // the parser's copy of the argument in hand, blanked on every way out
  Text &arg = *working;
  while (source.next(arg)) {
    // Only the option word is cut; values are taken exactly as they come. What is cut off
    // is blanked first, since the string keeps it in its buffer.
    const std::size_t lineBreak = std::min(arg.size(), arg.find_first_of(u"\r\n"));
    blankText(arg, lineBreak);
    arg.resize(lineBreak);

    if (arg == u"-verify") {
      command = Command::Verify;
    } else if (arg == u"-calcpvv") {
      command = Command::CalcPvv;
    } else if (arg == u"-calcpinblock") {
      command = Command::CalcPinBlock;
    } else if (arg == u"-uncalcpinblock") {
      command = Command::UncalcPinBlock;
    } else if (arg == u"-verifypan") {
      command = Command::VerifyPan;
    } else if (arg == u"-fixpan") {
      command = Command::FixPan;
    } else if (arg == u"-kcv") {
      command = Command::Kcv;
    } else if (arg == u"-version") {
      command = Command::Version;
    } else if (arg == u"-help") {
      throw excCL_Help(false);
    } else if (arg == u"-help2") {
      throw excCL_Help(true);
    } else if (arg == u"-kpv") {
      drawHexKey(source, arg, u"missing KPV", u"KPV must be 48, 32 or 16 hex digits", kpv);
    } else if (arg == u"-kpvfile") {
      drawValue(source, arg, u"missing KPV filename");
      keyFromFile(arg, kpv, 16, u"KPV from file 16 or 8 bytes");
    } else if (arg == u"-kpe") {
      drawHexKey(source, arg, u"missing KPE", u"KPE must be 48, 32 or 16 hex digits", kpe);
    } else if (arg == u"-kpefile") {
      drawValue(source, arg, u"missing KPE filename");
      keyFromFile(arg, kpe, 24, u"KPE from file 24, 16 or 8 bytes");
    } else if (arg == u"-pin") {
      drawValue(source, arg, u"missing PIN");
      if (arg.size() < 4 || arg.size() > 14 || !allDecimal(arg)) {
        throw excCL_MalformedParameter(u"PIN must be 4 to 14 digits");
      }
      store(pin, arg);
    } else if (arg == u"-pan") {
      drawValue(source, arg, u"missing PAN");
      store(pan, arg);
    } else if (arg == u"-pvki") {
      drawValue(source, arg, u"missing PVKI");
      if (!parsePvki(arg, pvki)) {
        throw excCL_MalformedParameter(u"PVKI must be between 0 and 6 (inclusive) ");
      }
    } else if (arg == u"-pvv") {
      drawValue(source, arg, u"missing PVV");
      if (arg.size() != 4 || !allDecimal(arg)) {
        throw excCL_MalformedParameter(u"PVV must be 4 digits");
      }
      store(pvv, arg);
    } else if (arg == u"-pinblock") {
      drawValue(source, arg, u"missing PINBLOCK");
      if (arg.size() != 16 || !allHex(arg)) {
        throw excCL_MalformedParameter(u"pinblock must be 16 hex digits");
      }
      store(pinBlockHex, arg);
    } else if (arg == u"-suppressluhn") {
      suppressLuhn = true;
    } else if (arg == u"-kpvkcv") {
      drawCheckValue(source, arg, u"missing KPV check value",
                     u"KPV check value must be 4 or 6 hex digits", kpvKcv);
    } else if (arg == u"-kpekcv") {
      drawCheckValue(source, arg, u"missing KPE check value",
                     u"KPE check value must be 4 or 6 hex digits", kpeKcv);
    } else if (arg == u"-batch") {
      if (inRequest) {
        throw excCL_MalformedParameter(u"-batch is not allowed in a batch request");
      }
      batch = true;
    } else {
      throw excCL_UnrecognizedOption(arg.c_str());
    }
  }
}

void CommandLine::checkCommand() const {
  const bool panChecked = command == Command::Verify || command == Command::CalcPvv ||
                          command == Command::CalcPinBlock || command == Command::UncalcPinBlock;
  if (panChecked && !suppressLuhn && !luhnCheck(pan)) {
    throw excCL_MalformedParameter(u"PAN must be 13-19 digits which pass the Luhn check");
  }
  const bool hasPvki = pvki >= 0;
  switch (command) {
  case Command::Verify:
    if (pan.empty() || !hasPvki || pvv.empty() || pinBlockHex.empty() || kpv->empty()) {
      throw excCL_RequiredParameterMissing(
          u"verify requires -pan, -pvki, -pvv, -pinblock, and either of -kpv or -kpvfile");
    }
    break;
  case Command::CalcPvv:
    if (pan.empty() || !hasPvki || pin.empty() || kpv->empty()) {
      throw excCL_RequiredParameterMissing(
          u"calcpvv requires -pan, -pvki, -pin, and either of -kpv or -kpvfile");
    }
    break;
  case Command::CalcPinBlock:
    if (pan.empty() || pin.empty()) {
      throw excCL_RequiredParameterMissing(u"calcpinblock requires -pan, and -pin");
    }
    break;
  case Command::UncalcPinBlock:
    if (pan.empty() || pinBlockHex.empty()) {
      throw excCL_RequiredParameterMissing(u"uncalcpinblock requires -pan, -pinblock");
    }
    break;
  case Command::VerifyPan:
    if (pan.empty()) {
      throw excCL_RequiredParameterMissing(u"verifypan requires -pan");
    }
    break;
  case Command::FixPan:
    if (pan.empty()) {
      throw excCL_RequiredParameterMissing(u"fixpan requires -pan");
    }
    if (pan.size() < 2) {
      throw excCL_MalformedParameter(u"fixpan requires at least two pan digits");
    }
    break;
  case Command::Kcv:
    if (kpv->empty() == kpe->empty()) {
      throw excCL_RequiredParameterMissing(
          u"kcv requires one key: either of -kpv or -kpvfile, or either of -kpe or -kpefile");
    }
    break;
  case Command::Version:
    break;
  case Command::None:
    throw excCL_RequiredParameterMissing(
        u"one of -verify, -calcpvv, or -calcpinblock must be specified");
  }
  if (!kpvKcv.empty() && kpv->empty()) {
    throw excCL_RequiredParameterMissing(u"kpvkcv requires either of -kpv or -kpvfile");
  }
  if (!kpeKcv.empty() && kpe->empty()) {
    throw excCL_RequiredParameterMissing(u"kpekcv requires either of -kpe or -kpefile");
  }
}

} // namespace tolvane
