#include "cli/batch.hpp"

#include <algorithm>
#include <bit>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <cstdint>
#include <cstring>
#include <string>

#include "cli/errors.hpp"
#include "cli/platform.hpp"
#include "cli/run.hpp"
#include "cli/walk.hpp"

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

// How far past the end of its line LineWords may read, and write into its words buffer.
constexpr std::size_t kLineSlack = 16;

constexpr std::string_view kTooLong = "problem:  request line longer than 65536 bytes";
static_assert(kMaxRequestLine == 65536, "the message states the limit");

bool isBlank(char c) { return c == ' ' || c == '\t'; }

bool endsPlainRun(char c, bool quoted) { return c == '"' || c == '\\' || (!quoted && isBlank(c)); }

// Writes text as an answer line of the tab form carries it, from out on; returns where it ended.
template <typename Units> char *writeEscaped(char *out, const Units &text) {
  for (const auto unit : text) {
    const auto c = static_cast<char>(unit);
    // Only NUL, tab, LF, CR (all below a blank) and the backslash are escaped.
    if (static_cast<unsigned char>(c) >= ' ' && c != '\\') {
      *out++ = c;
      continue;
    }
    const char escape = c == '\0'   ? '0'
                        : c == '\\' ? '\\'
                        : c == '\t' ? 't'
                        : c == '\r' ? 'r'
                        : c == '\n' ? 'n'
                                    : 0;
    if (escape != 0) {
      *out++ = '\\';
      *out++ = escape;
    } else {
      *out++ = c;
    }
  }
  return out;
}

