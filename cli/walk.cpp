#include "cli/walk.hpp"

#include "base/digits.hpp"
#include "cli/errors.hpp"
#include "cli/option_table.hpp"

namespace tolvane {

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
    if (option->flag == &CommandLine::batch) {
      return true;
    }
  }
  return false;
}

// The value of a decimal or enumerated option, which its rule has accepted.
std::int32_t numberOf(const Option &option, std::u16string_view value) {
  if (option.choiceList != 0) {
    for (std::size_t i = 0;; ++i) {
      if (option.choice(i).text == value) {
        return option.choice(i).value;
      }
    }
  }
  std::int32_t number = 0;
  for (const char16_t c : value) {
    number = number * 10 + digitValue(c);
  }
  return number;
}

// Stores what one word says. May throw: a key file is read here.
void apply(const Option &option, std::u16string_view value, CommandLine &cl, KeyStore &keys,
           bool inRequest, bool inBatch) {
  if (option.text != nullptr) { // the most common word by far: per-card data
    cl.*option.text = value;
    return;
  }
  if (option.help != Help::None) {
    throw excCL_Help(option.help != Help::Usage, option.help == Help::EveryWord);
  }
  if (option.notInRequest && inRequest) {
    throw excCL_MalformedParameter(Text(option.word()) + u" is not allowed in a batch request");
  }
  if (option.command != 0) {
    cl.checkCommand = option.functions().check;
    cl.answer = option.functions().answer;
  } else if (option.key) {
    const auto role = static_cast<std::size_t>(option.key->role);
    if (option.key->form == KeyForm::CheckValue) {
      cl.guards[role] = value;
    } else {
      KeySlot &slot = keys.slots[role];
      cl.keys[role] = &slot;
      loadKey(*option.key, value, slot, inBatch);
    }
  } else if (option.message != MessageForm::None) {
    if (option.message == MessageForm::Hex) {
      keys.message.assignHex(value);
    } else {
      keys.message.assignFile(value, inBatch);
    }
    cl.data = &keys.message;
  } else if (option.number != nullptr) {
    cl.*option.number = numberOf(option, value);
  } else if (option.bytes != nullptr) {
    ShortBytes &bytes = cl.*option.bytes;
    bytes.size = value.size() / 2;
    hexToBytes(value, bytes.bytes.data());
  } else if (option.flag != nullptr) {
    cl.*option.flag = true;
  }
}

void walk(ArgumentSource &source, CommandLine &cl, KeyStore &keys, bool inRequest, bool inBatch) {
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
    if (inRequest && cl.locked && !option->data) {
      throw excCL_MalformedParameter(Text(option->word()) +
                                     u" is fixed by the command line of this batch (-locked)");
    }
    std::u16string_view value;
    if (option->takesValue()) {
      if (!source.next(value)) {
        throw excCL_RequiredParameterMissing(option->missingMessage());
      }
      if (option->checksValue && !option->accepts(value)) {
        throw excCL_MalformedParameter(option->refusedMessage());
      }
    }
    apply(*option, value, cl, keys, inRequest, inBatch);
  }
}

} // namespace

CommandLine walkCommandLine(std::span<const Text> args, KeyStore &keys) {
  CommandLine cl;
  ArgvArgumentSource source(args.empty() ? args : args.subspan(1));
  walk(source, cl, keys, false, namesBatch(args));
  if (!cl.batch) {
    if (cl.jsonl || cl.locked) {
      throw excCL_RequiredParameterMissing(cl.jsonl ? u"jsonl requires -batch"
                                                    : u"locked requires -batch");
    }
    cl.check();
  }
  return cl;
}

CommandLine walkRequest(const CommandLine &base, ArgumentSource &words, KeyStore &keys) {
  CommandLine cl = base;
  cl.batch = false;
  walk(words, cl, keys, true, true);
  cl.check();
  return cl;
}

} // namespace tolvane
