#pragma once
// Batch mode: many requests through one process. Each input line is one request, run as the
// program would run with the command line's options followed by the line's words, and answered
// by one output line: the status ('0' or '1'), a tab, the text that run would have written
// (its standard output if it has one, else its standard error) with backslash, tab, CR and LF
// written as \\, \t, \r and \n, and LF.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "cli/argument_source.hpp"
#include "cli/command_line.hpp"
#include "cli/writer.hpp"

namespace tolvane {

// Longest request line accepted, line end not counted. A longer one is answered with a
// problem and skipped without being kept.
inline constexpr std::size_t kMaxRequestLine = 65536;

// Where the requests come from.
class ByteSource {
public:
  virtual ~ByteSource() = default;
  // Up to capacity bytes into buffer: the count, 0 at end of input, nullopt on a read error.
  virtual std::optional<std::size_t> read(char *buffer, std::size_t capacity) = 0;
};

// A file descriptor, typically standard input.
class FdByteSource final : public ByteSource {
public:
  explicit FdByteSource(int fd) : fd_(fd) {}
  std::optional<std::size_t> read(char *buffer, std::size_t capacity) override;

private:
  int fd_;
};

// Bytes held in memory, handed out at most piece bytes per read (to mimic a pipe's short reads).
class MemoryByteSource final : public ByteSource {
public:
  explicit MemoryByteSource(std::string_view bytes, std::size_t piece = kMaxRequestLine)
      : bytes_(bytes), piece_(piece) {}
  std::optional<std::size_t> read(char *buffer, std::size_t capacity) override;

private:
  std::string_view bytes_;
  std::size_t piece_;
};

// Runs every request from in against base (a command line with batch set) and writes the
// answer lines to out, flushing them before each wait for input. Returns 0 when every request
// returned 0, else 1. Throws excInputFailure or excOutputFailure when in cannot be read or out
// cannot be written.
int runBatch(const CommandLine &base, ByteSource &in, TextWriter &out);

} // namespace tolvane
