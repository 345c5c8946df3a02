#include "cli/command_line.hpp"

#include <algorithm>

#include "base/digits.hpp"
#include "cli/errors.hpp"
#include "cli/option_table.hpp"

namespace tolvane {

namespace {

// A check value the command line insists on, for one key.
struct Guard {
  std::u16string_view CommandLine::*checkValue;
  const KeySlot *CommandLine::*key;
  const char16_t *withoutKey; // the guard was given, its key was not
  const char16_t *mismatch;
};

constexpr Guard kGuards[] = {
    {&CommandLine::kpvKcv, &CommandLine::kpv, u"kpvkcv requires either of -kpv or -kpvfile",
     u"KPV check value does not match"},
    {&CommandLine::kpeKcv, &CommandLine::kpe, u"kpekcv requires either of -kpe or -kpefile",
     u"KPE check value does not match"},
    {&CommandLine::toKpeKcv, &CommandLine::toKpe,
     u"tokpekcv requires one of -tokpe, -tokpefile, -tokpeaes or -tokpeaesfile",
     u"TOKPE check value does not match"},
    {&CommandLine::cvkKcv, &CommandLine::cvk, u"cvkkcv requires either of -cvk or -cvkfile",
     u"CVK check value does not match"},
    {&CommandLine::bdkKcv, &CommandLine::bdk,
     u"bdkkcv requires one of -bdk, -bdkfile, -bdkaes or -bdkaesfile",
     u"BDK check value does not match"},
};

} // namespace

bool ArgvArgumentSource::next(std::u16string_view &argument) {
  if (position_ >= args_.size()) {
    return false;
  }
  argument = args_[position_++];
  return true;
}

namespace {

std::size_t lineBreakIn(std::u16string_view word) {
  std::size_t i = 0;
  while (i < word.size() && word[i] != u'\r' && word[i] != u'\n') {
    ++i;
  }
  return i;
}

// Whether -batch stands among the option words, so that the walk knows it from the start: a key
// file before it must already be refused if it is the batch's input. Values are skipped as the
// walk skips them; the look stops where the walk would stop.
bool namesBatch(std::span<const Text> args) {
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::u16string_view word(args[i]);
    const Option *option = findOption(word.substr(0, lineBreakIn(word)));
    if (option == nullptr || (option->takesValue() && ++i == args.size())) {
      return false;
    }
    if (option->word == u"-batch") {
      return true;
    }
  }
  return false;
}

} // namespace

CommandLine::CommandLine(std::span<const Text> args, KeyStore &keys) {
  ArgvArgumentSource source(args.empty() ? args : args.subspan(1));
  walk(source, keys, false, namesBatch(args));
  if (!batch) {
    if (jsonl || locked) {
      throw excCL_RequiredParameterMissing(jsonl ? u"jsonl requires -batch"
                                                 : u"locked requires -batch");
    }
    check();
  }
}

CommandLine::CommandLine(const CommandLine &base, ArgumentSource &words, KeyStore &keys)
    : CommandLine(base) {
  batch = false;
  walk(words, keys, true, true);
  check();
}

void CommandLine::walk(ArgumentSource &source, KeyStore &keys, bool inRequest, bool inBatch) {
  OptionContext context{*this, keys, inRequest, inBatch};
  std::u16string_view arg;
  while (source.next(arg)) {
    // Only the option word is cut at a CR or LF; values are taken exactly as they come. No word
    // of the table holds either, so a word found whole needs no cutting.
    const Option *option = findOption(arg);
    if (option == nullptr) {
      arg = arg.substr(0, lineBreakIn(arg));
      option = findOption(arg);
    }
    if (option == nullptr) {
      throw excCL_UnrecognizedOption(arg);
    }
    if (inRequest && locked && !option->data) {
      throw excCL_MalformedParameter(Text(option->word) +
                                     u" is fixed by the command line of this batch (-locked)");
    }
    std::u16string_view value;
    if (option->takesValue()) {
      if (!source.next(value)) {
        throw excCL_RequiredParameterMissing(option->missing);
      }
      if (option->accept != nullptr && !option->accept(value)) {
        throw excCL_MalformedParameter(option->refused);
      }
    }
    if (option->answer != nullptr) {
      command = option;
    } else {
      option->apply(context, value);
    }
  }
}

void CommandLine::check() const {
  if (command == nullptr) {
    throw excCL_RequiredParameterMissing(
        u"one of -verify, -calcpvv, or -calcpinblock must be specified");
  }
  command->check(*this);
  for (const Guard &guard : kGuards) {
    if (!(this->*guard.checkValue).empty() && this->*guard.key == nullptr) {
      throw excCL_RequiredParameterMissing(guard.withoutKey);
    }
  }
}

void CommandLine::checkGuards() const {
  for (const Guard &guard : kGuards) {
    const std::u16string_view expected = this->*guard.checkValue;
    if (expected.empty()) {
      continue;
    }
    // The guard names the first bytes of the check value; whether they match tells nothing
    // more than the answer would, but the comparison is made in constant time all the same.
    std::array<std::uint8_t, 5> given{};
    hexToBytes(expected, given.data());
    const CheckValue &actual = (this->*guard.key)->checkValue();
    const std::size_t count = std::min(expected.size() / 2, actual.size);
    if (count != expected.size() / 2 ||
        !constantTimeEqual(std::span(given.data(), count), std::span(actual.bytes.data(), count))) {
      throw excProblem(guard.mismatch);
    }
  }
}

} // namespace tolvane