// Writes text as a JSON string without its quotes from out on; returns where it ended. Every
// byte below 0x20, the quote, the backslash and every byte from 0x7F up is escaped, so that the
// line is ASCII and valid JSON whatever the request held. A byte from 0x80 up stands for the
// character of that code, as the program's output is byte for byte.
template <typename Units> char *writeJsonString(char *out, const Units &text) {
  constexpr char hex[] = "0123456789abcdef";
  for (const auto unit : text) {
    const auto byte = static_cast<unsigned char>(unit);
    const char escape = byte == '"'    ? '"'
                        : byte == '\\' ? '\\'
                        : byte == '\n' ? 'n'
                        : byte == '\r' ? 'r'
                        : byte == '\t' ? 't'
                        : byte == '\b' ? 'b'
                        : byte == '\f' ? 'f'
                                       : 0;
    if (escape != 0) {
      *out++ = '\\';
      *out++ = escape;
    } else if (byte < 0x20 || byte >= 0x7F) {
      *out++ = '\\';
      *out++ = 'u';
      *out++ = '0';
      *out++ = '0';
      *out++ = hex[byte >> 4];
      *out++ = hex[byte & 15];
    } else {
      *out++ = static_cast<char>(byte);
    }
  }
  return out;
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

// The words of one request line, split at blanks and tabs outside double quotes. A backslash
// is literal unless a run of them ends at a double quote: then 2n backslashes and the quote
// give n backslashes and the quote opens or closes a quoted part, 2n+1 give n backslashes and
// a literal quote. Each word is decoded as a program argument is, appended to words, whose
// capacity takes a whole line and kLineSlack more, and which the caller clears after the
// request. scratch holds a word's bytes between splitting and decoding. The words may be read
// sixteen bytes at a time, up to kLineSlack - 1 bytes past the end of the line: the line must
// lie in memory that has them.
class LineWords final : public ArgumentSource {
public:
  LineWords(std::string_view line, SecretString<char> &scratch, SecretBuffer<char16_t> &words)
      : line_(line), scratch_(scratch), words_(words) {}
  bool next(std::u16string_view &argument) override;

private:
  // A word with quotes, backslashes or bytes beyond ASCII.
  bool nextQuoted(std::u16string_view &argument);

  std::string_view line_;
  std::size_t position_ = 0;
  SecretString<char> &scratch_;
  SecretBuffer<char16_t> &words_;
};

// Input lines, one at a time. Each line is left in the buffer and wiped, its line end with it,
// when the next one is asked for; what the buffer held is wiped when it is destroyed. The
// buffer has kLineSlack bytes more than it reads into, for LineWords.
class LineReader {
public:
  explicit LineReader(ByteSource &in) : in_(in), buffer_(kInputCapacity + kLineSlack) {
    buffer_->resize(kInputCapacity + kLineSlack);
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
      : lines_(in), out_(out), scratch_(kMaxRequestLine), words_(kMaxRequestLine + kLineSlack),
        outBytes_(kRequestTextCapacity), errBytes_(kRequestTextCapacity), answers_(kAnswerCapacity),
        answerText_(kRequestTextCapacity) {}

  int run(const CommandLine &base);

private:
  // text: bytes, or code units below 256 standing for the bytes of their value.
  template <typename Units> void answer(int status, Outcome outcome, const Units &text);
  void flushAnswers();

  LineReader lines_;
  TextWriter &out_;
  KeyStore keys_; // the keys the requests name, kept while the next requests name them too
  SecretString<char> scratch_;
  SecretBuffer<char16_t> words_;
  SecretString<char> outBytes_;
  SecretString<char> errBytes_;
  CollectingWriter requestOut_{outBytes_};
  CollectingWriter requestErr_{errBytes_};
  SecretBuffer<char> answers_; // answer lines not yet handed to out_
  SecretString<char16_t> answerText_;
  bool jsonl_ = false;
};

template <typename Units> void Batch::answer(int status, Outcome outcome, const Units &text) {
  // Escaped, a byte takes at most six; the rest of a line is short. A text longer than the
  // buffer holds (the answer to a large -datafile) goes out in pieces, the line whole all the
  // same: the output's line boundaries are what a stop respects.
  constexpr std::size_t kPiece = (kAnswerCapacity - 64) / 6;
  const std::basic_string_view<typename Units::value_type> units(text);
  if (answers_.size() + 6 * std::min(units.size(), kPiece) + 64 > answers_.capacity()) {
    flushAnswers();
  }
  char *out = answers_.end();
  const auto put = [&out](std::string_view bytes) {
    out = std::copy(bytes.begin(), bytes.end(), out);
  };
  // Each piece of the text, escaped, flushing what the buffer holds before it when needed.
  const auto escapeAll = [&](auto escape) {
    for (std::size_t at = 0; at < units.size(); at += kPiece) {
      const auto piece = units.substr(at, kPiece);
      if (answers_.size() + static_cast<std::size_t>(out - answers_.end()) + 6 * piece.size() + 64 >
          answers_.capacity()) {
        answers_.commit(static_cast<std::size_t>(out - answers_.end()));
        flushAnswers();
        out = answers_.end();
      }
      out = escape(out, piece);
    }
  };
  if (!jsonl_) {
    *out++ = status == 0 ? '0' : '1';
    *out++ = '\t';
    escapeAll([](char *to, auto piece) { return writeEscaped(to, piece); });
    *out++ = '\n';
  } else {
    constexpr std::string_view kinds[] = {"answer", "usage", "problem", "command line", "error"};
    put(status == 0 ? R"({"status":0,"kind":")" : R"({"status":1,"kind":")");
    put(kinds[static_cast<std::size_t>(outcome)]);
    put(R"(","text":")");
    escapeAll([](char *to, auto piece) { return writeJsonString(to, piece); });
    put("\"}\n");
  }
  answers_.commit(static_cast<std::size_t>(out - answers_.end()));
}

void Batch::flushAnswers() {
  if (answers_.size() == 0) {
    return;
  }
  out_.writeBytes(std::string_view(answers_.data(), answers_.size()));
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
  // The two streams of a single run, standard error unit-buffered and tied as there.
  requestErr_.setUnitBuffered(true);
  requestErr_.tie(&requestOut_);
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
        CollectingWriter &out = requestOut_;
        CollectingWriter &err = requestErr_;
        // The answer goes straight into its line when it is one line of bytes; otherwise, and
        // for every message, through the writers, which turn LF into CR LF as a run would.
        status = guarded(
            out, err,
            [&] {
              const CommandLine request = walkRequest(base, words, keys_);
              computeAnswer(request, *answerText_);
              if (!std::all_of(answerText_->begin(), answerText_->end(),
                               [](char16_t unit) { return unit < 256 && unit != u'\n'; })) {
                writeAnswer(out, *answerText_);
              }
              return 0;
            },
            &outcome);
        out.flush();
        err.flush();
        out.reset();
        err.reset();
      }
      if (outcome == Outcome::Answer && outBytes_->empty()) {
        answer(status, outcome, *answerText_);
      } else {
        // Only a run that fails without printing the usage text has nothing on standard output.
        answer(status, outcome, outBytes_->empty() ? *errBytes_ : *outBytes_);
      }
      answerText_.clear();
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
  // The common word is plain ASCII up to a blank: it goes over byte for code unit, with
  // nothing to unquote or decode.
  const char *from = line_.data() + position_;
  const char *const end = line_.data() + line_.size();
  char16_t *const start = words_.end();
  char16_t *to = start;
#if defined(__SSE2__)
  // Sixteen bytes at a time, also past the end of the line (kLineSlack), where a word
  // stops as it stops at a blank: the bytes from the first stop on are not taken, and what was
  // written for them is wiped with the words.
  const __m128i zero = _mm_setzero_si128();
  for (;;) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(from));
    const __m128i stops = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8(' ')), _mm_cmpeq_epi8(x, _mm_set1_epi8('\t'))),
        _mm_or_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8('"')),
                     _mm_cmpeq_epi8(x, _mm_set1_epi8('\\'))));
    // The movemask of x itself adds the bytes of 0x80 and up.
    auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(stops, x)));
    const auto left = static_cast<std::size_t>(end - from);
    if (left < 16) {
      mask |= 1u << left;
    }
    _mm_storeu_si128(reinterpret_cast<__m128i *>(to), _mm_unpacklo_epi8(x, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(to + 8), _mm_unpackhi_epi8(x, zero));
    if (mask != 0) {
      const auto taken = static_cast<std::size_t>(std::countr_zero(mask));
      from += taken;
      to += taken;
      break;
    }
    from += 16;
    to += 16;
  }
