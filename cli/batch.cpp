#include "cli/batch.hpp"

#include <algorithm>
#include <cstring>
#include <string>

#include "cli/errors.hpp"
#include "cli/platform.hpp"
#include "cli/run.hpp"

namespace tolvane {

namespace {

// Room for a longest line with its CR LF, so that a line not yet known to be too long always
// leaves space to read into; twice that keeps reads large.
constexpr std::size_t kInputCapacity = 2 * kMaxRequestLine;
// A request writes at most a line's worth plus a message around it; escaping at most doubles
// that. The answer buffers are reserved once at these sizes, so they never move and leave a
// copy of a PIN behind in released memory.
constexpr std::size_t kRequestTextCapacity = kMaxRequestLine + 1024;
constexpr std::size_t kAnswerCapacity = 4 * kRequestTextCapacity;

constexpr std::string_view kTooLong = "problem:  request line longer than 65536 bytes";
static_assert(kMaxRequestLine == 65536, "the message states the limit");

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool endsPlainRun(char c, bool quoted) { return c == '"' || c == '\\' || (!quoted && isBlank(c)); }

// Escapes text as an answer line of the tab form carries it, appending to line.
void appendEscaped(std::string &line, std::string_view text) {
  for (const char c : text) {
    switch (c) {
    case '\0':
      line += "\\0";
      break;
    case '\\':
      line += "\\\\";
      break;
    case '\t':
      line += "\\t";
      break;
    case '\r':
      line += "\\r";
      break;
    case '\n':
      line += "\\n";
      break;
    default:
      line.push_back(c);
    }
  }
}

// Appends text as a JSON string without its quotes: every byte below 0x20, the quote, the
// backslash and every byte from 0x7F up escaped, so that the line is ASCII and valid JSON
// whatever the request held. A byte from 0x80 up stands for the character of that code, as the
// program's output is byte for byte.
void appendJsonString(std::string &line, std::string_view text) {
  constexpr char hex[] = "0123456789abcdef";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
    case '"':
      line += "\\\"";
      break;
    case '\\':
      line += "\\\\";
      break;
    case '\n':
      line += "\\n";
      break;
    case '\r':
      line += "\\r";
      break;
    case '\t':
      line += "\\t";
      break;
    case '\b':
      line += "\\b";
      break;
    case '\f':
      line += "\\f";
      break;
    default:
      if (byte < 0x20 || byte >= 0x7F) {
        line += "\\u00";
        line.push_back(hex[byte >> 4]);
        line.push_back(hex[byte & 15]);
      } else {
        line.push_back(c);
      }
    }
  }
}

// A request's standard output or error, kept in memory until it is chosen and escaped.
class CollectingWriter final : public TextWriter {
public:
  explicit CollectingWriter(SecretString<char> &bytes) : bytes_(bytes) {}

protected:
  bool sink(const char *bytes, std::size_t count) override {
    bytes_->append(bytes, count);
    return true;
  }

private:
  SecretString<char> &bytes_;
};

// Input lines, one at a time. Each line is left in the buffer and wiped, its line end with it,
// when the next one is asked for; what the buffer held is wiped when it is destroyed.
class LineReader {
public:
  explicit LineReader(ByteSource &in) : in_(in), buffer_(kInputCapacity) {
    buffer_->resize(kInputCapacity);
  }

  // The next line without its line end, or false at the end of input. A line that outgrows
  // the limit is dropped as it arrives and only reported as too long. beforeRead is called
  // before every wait for input.
  template <typename BeforeRead>
  bool next(std::string_view &line, bool &tooLong, BeforeRead beforeRead);

private:
  char *data() { return buffer_->data(); }

  ByteSource &in_;
  SecretString<char> buffer_; // bytes [begin_, end_) are not yet consumed
  std::size_t lineStart_ = 0;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool atEnd_ = false;
};

template <typename BeforeRead>
bool LineReader::next(std::string_view &line, bool &tooLong, BeforeRead beforeRead) {
  wipeBytes(data() + lineStart_, begin_ - lineStart_);
  bool skipping = false;
  for (;;) {
    char *const start = data() + begin_;
    const std::size_t held = end_ - begin_;
    const auto *lineFeed =
        held == 0 ? nullptr : static_cast<const char *>(std::memchr(start, '\n', held));
    if (lineFeed != nullptr || (atEnd_ && (held > 0 || skipping))) {
      std::size_t length = lineFeed != nullptr ? static_cast<std::size_t>(lineFeed - start) : held;
      lineStart_ = begin_;
      begin_ += lineFeed != nullptr ? length + 1 : length;
      if (lineFeed != nullptr && length > 0 && start[length - 1] == '\r') {
        --length;
      }
      tooLong = skipping || length > kMaxRequestLine;
      line = tooLong ? std::string_view() : std::string_view(start, length);
      return true;
    }
    if (atEnd_) {
      return false;
    }
    if (skipping || held > kMaxRequestLine + 1) { // one more byte may be the CR of a CR LF
      skipping = true;
      wipeBytes(start, held);
      begin_ = end_ = lineStart_ = 0;
    } else if (begin_ > 0) {
      std::memmove(data(), start, held);
      wipeBytes(data() + held, end_ - held);
      begin_ = lineStart_ = 0;
      end_ = held;
    }
    beforeRead();
    const auto count = in_.read(data() + end_, kInputCapacity - end_);
    if (!count) {
      throw excInputFailure();
    }
    atEnd_ = *count == 0;
    end_ += *count;
  }
}

