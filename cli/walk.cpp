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
    {&CommandLine::cvkKcv, &CommandLine::cvk, u"cvkkcv requires either of -cvk or -cvkfile",
     u"CVK check value does not match"},
};

} // namespace

bool ArgvArgumentSource::next(std::u16string_view &argument) {
  if (position_ >= args_.size()) {
    return false;
  }
  argument = args_[position_++];
  return true;
}

CommandLine::CommandLine(std::span<const Text> args, KeyStore &keys) {
  ArgvArgumentSource source(args.empty() ? args : args.subspan(1));
  walk(source, keys, false);
  if (!batch) {
    check();
  }
}

CommandLine::CommandLine(const CommandLine &base, ArgumentSource &words, KeyStore &keys)
    : CommandLine(base) {
  batch = false;
  walk(words, keys, true);
  check();
}

void CommandLine::walk(ArgumentSource &source, KeyStore &keys, bool inRequest) {
  OptionContext context{*this, keys, inRequest};
  std::u16string_view arg;
  while (source.next(arg)) {
    // Only the option word is cut; values are taken exactly as they come.
    arg = arg.substr(0, std::min(arg.size(), arg.find_first_of(u"\r\n")));
    const Option *option = findOption(arg);
    if (option == nullptr) {
      throw excCL_UnrecognizedOption(arg);
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
