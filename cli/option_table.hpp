#pragma once
// Every option word, declared once: its group, the value it takes with the rule and the two
// messages for that value, what it sets, its line in -helpall, and for a command word the
// checks that follow the walk and the function that computes the answer. The walk, -helpall,
// the shell completions and the fuzzing dictionary all read this table; adding an option is
// adding a row.

#include <cstdint>
#include <span>
#include <string_view>

#include "base/text.hpp"
#include "cli/command_line.hpp"
#include "cli/keys.hpp"

namespace tolvane {

// The groups of -helpall, in its order.
enum class OptionGroup : std::uint8_t { Command, Value, Key, Switch };

// What an option's action works on: the command line being walked and where its keys go.
struct OptionContext {
  CommandLine &commandLine;
  KeyStore &keys;
  bool inRequest; // walking the words of a batch request
  bool inBatch;   // walking a batch's command line (with -batch anywhere on it) or its request
};

struct Option {
  std::u16string_view word;
  OptionGroup group;
  std::u16string_view placeholder{}; // names the value in -helpall; FILE for a file name
  std::u16string_view line{};        // the word's line in -helpall
  // A word that takes a value: the messages when it is missing and when the rule refuses it.
  const char16_t *missing = nullptr;
  const char16_t *refused = nullptr;
  bool (*accept)(std::u16string_view value) = nullptr; // the value rule; none: any value
  // Stores the value (or, for a word without one, does what the word says). May throw: a key
  // file is read here.
  void (*apply)(OptionContext &context, std::u16string_view value) = nullptr;
  // A command word: the checks after the walk, in their order, throwing the first failure;
  // then the whole answer, computed before anything is written, appended to answer.
  void (*check)(const CommandLine &commandLine) = nullptr;
  void (*answer)(const CommandLine &commandLine, Text &answer) = nullptr;
  // Per-card data, which a request of a locked batch may give; every other word there is
  // refused, as the batch's command line fixes it.
  bool data = false;

  bool takesValue() const { return missing != nullptr; }
};

std::span<const Option> optionTable();

// The row of an option word (compared exactly), or null.
const Option *findOption(std::u16string_view word);

} // namespace tolvane
