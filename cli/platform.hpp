#pragma once
// Everything the program needs from the operating system, and the only place that calls it:
// arguments as 16-bit text, the signal settings, writing bytes out, reading a key file and
// reading standard input.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/text.hpp"
#include "crypto/random.hpp"

namespace tolvane {

// UTF-8 to UTF-16 code units, appended to text; a character above U+FFFF becomes a surrogate
// pair. Every byte that is not part of a well-formed sequence (stray continuation, truncated or
// overlong form, encoded surrogate, value above U+10FFFF) becomes the single unit
// 0xDC00 + byte, so that no input is lost and encodeArgument gives the original bytes back.
// Room for every unit is reserved first: the text never moves while it is filled.
void decodeArgument(std::string_view bytes, Text &text);

// All of argv decoded, each argument straight into its place in args, and the originals
// overwritten, so that keys and PINs leave the process's visible command line as early as
// possible.
void takeArguments(int argc, char **argv, std::vector<Text> &args);

// The exact inverse of decodeArgument: used to turn a file name back into the bytes the
// user typed, whether or not they were valid UTF-8.
std::string encodeArgument(std::u16string_view text);

// Reads up to capacity bytes from the start of the named file, until end of file or capacity,
// and closes it. nullopt when it cannot be opened or read as a file (missing, a directory,
// a read error). Pipes work, which keeps a key out of the process list.
// In a batch (inBatch) the file is refused, and not one byte of it read, when it is the
// batch's own standard input, which carries the requests, or a terminal when that input is one:
// excCL_MalformedParameter. There a FIFO is given one second in all to deliver its bytes, and a
// stop signal ends the wait; what came by then is what was read.
// When it returns nullopt and error is given, *error says why: an errno value, EISDIR for a
// folder, ETIMEDOUT for a FIFO that gave no data in time. refusal is the message of the refusal
// of the batch's own input.
std::optional<std::size_t>
readFilePrefix(std::u16string_view name, std::uint8_t *buffer, std::size_t capacity, bool inBatch,
               int *error = nullptr,
               std::u16string_view refusal = u"a key file cannot be the standard input of a batch");

// Why a file could not be read, as a message says it: "no such file or directory".
Text fileErrorText(int error);

// A reader that went away, or a file-size limit reached, must show as a failed write reported
// with status 1, not as a silent death by signal.
void ignoreWriteSignals();

// No core file (the limit set to 0 as well), and no other unprivileged process may read this
// one's memory or trace it: keys and PINs pass through it.
void forbidDumpsAndTracing();

// Writes all count bytes to fd, retrying interrupted and partial writes; false on failure,
// with written telling how many went out before it.
bool writeAll(int fd, const char *bytes, std::size_t count, std::size_t &written);

// Where the next byte written to fd will land, when fd is a regular file not opened for
// appending; nullopt for anything else, which is then never cut back.
std::optional<std::uint64_t> regularFileEnd(int fd);

// Cuts the regular file fd back to length bytes, so that a write that failed part-way leaves
// nothing of itself behind.
void cutFileBack(int fd, std::uint64_t length);

// From now on SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2 and SIGALRM do not end the
// process: they make stopRequested() true and end a wait for input (with no window between the
// test and the wait in which one could be lost), so that a batch stops at a line boundary.
void catchStopSignals();
bool stopRequested();
// Puts back what the stop signals did before catchStopSignals, and forgets a stop: the program
// runs in-process too (tests, the fuzzer), where a batch is not the end of it.
void releaseStopSignals();

// The operating system's random bytes (getrandom). Throws excSystemFailure when it cannot give
// them.
RandomSource &systemRandom();

// One read of up to capacity bytes from fd, retried when interrupted: the count, 0 at end of
// input or once a stop signal has come (before the wait or during it), nullopt when fd cannot be
// read. Blocks until some input or its end is there.
std::optional<std::size_t> readSome(int fd, char *buffer, std::size_t capacity);

} // namespace tolvane
