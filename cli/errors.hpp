#pragma once
// Every failure of the program is one of these, thrown by value and caught only by the entry,
// which picks the wording around the message from the class. The tree is therefore part of
// the behaviour: excCL_Help must stay an excCmdLine, and excProblem and excCmdLine must stay
// excWithText.

#include <exception>
#include <string>

#include "cli/text.hpp"

namespace tolvane {

struct excWithText : std::exception {
  // message may be null, which counts as empty.
  explicit excWithText(const char16_t *message) : text(message ? message : u"") {}
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

// A problem in the data being processed (the PIN block checks).
struct excProblem : excWithText {
  using excWithText::excWithText;
};

// A problem with the command line; also the base of the request for help.
struct excCmdLine : excWithText {
  excCmdLine() : excWithText(nullptr) {}
  using excWithText::excWithText;
};

// Not an error: the user asked for the usage text (-help, or -help2 for showAll).
struct excCL_Help : excCmdLine {
  explicit excCL_Help(bool all) : showAll(all) {}
  bool showAll;
};

struct excCL_UnrecognizedOption : excCmdLine {
  using excCmdLine::excCmdLine;
};

struct excCL_MalformedParameter : excCmdLine {
  using excCmdLine::excCmdLine;
};

struct excCL_RequiredParameterMissing : excCmdLine {
  using excCmdLine::excCmdLine;
};

// The answer could not be written. Deliberately outside the excWithText tree: the entry
// reports it as an unknown exception and the run fails.
struct excOutputFailure : std::exception {};

// A batch's input could not be read; reported like excOutputFailure.
struct excInputFailure : std::exception {};

} // namespace tolvane