class Batch {
public:
  Batch(ByteSource &in, TextWriter &out)
      : lines_(in), out_(out), scratch_(kMaxRequestLine), words_(kMaxRequestLine),
        outBytes_(kRequestTextCapacity), errBytes_(kRequestTextCapacity),
        answers_(kAnswerCapacity) {}

  int run(const CommandLine &base);

private:
  void answer(int status, Outcome outcome, std::string_view text);
  void flushAnswers();

  LineReader lines_;
  TextWriter &out_;
  KeyStore keys_; // the keys the requests name, kept while the next requests name them too
  SecretString<char> scratch_;
  SecretString<char16_t> words_;
  SecretString<char> outBytes_;
  SecretString<char> errBytes_;
  SecretString<char> answers_; // answer lines not yet handed to out_
  bool jsonl_ = false;
};

void Batch::answer(int status, Outcome outcome, std::string_view text) {
  // Escaped, a byte takes at most six; the rest of a line is short.
  if (answers_->size() + 6 * text.size() + 64 > answers_->capacity()) {
    flushAnswers();
  }
  if (!jsonl_) {
    answers_->push_back(status == 0 ? '0' : '1');
    answers_->push_back('\t');
    appendEscaped(*answers_, text);
    answers_->push_back('\n');
    return;
  }
  constexpr std::string_view kinds[] = {"answer", "usage", "problem", "command line", "error"};
  *answers_ += status == 0 ? R"({"status":0,"kind":")" : R"({"status":1,"kind":")";
  *answers_ += kinds[static_cast<std::size_t>(outcome)];
  *answers_ += R"(","text":")";
  appendJsonString(*answers_, text);
  *answers_ += "\"}\n";
}

void Batch::flushAnswers() {
  if (answers_->empty()) {
    return;
  }
  out_.writeBytes(*answers_);
  answers_.clear();
  if (!out_.flush()) {
    throw excOutputFailure();
  }
}

int Batch::run(const CommandLine &base) {
  int result = 0;
  std::string_view line;
  bool tooLong = false;
  jsonl_ = base.jsonl;
  // A signal to stop ends the batch at a line boundary, every answer computed written whole.
  catchStopSignals();
  out_.setLineAnswers(true);
  // Whoever writes the requests may be waiting for the answers before sending more. A batch
  // that waits holds no key that only its requests named: the keys kept for the requests that
  // follow are dropped whenever it reads more input.
  while (!stopRequested() && lines_.next(line, tooLong, [this] {
    flushAnswers();
    keys_.clear();
  })) {
    int status = 1;
    Outcome outcome = Outcome::Problem;
    if (tooLong) {
      answer(status, outcome, kTooLong);
    } else {
      LineWords words(line, scratch_, words_);
      {
        // The two streams of a single run, standard error unit-buffered and tied as there.
        CollectingWriter out(outBytes_);
        CollectingWriter err(errBytes_);
        err.setUnitBuffered(true);
        err.tie(&out);
        status = guarded(
            out, err,
            [&] {
              const CommandLine request(base, words, keys_);
              return runCommand(request, out);
            },
            &outcome);
        out.flush();
        err.flush();
      }
      // Only a run that fails without printing the usage text has nothing on standard output.
      answer(status, outcome, outBytes_->empty() ? *errBytes_ : *outBytes_);
      words_.clear();
      outBytes_.clear();
      errBytes_.clear();
    }
    result = status == 0 ? result : 1;
  }
  flushAnswers();
  return stopRequested() ? 1 : result;
}

} // namespace

std::optional<std::size_t> FdByteSource::read(char *buffer, std::size_t capacity) {
  return readSome(fd_, buffer, capacity);
}

std::optional<std::size_t> MemoryByteSource::read(char *buffer, std::size_t capacity) {
  const std::size_t count = std::min({capacity, piece_, bytes_.size()});
  std::copy_n(bytes_.data(), count, buffer);
  bytes_.remove_prefix(count);
  return count;
}

bool LineWords::next(std::u16string_view &argument) {
  while (position_ < line_.size() && isBlank(line_[position_])) {
    ++position_;
  }
  if (position_ == line_.size()) {
    return false;
  }
  bool quoted = false;
  while (position_ < line_.size() && (quoted || !isBlank(line_[position_]))) {
    const char c = line_[position_];
    if (c == '\\') {
      const std::size_t count =
          std::min(line_.find_first_not_of('\\', position_), line_.size()) - position_;
      position_ += count;
      const bool beforeQuote = position_ < line_.size() && line_[position_] == '"';
      scratch_->append(beforeQuote ? count / 2 : count, '\\');
      if (beforeQuote && count % 2 == 1) {
        scratch_->push_back('"');
        ++position_;
      }
    } else if (c == '"') {
      quoted = !quoted;
      ++position_;
    } else {
      // Plain bytes go over as a run: the common word has no quotes or backslashes at all.
      const std::size_t start = position_;
      while (position_ < line_.size() && !endsPlainRun(line_[position_], quoted)) {
        ++position_;
      }
      scratch_->append(line_.substr(start, position_ - start));
    }
  }
  const std::size_t start = words_->size();
  decodeArgument(*scratch_, *words_);
  scratch_.clear();
  argument = std::u16string_view(*words_).substr(start);
  return true;
}

int runBatch(const CommandLine &base, ByteSource &in, TextWriter &out) {
  Batch batch(in, out);
  return batch.run(base);
}

} // namespace tolvane
