#include "cli/walk.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>

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

// a == b, four characters at a time: option words are short, and a loop of single characters
// would cost a request as much as looking the word up.
bool sameWord(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  std::size_t i = 0;
  for (; i + 4 <= a.size(); i += 4) {
    std::uint64_t x = 0;
    std::uint64_t y = 0;
    std::memcpy(&x, a.data() + i, sizeof x);
    std::memcpy(&y, b.data() + i, sizeof y);
    if (x != y) {
      return false;
    }
  }
  for (; i < a.size(); ++i) {
    if (a[i] != b[i]) {
      return false;
    }
  }
  return true;
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

// A locked batch whose command line gives a key to read PIN blocks with, for a command that
// verifies a PIN or makes a value from one: a request that could name the PIN itself would make
// the batch an oracle that tries every PIN of a card in milliseconds.
bool pinOnlyFromBlocks(const CommandLine &cl) {
  return cl.pinFromBlockOnly && (cl.key(Role::Kpe) != nullptr || cl.key(Role::Bdk) != nullptr ||
                                 cl.key(Role::Kbpk) != nullptr);
}

// What a locked batch says to a request that gives option. Per-card data only, and not even that
// where the command line gave it: a batch meant for CVV2 (service code 000) must not answer for
// a stripe's service code. Apart from its message, as every word of every request asks.
enum class LockedRule : std::uint8_t { Allowed, Fixed, PinFromBlockOnly };
LockedRule lockedRule(const CommandLine &base, const Option &option) {
  if (!option.data || base.wasGiven(option.field)) {
    return LockedRule::Fixed;
  }
  if (option.text == &CommandLine::pin && pinOnlyFromBlocks(base)) {
    return LockedRule::PinFromBlockOnly;
  }
  return LockedRule::Allowed;
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

// A role given as a key block goes to the end of the order in which blocks are opened.
void noteBlockRole(CommandLine &cl, Role role) {
  const auto end = cl.blockRoles.begin() + static_cast<std::ptrdiff_t>(cl.blockRoleCount);
  const auto at = std::remove(cl.blockRoles.begin(), end, role);
  *at = role;
  cl.blockRoleCount = static_cast<std::size_t>(at - cl.blockRoles.begin()) + 1;
}

// The key blocks are opened once every word is known, as the KBPK may follow them: in the order
// of their words, each under the KBPK, and must then hold a key their role takes.
void openKeyBlocks(const CommandLine &cl) {
  for (std::size_t i = 0; i < cl.blockRoleCount; ++i) {
    const Role role = cl.blockRoles[i];
    KeySlot *slot = cl.keys[static_cast<std::size_t>(role)];
    if (slot == nullptr || slot->block() == nullptr) {
      continue; // given again in the clear: the later word wins
    }
    const KeySlot *kbpk = cl.key(Role::Kbpk);
    if (kbpk == nullptr) {
      throw excCL_RequiredParameterMissing(blockWithoutKbpkMessage(role));
    }
    CipherAlgorithm found = CipherAlgorithm::Des;
    const KeyBlockProblem problem = slot->open(*kbpk, keyFitOf(role), found);
    if (problem != KeyBlockProblem::None) {
      throwKeyBlockProblem(role, problem, found);
    }
  }
}

// Stores what one word that is not a text word says. May throw: a key file is read here.
void apply(const Option &option, std::u16string_view value, CommandLine &cl, KeyStore &keys,
           bool inRequest, bool inBatch) {
  if (option.help != Help::None) {
    throw excCL_Help(option.help != Help::Usage, option.help == Help::EveryWord);
  }
  if (option.notInRequest && inRequest) {
    throw excCL_MalformedParameter(Text(option.word()) + u" is not allowed in a batch request");
  }
  if (option.command != 0) {
    cl.checkCommand = option.functions().check;
    cl.answer = option.functions().answer;
    cl.pinFromBlockOnly = option.pinFromBlockWhenLocked;
  } else if (option.key) {
    const auto role = static_cast<std::size_t>(option.key->role);
    if (option.key->form == KeyForm::CheckValue) {
      cl.guards[role] = value;
      cl.anyGuard = true;
    } else {
      KeySlot &slot = keys.slots[role];
      cl.keys[role] = &slot;
      loadKey(*option.key, value, slot, inBatch);
      if (slot.block() != nullptr) {
        noteBlockRole(cl, option.key->role);
      }
    }
  } else if (option.list != nullptr) {
    TextList &list = cl.*option.list;
    if (list.size == TextList::kCapacity) {
      throw excCL_MalformedParameter(Text(option.word().substr(1)) +
                                     u" may be given at most 9 times");
    }
    list.items[list.size++] = value;
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
    // A batch's requests tend to name the same words in the same order: the word the request
    // before changed at this place is tried first. Only the option word is cut at a CR or LF;
    // values are taken exactly as they come. No word of the table holds either, so a word found
    // whole needs no cutting.
    const bool again = inRequest && cl.changedCount < cl.changed.size() &&
                       cl.changed[cl.changedCount] != nullptr &&
                       sameWord(cl.changed[cl.changedCount]->word(), arg);
    const Option *option = again ? cl.changed[cl.changedCount] : findOption(arg);
    if (option == nullptr) {
      arg = arg.substr(0, lineBreakIn(arg));
      option = findOption(arg);
    }
    if (option == nullptr) {
      throw excCL_UnrecognizedOption(arg);
    }
    if (inRequest && cl.locked && lockedRule(cl, *option) != LockedRule::Allowed) {
      throw excCL_MalformedParameter(lockedRefusal(cl, *option));
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
    // Noted before it is applied: a word whose value fails half-way (a key file that cannot be
    // read) has already changed its field.
    if (!inRequest) {
      cl.markGiven(option->field);
    } else if (cl.changedCount++ < cl.changed.size()) {
      cl.changed[cl.changedCount - 1] = option;
    }
    if (option->text != nullptr) { // the most common word by far: per-card data
      cl.*option->text = value;
    } else {
      apply(*option, value, cl, keys, inRequest, inBatch);
    }
  }
}

} // namespace

CommandLine walkCommandLine(std::span<const Text> args, KeyStore &keys) {
  CommandLine cl;
  ArgvArgumentSource source(args.empty() ? args : args.subspan(1));
  walk(source, cl, keys, false, namesBatch(args));
  if (!cl.batch) {
    if (cl.jsonl || cl.locked || cl.csv || !cl.ref.empty()) {
      throw excCL_RequiredParameterMissing(cl.jsonl    ? u"jsonl requires -batch"
                                           : cl.locked ? u"locked requires -batch"
                                           : cl.csv    ? u"csv requires -batch"
                                                       : u"ref requires -batch");
    }
    openKeyBlocks(cl);
    cl.check();
  } else if (cl.jsonl && cl.csv) {
    throw excCL_MalformedParameter(u"jsonl and csv must not be given together");
  }
  return cl;
}

Text lockedRefusal(const CommandLine &base, const Option &option) {
  switch (lockedRule(base, option)) {
  case LockedRule::Allowed:
    break;
  case LockedRule::Fixed:
    return Text(option.word()) + u" is fixed by the command line of this batch (-locked)";
  case LockedRule::PinFromBlockOnly:
    return u"-pin is refused in this batch: the PIN comes from a pinblock only (-locked)";
  }
  return {};
}

bool commandLineGave(const CommandLine &cl, std::u16string_view word) {
  const Option *option = findOption(word);
  return option != nullptr && cl.wasGiven(option->field);
}

namespace {

// Puts back in request what option changed there, from base.
void restore(const Option &option, const CommandLine &base, CommandLine &request) {
  if (option.text != nullptr) {
    request.*option.text = base.*option.text;
  } else if (option.number != nullptr) {
    request.*option.number = base.*option.number;
  } else if (option.bytes != nullptr) {
    request.*option.bytes = base.*option.bytes;
  } else if (option.flag != nullptr) {
    request.*option.flag = base.*option.flag;
  } else if (option.command != 0) {
    request.checkCommand = base.checkCommand;
    request.answer = base.answer;
    request.pinFromBlockOnly = base.pinFromBlockOnly;
  } else if (option.key) {
    const auto role = static_cast<std::size_t>(option.key->role);
    request.keys[role] = base.keys[role];
    request.guards[role] = base.guards[role];
    request.anyGuard = base.anyGuard;
  }
}

} // namespace

void walkRequest(const CommandLine &base, ArgumentSource &words, KeyStore &keys,
                 CommandLine &request) {
  // A request starts from its command line: the first one copies it whole, the next ones put
  // back only what the one before changed.
  if (!request.request || request.changedCount > request.changed.size()) {
    request = base;
    request.batch = false;
    request.request = true;
  } else {
    for (std::size_t i = 0; i < request.changedCount; ++i) {
      restore(*request.changed[i], base, request);
    }
  }
  request.changedCount = 0;
  walk(words, request, keys, true, true);
  if (request.blockRoleCount != 0) {
    openKeyBlocks(request);
  }
  request.check();
}

} // namespace tolvane