#else
  for (; from != end; ++from) {
    const auto c = static_cast<unsigned char>(*from);
    if (c == ' ' || c == '\t' || c == '"' || c == '\\' || c >= 0x80) {
      break;
    }
    *to++ = c;
  }
#endif
  const auto count = static_cast<std::size_t>(to - start);
  words_.commit(0, count + kLineSlack);
  if (from != end && !isBlank(*from)) {
    return nextQuoted(argument);
  }
  words_.commit(count);
  position_ += count;
  argument = std::u16string_view(start, count);
  return true;
}

bool LineWords::nextQuoted(std::u16string_view &argument) {
  char16_t *const start = words_.end();
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
      // Plain bytes go over as a run.
      const std::size_t run = position_;
      while (position_ < line_.size() && !endsPlainRun(line_[position_], quoted)) {
        ++position_;
      }
      scratch_->append(line_.substr(run, position_ - run));
    }
  }
  // Decoded through a text of its own, then copied beside the other words of the line.
  Secret<Text> decoded;
  decodeArgument(*scratch_, *decoded);
  scratch_.clear();
  std::copy(decoded->begin(), decoded->end(), start);
  words_.commit(decoded->size());
  argument = std::u16string_view(start, decoded->size());
  return true;
}

int runBatch(const CommandLine &base, ByteSource &in, TextWriter &out) {
  Batch batch(in, out);
  return batch.run(base);
}

} // namespace tolvane
