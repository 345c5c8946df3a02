#pragma once
// The program's two output streams. A code unit below 256 is written as the one byte of that
// value and a line feed as CR LF. A unit of 256 or more cannot be converted: the stream enters
// its failed state there and writes nothing further, as does a stream whose sink failed.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tolvane {

class TextWriter {
public:
  TextWriter() = default;
  TextWriter(const TextWriter &) = delete;
  TextWriter &operator=(const TextWriter &) = delete;
  virtual ~TextWriter();

  void write(std::u16string_view text);
  // Bytes exactly as given, no conversion, handed on at once (after what is pending).
  void writeBytes(std::string_view bytes);
  // Hands every pending byte to the sink; false once the stream has failed.
  bool flush() {
    if (used_ != 0) {
      drain();
    }
    return !failed_;
  }
  // After a flush: the stream may be written again, even if it had failed.
  void reset() { failed_ = false; }

  // A unit-buffered stream flushes after every write.
  void setUnitBuffered(bool on) { unitBuffered_ = on; }
  // The tied stream is flushed before anything is written here, so that output reaches
  // the terminal in the order it was produced.
  void tie(TextWriter *other) { tied_ = other; }
  // Each line written is an answer of its own (a batch's), rather than all of it one answer:
  // see FdWriter.
  void setLineAnswers(bool on) { lineAnswers_ = on; }

protected:
  bool lineAnswers() const { return lineAnswers_; }

  // Delivers bytes to their destination; false when they could not all be delivered.
  virtual bool sink(const char *bytes, std::size_t count) = 0;

private:
  void put(char byte);
  void drain();

  std::array<char, 512> buffer_{};
  std::size_t used_ = 0;
  bool failed_ = false;
  bool unitBuffered_ = false;
  bool lineAnswers_ = false;
  TextWriter *tied_ = nullptr;
};

// Writes to a file descriptor. An answer is never left torn in a regular file: when a write
// fails part-way (a file-size limit, a full disk) the file is cut back to where the answer
// began, or with line answers to the end of the last whole line.
class FdWriter final : public TextWriter {
public:
  explicit FdWriter(int fd) : fd_(fd) {}
  ~FdWriter() override;

protected:
  bool sink(const char *bytes, std::size_t count) override;

private:
  int fd_;
  bool started_ = false;
  std::optional<std::uint64_t> whole_; // in a regular file: where the whole answers end
  std::uint64_t pending_ = 0;          // bytes written after it, of a line not yet whole
};

// Collects the bytes in memory, for tests and in-process callers; wiped when destroyed.
class StringWriter final : public TextWriter {
public:
  ~StringWriter() override;
  const std::string &bytes() const { return bytes_; }

protected:
  bool sink(const char *bytes, std::size_t count) override;

private:
  std::string bytes_;
};

} // namespace tolvane
