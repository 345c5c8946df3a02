#pragma once
// The whole program as a function: the decoded argument vector (element 0 names the program)
// and the two output streams in, the exit status out. Answers go to out, errors to err.
// Returns 0 when a command ran to its end and its answer was written (and after -helpall),
// 1 otherwise (errors, and also -help and -help2).

#include <span>

#include "base/text.hpp"
#include "cli/writer.hpp"

namespace tolvane {

class ByteSource;

int runTolvane(std::span<const Text> args, TextWriter &out, TextWriter &err);

// The same, with the input of a batch: when args hold -batch, each line of in is a request
// (see cli/batch.hpp) and the status is 0 when every request returned 0. Without in, a batch
// has no requests.
int runTolvane(std::span<const Text> args, ByteSource &in, TextWriter &out, TextWriter &err);

// The process around it: signals, argv decoded (and overwritten), standard input as the batch
// input, standard output and error as the two writers, both flushed at the end. An answer
// that cannot be flushed fails the run.
int runProcess(int argc, char **argv);

} // namespace tolvane
