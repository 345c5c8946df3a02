#pragma once
// The root of the program's own errors. Every failure is thrown by value and caught only by
// the entry, which picks the wording around the message from the class: excProblem is a
// problem in the data being processed, and the command-line kinds (cli/errors.hpp) derive from
// excWithText as well.

#include <exception>
#include <string>
#include <string_view>

#include "base/text.hpp"

namespace tolvane {

struct excWithText : std::exception {
  // message may be null, which counts as empty.
  explicit excWithText(const char16_t *message) : text(message ? message : u"") {}
  // The message is the text up to its first NUL, as from a NUL-terminated message.
  explicit excWithText(const Text &message) : excWithText(std::u16string_view(message)) {}
  explicit excWithText(std::u16string_view message)
      : text(message.substr(0, message.find(u'\0'))) {}
  excWithText(const excWithText &) = default;
  excWithText &operator=(const excWithText &) = default;
  // The text may quote what the user typed (a key without its option word, say): it is blanked
  // before it is released.
  ~excWithText() override;

  // Narrow copy of text, made on the first call: code units below 256 become the byte of the
  // same value; conversion stops at the first unit of 256 or more, leaving NULs after it.
  const char *what() const noexcept override;

  Text text;
  mutable std::string narrowText;
};

// A problem in the data being processed: a PIN block that fails its checks, a key whose check
// value is not the one insisted on.
struct excProblem : excWithText {
  using excWithText::excWithText;
};

} // namespace tolvane
