#pragma once
// The whole program as a function: the decoded argument vector (element 0 names the program)
// and the two output streams in, the exit status out. Answers go to out, errors to err.
// Returns 0 when a command ran to its end and its answer was written, 1 otherwise (errors,
// and also -help and -help2).

#include <span>

#include "cli/writer.hpp"
#include "pin/digits.hpp"

namespace tolvane {

int runTolvane(std::span<const Text> args, TextWriter &out, TextWriter &err);

} // namespace tolvane
