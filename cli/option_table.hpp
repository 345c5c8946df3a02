#pragma once
// Every option word, declared once: its group, the value it takes with the rule and the
// messages for that value, where the value goes, its line in -helpall, and for a command word
// the checks that follow the walk and the function that computes the answer. A row that stores
// a value names the field it goes to; the walk does the storing. The key words are not written
// out: they are generated from the key roles (cli/key_roles.hpp). The walk, -helpall, the shell
// completions and the fuzzing dictionary all read this table; adding an option is adding a row.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "base/text.hpp"
#include "cli/command_line.hpp"
#include "cli/key_roles.hpp"

namespace tolvane {

// The groups of -helpall, in its order.
enum class OptionGroup : std::uint8_t { Command, Value, Key, Switch };

// The characters a value may hold: Printable is ASCII from the blank to the tilde, Visible the
// same without the blank; HexPairs hex digits making whole bytes, an even count.
enum class Characters : std::uint8_t { Any, Decimal, Hex, Printable, Visible, HexPairs };

// A shape a value must have beyond its characters and length.
enum class Syntax : std::uint8_t { None, OptionalBlocks };

// A value rule: its characters, then its length, both checked before anything is stored.
struct ValueRule {
  Characters characters = Characters::Any;
  std::uint32_t shortest = 0;
  std::uint32_t longest = UINT32_MAX;
  std::uint32_t orLength = 0; // a second length allowed besides shortest..longest; 0: none
  std::int32_t largest = -1;  // decimal digits read as a number that must not exceed this
  std::uint32_t step = 0;     // lengths from shortest on in steps of this; 0: every length
  Syntax syntax = Syntax::None;
  std::int32_t smallest = 0; // with largest: nor be less than this
};

// Where a word that gives the message of the MAC and data commands takes it from.
enum class MessageForm : std::uint8_t { None, Hex, File };

// One value of an enumerated option: the text typed and the number stored.
struct Choice {
  std::u16string_view text;
  std::int32_t value;
};
// The values of an enumerated option, in their order: the choice at index, or one with an empty
// text past the last.
using ChoiceList = Choice (*)(std::size_t index);

// What a help word asks for.
enum class Help : std::uint8_t { None, Usage, FullUsage, EveryWord };

// A text of the table: a place in one pool of characters, so that the table holds no pointers
// the program would have to relocate when it starts.
struct TextRef {
  std::uint16_t offset = 0;
  std::uint16_t size = 0;
};

// A command word's two functions: the checks after the walk, in their order, throwing the first
// failure; then the whole answer, computed before anything is written, appended to answer.
struct CommandFunctions {
  void (*check)(const CommandLine &commandLine);
  void (*answer)(const CommandLine &commandLine, Text &answer);
};

// One row of the table as the program reads it (the rows are declared in option_table.cpp).
struct Option {
  TextRef wordRef;
  TextRef placeholderRef; // names the value in -helpall; FILE for a file name
  TextRef lineRef;        // the word's line in -helpall
  // A word that takes a value: the message when it is missing, and when the rule refuses it
  // (for an enumerated value, made from its choices when not given).
  TextRef missingRef;
  TextRef refusedRef;
  OptionGroup group = OptionGroup::Command;
  Help help = Help::None;
  bool notInRequest = false; // a switch only a command line may give
  // Per-card data, which a request of a locked batch may give; every other word there is
  // refused, as the batch's command line fixes it.
  bool data = false;
  std::uint8_t choiceList = 0; // 1 + the index of its list of values; 0: none
  std::uint8_t command = 0;    // 1 + the index of its functions; 0: not a command
  bool checksValue = false;    // some value may be refused (a PAN is taken as it comes)
  std::uint8_t field = 0;      // rows that fill the same field share this number
  // A command that verifies a PIN or makes a value from it: in a locked batch whose command line
  // gives a key to read PIN blocks, its PIN comes from a block, never from -pin.
  bool pinFromBlockWhenLocked = false;
  ValueRule rule{};
  // Where the value goes: one of these, as the value's kind is.
  std::u16string_view CommandLine::*text = nullptr;
  std::int32_t CommandLine::*number = nullptr; // a decimal number, or the value of a choice
  ShortBytes CommandLine::*bytes = nullptr;    // hex digits as bytes
  bool CommandLine::*flag = nullptr;           // a switch: set
  TextList CommandLine::*list = nullptr;       // each occurrence adds its value
  std::optional<KeyWord> key{};                // a word generated from a key role
  MessageForm message = MessageForm::None;     // -data and -datafile: into the KeyStore's message

  std::u16string_view word() const;
  std::u16string_view line() const;
  bool takesValue() const { return missingRef.size != 0 || key.has_value(); }
  // The value choice index takes, or one with an empty text past the last.
  Choice choice(std::size_t index) const;
  const CommandFunctions &functions() const;
  // Whether value passes the row's rule.
  bool accepts(std::u16string_view value) const;
  // The messages as they are thrown, for hand-written and generated rows alike.
  Text missingMessage() const;
  Text refusedMessage() const;
  // The placeholder, or for an enumerated value without one its choices: "0|1|2|3|4".
  Text placeholderText() const;
};

// Every row, hand-written and generated, in the order of -helpall within each group.
std::span<const Option> optionTable();

// The row of an option word (compared exactly), or null.
const Option *findOption(std::u16string_view word);

} // namespace tolvane
