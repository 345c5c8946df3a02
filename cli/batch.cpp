#include "cli/batch.hpp"

#include <algorithm>
#include <bit>
#include <optional>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <cstdint>
#include <cstring>
#include <string>

#include "cli/csv.hpp"
#include "cli/errors.hpp"
#include "cli/option_table.hpp"
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
      : line_(line), scratch_(scratch), words_(words), plain_(takePlainLine()) {}

private:
  bool more(std::u16string_view &argument) override;
  // A line of plain ASCII words (no quote, backslash or byte from 0x80 up) of at most
  // kPlainLine bytes, the common request: widened whole at once, and its words found in a mask
  // of its blanks. False for any other line, which goes word by word.
  [[gnu::noinline]] bool takePlainLine();
  // A word of the general path, and one with quotes, backslashes or bytes beyond ASCII.
  [[gnu::noinline]] bool nextWord(std::u16string_view &argument);
  bool nextQuoted(std::u16string_view &argument);

  static constexpr std::size_t kPlainLine = 64;
  static constexpr std::size_t kPlainWords = 16;

  std::string_view line_;
  std::size_t position_ = 0;
  SecretString<char> &scratch_;
  SecretBuffer<char16_t> &words_;
  // The words of a plain line, found at once and handed out by next. Left unfilled until the
  // line is split: a request costs what it uses.
  FoundWord plainWords_[kPlainWords];
  bool plain_; // last, as the constructor splits the line into the members before it
};

// Input lines, one at a time. Each line is left in the buffer and wiped, its line end with it,
// when the next one is asked for; what the buffer held is wiped when it is destroyed. The
// buffer has kLineSlack bytes more than it reads into, for LineWords.
class LineReader {
public:
  explicit LineReader(ByteSource &in) : in_(in), buffer_(kInputCapacity + kLineSlack) {}

  // The next line without its line end, or false at the end of input. A line that outgrows
  // the limit is dropped as it arrives and only reported as too long. beforeRead is called
  // before every wait for input.
  template <typename BeforeRead>
  bool next(std::string_view &line, bool &tooLong, BeforeRead beforeRead);

private:
  char *data() { return buffer_.data(); }
  // next, when no line end is among the bytes held: reads more, and drops a line that outgrows
  // the limit as it arrives.
  template <typename BeforeRead>
  [[gnu::noinline]] bool readLine(std::string_view &line, bool &tooLong, BeforeRead beforeRead);

  ByteSource &in_;
  // Bytes [begin_, end_) are not yet consumed. Its memory is not filled beforehand: a read fills
  // what is used, and what was used is wiped as it goes (see next) and when it is destroyed.
  SecretBuffer<char> buffer_;
  std::size_t lineStart_ = 0;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool atEnd_ = false;
};

template <typename BeforeRead>
[[gnu::always_inline]] inline bool LineReader::next(std::string_view &line, bool &tooLong,
                                                    BeforeRead beforeRead) {
  // The common line, already read, without a call: the line before is wiped, and the next one
  // found in the bytes held.
  wipeBytes(data() + lineStart_, begin_ - lineStart_);
  lineStart_ = begin_;
  char *const start = data() + begin_;
  const std::size_t held = end_ - begin_;
  const auto *lineFeed =
      held == 0 ? nullptr : static_cast<const char *>(std::memchr(start, '\n', held));
  if (lineFeed == nullptr) {
    return readLine(line, tooLong, beforeRead);
  }
  std::size_t length = static_cast<std::size_t>(lineFeed - start);
  begin_ += length + 1;
  length -= length > 0 && start[length - 1] == '\r' ? 1 : 0;
  tooLong = length > kMaxRequestLine;
  line = std::string_view(start, tooLong ? 0 : length);
  return true;
}

template <typename BeforeRead>
bool LineReader::readLine(std::string_view &line, bool &tooLong, BeforeRead beforeRead) {
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
    // LineWords may look at the bytes after a line: they are zeros, never what the memory held.
    std::memset(data() + end_, 0, kLineSlack);
    buffer_.commit(0, end_ + kLineSlack);
  }
}

// The words of one CSV record: for each column, its option word and the field as its value,
// or for a switch the word alone when the field holds 1. An empty field leaves its word out.
class CsvWords final : public ArgumentSource {
public:
  CsvWords(std::span<const Option *const> columns, const SecretString<char> &storage,
           const std::vector<CsvField> &fields, SecretBuffer<char16_t> &words)
      : columns_(columns), storage_(storage), fields_(fields), words_(words) {}

private:
  bool more(std::u16string_view &argument) override;
  std::span<const Option *const> columns_;
  const SecretString<char> &storage_;
  const std::vector<CsvField> &fields_;
  SecretBuffer<char16_t> &words_;
  std::size_t column_ = 0;
  bool valueNext_ = false;
};

enum class AnswerForm : std::uint8_t { Tab, JsonLines, Csv };

// The value of the last -ref among words that its rule takes, or empty. Never throws: a word the
// source cannot give ends the search.
std::u16string_view refAmong(ArgumentSource &words) {
  static const Option &ref = *findOption(u"-ref");
  std::u16string_view found;
  try {
    std::u16string_view word;
    while (words.next(word)) {
      if (word == ref.word() && words.next(word) && ref.accepts(word)) {
        found = word;
      }
    }
  } catch (const excWithText &) {
  }
  return found;
}

class Batch {
public:
  Batch(ByteSource &in, TextWriter &out)
      : lines_(in), out_(out), scratch_(kMaxRequestLine), words_(kMaxRequestLine + kLineSlack),
        outBytes_(kRequestTextCapacity), errBytes_(kRequestTextCapacity), answers_(kAnswerCapacity),
        answerText_(kRequestTextCapacity) {}

  int run(const CommandLine &base);

private:
  // text: bytes, or code units below 256 standing for the bytes of their value. ref: the
  // request's identifier, or empty.
  template <typename Units>
  void answer(int status, Outcome outcome, const Units &text, std::u16string_view ref = {});
  void flushAnswers();
  // Walks and answers one request from words; its answer or message is left in answerText_,
  // outBytes_ or errBytes_.
  [[gnu::always_inline]] int serve(const CommandLine &base, ArgumentSource &words,
                                   CommandLine &request, Outcome &outcome);
  // Reads the header of a CSV batch and writes the header of its answers; false when the input
  // is empty. Throws excCL_MalformedParameter for a column no request may give.
  bool readCsvHeader(const CommandLine &base);
  // The next line, or with CSV the next record, however many lines it spans.
  template <typename BeforeRead>
  bool nextRequest(std::string_view &line, bool &tooLong, BeforeRead beforeRead);

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
  AnswerForm form_ = AnswerForm::Tab;
  // CSV: the option of each column, whether one is -ref, a record spanning lines, its fields.
  std::vector<const Option *> columns_;
  bool csvRef_ = false;
  SecretString<char> record_{kMaxRequestLine};
  SecretString<char> fieldBytes_{kMaxRequestLine};
  std::vector<CsvField> fields_;
};

template <typename Units>
void Batch::answer(int status, Outcome outcome, const Units &text, std::u16string_view ref) {
  // Escaped, a byte takes at most six; the rest of a line is short. A text longer than the
  // buffer holds (the answer to a large -datafile) goes out in pieces, the line whole all the
  // same: the output's line boundaries are what a stop respects.
  constexpr std::size_t kPiece = (kAnswerCapacity - 64) / 6;
  const std::basic_string_view<typename Units::value_type> units(text);
  if (answers_.size() + 6 * (std::min(units.size(), kPiece) + ref.size()) + 64 >
      answers_.capacity()) {
    flushAnswers();
  }
  char *out = answers_.end();
  if (form_ == AnswerForm::Tab && units.size() <= kPiece) {
    // The common answer, one piece in the tab form, straight into the room made above.
    *out++ = status == 0 ? '0' : '1';
    *out++ = '\t';
    out = writeEscaped(out, units);
    *out++ = '\n';
    answers_.commit(static_cast<std::size_t>(out - answers_.end()));
    return;
  }
  constexpr std::string_view kinds[] = {"answer", "usage", "problem", "command line", "error"};
  const std::string_view kind = kinds[static_cast<std::size_t>(outcome)];
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
  switch (form_) {
  case AnswerForm::Tab:
    *out++ = status == 0 ? '0' : '1';
    *out++ = '\t';
    escapeAll([](char *to, auto piece) { return writeEscaped(to, piece); });
    *out++ = '\n';
    break;
  case AnswerForm::JsonLines:
    if (!ref.empty()) {
      put(R"({"ref":")");
      out = writeJsonString(out, ref);
      put(R"(",)");
    } else {
      put("{");
    }
    put(status == 0 ? R"("status":0,"kind":")" : R"("status":1,"kind":")");
    put(kind);
    put(R"(","text":")");
    escapeAll([](char *to, auto piece) { return writeJsonString(to, piece); });
    put("\"}\n");
    break;
  case AnswerForm::Csv: {
    if (csvRef_) {
      out = writeCsvField(out, ref);
      *out++ = ',';
    }
    put(status == 0 ? "0," : "1,");
    out = writeCsvField(out, kind);
    *out++ = ',';
    // Whether the text goes in quotes is decided on the whole of it, piece by piece after.
    const bool quoted = csvNeedsQuotes(units);
    put(quoted ? "\"" : "");
    escapeAll([](char *to, auto piece) { return writeCsvQuotesDoubled(to, piece); });
    put(quoted ? "\"\r\n" : "\r\n");
    break;
  }
  }
  answers_.commit(static_cast<std::size_t>(out - answers_.end()));
}

bool Batch::readCsvHeader(const CommandLine &base) {
  std::string_view line;
  bool tooLong = false;
  if (!lines_.next(line, tooLong, [] {})) {
    return false;
  }
  if (tooLong || !splitCsvRecord(line, fieldBytes_, fields_)) {
    throw excCL_MalformedParameter(u"csv header is not one line of option words");
  }
  for (const CsvField &field : fields_) {
    Text word(u"-");
    decodeArgument(std::string_view(fieldBytes_->data() + field.offset, field.size), word);
    const Option *option = findOption(word);
    const Text column = Text(u"csv column ") + word.substr(1);
    if (option == nullptr) {
      throw excCL_MalformedParameter(column + u" is not an option word");
    }
    if (option->help != Help::None || option->notInRequest) {
      throw excCL_MalformedParameter(column + u" is not allowed in a batch request");
    }
    if (const Text refusal = base.locked ? lockedRefusal(base, *option) : Text();
        !refusal.empty()) {
      Text message = column + u": ";
      message += refusal;
      throw excCL_MalformedParameter(message);
    }
    csvRef_ = csvRef_ || option->text == &CommandLine::ref;
    columns_.push_back(option);
  }
  fieldBytes_.clear();
  constexpr std::string_view plain = "status,kind,text\r\n";
  out_.writeBytes(csvRef_ ? "ref," : "");
  out_.writeBytes(plain);
  return true;
}

template <typename BeforeRead>
bool Batch::nextRequest(std::string_view &line, bool &tooLong, BeforeRead beforeRead) {
  if (form_ != AnswerForm::Csv) {
    return lines_.next(line, tooLong, beforeRead);
  }
  // A record whose quoted field holds a line end goes on in the next line; its lines are joined
  // with LF, the line end the reader took away.
  record_.clear();
  bool more = false;
  do {
    if (!lines_.next(line, tooLong, beforeRead)) {
      tooLong = more; // a quote left open at the end of the input
      line = {};
      return more;
    }
    if (tooLong || record_->size() + line.size() + 1 > kMaxRequestLine) {
      tooLong = true;
      return true;
    }
    if (more) {
      record_->push_back('\n');
    }
    record_->append(line);
    more = !splitCsvRecord(*record_, fieldBytes_, fields_);
  } while (more);
  line = *record_;
  return true;
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

inline int Batch::serve(const CommandLine &base, ArgumentSource &words, CommandLine &request,
                        Outcome &outcome) {
  // The answer goes straight into its line when it is one line of bytes; otherwise, and for
  // every message, through the writers, which turn LF into CR LF as a run would.
  const int status = guarded(
      requestOut_, requestErr_,
      [&] {
        walkRequest(base, words, keys_, request);
        computeAnswer(request, *answerText_);
        for (const char16_t unit : *answerText_) {
          if (unit >= 256 || unit == u'\n') {
            writeAnswer(requestOut_, *answerText_);
            break;
          }
        }
        return 0;
      },
      &outcome);
  requestOut_.flush();
  requestErr_.flush();
  requestOut_.reset();
  requestErr_.reset();
  return status;
}

int Batch::run(const CommandLine &base) {
  int result = 0;
  std::string_view line;
  bool tooLong = false;
  form_ = base.csv ? AnswerForm::Csv : base.jsonl ? AnswerForm::JsonLines : AnswerForm::Tab;
  // The two streams of a single run, standard error unit-buffered and tied as there.
  requestErr_.setUnitBuffered(true);
  requestErr_.tie(&requestOut_);
  if (form_ == AnswerForm::Csv && !readCsvHeader(base)) {
    return 0;
  }
  // A signal to stop ends the batch at a line boundary, every answer computed written whole.
  catchStopSignals();
  struct Release {
    Release() = default;
    Release(const Release &) = delete;
    Release &operator=(const Release &) = delete;
    ~Release() { releaseStopSignals(); }
  } release;
  out_.setLineAnswers(true);
  CommandLine request;
  // Whoever writes the requests may be waiting for the answers before sending more. A batch
  // that waits holds no key that only its requests named: the keys kept for the requests that
  // follow are dropped whenever it reads more input.
  while (!stopRequested() && nextRequest(line, tooLong, [this] {
    flushAnswers();
    keys_.clear();
  })) {
    int status = 1;
    Outcome outcome = Outcome::Problem;
    if (tooLong) {
      answer(status, outcome, kTooLong);
    } else {
      request.ref = {};
      if (form_ == AnswerForm::Csv) {
        CsvWords csvWords(columns_, fieldBytes_, fields_, words_);
        status = serve(base, csvWords, request, outcome);
      } else {
        LineWords lineWords(line, scratch_, words_);
        status = serve(base, lineWords, request, outcome);
      }
      if (request.ref.empty() && status != 0) {
        // A request that failed before its -ref was walked is still answered with it, so that
        // an engine joining answers to requests by it finds this one too. The words of the
        // first walk are done with: their answer is in outBytes_ or errBytes_.
        words_.clear();
        LineWords again(line, scratch_, words_);
        CsvWords againCsv(columns_, fieldBytes_, fields_, words_);
        request.ref =
            refAmong(form_ == AnswerForm::Csv ? static_cast<ArgumentSource &>(againCsv) : again);
      }
      if (outcome == Outcome::Answer && outBytes_->empty()) {
        answer(status, outcome, *answerText_, request.ref);
      } else {
        // Only a run that fails without printing the usage text has nothing on standard output.
        answer(status, outcome, outBytes_->empty() ? *errBytes_ : *outBytes_, request.ref);
      }
      request.ref = {};
      answerText_.clear();
      words_.clear();
      outBytes_.clear();
      errBytes_.clear();
      fieldBytes_.clear();
    }
    result = status == 0 ? result : 1;
  }
  flushAnswers();
  if (stopRequested()) {
    // Fewer answers than requests, and this: how a caller tells a batch that stopped early from
    // requests that failed.
    throw excSystemFailure(u"batch stopped by a signal before the end of its input");
  }
  return result;
}

bool CsvWords::more(std::u16string_view &argument) {
  for (; column_ < columns_.size(); ++column_, valueNext_ = false) {
    const CsvField field = column_ < fields_.size() ? fields_[column_] : CsvField{0, 0};
    const std::string_view bytes(storage_->data() + field.offset, field.size);
    if (bytes.empty()) {
      continue;
    }
    const Option &option = *columns_[column_];
    if (!valueNext_) {
      if (!option.takesValue() && bytes != "1") {
        throw excCL_MalformedParameter(Text(u"csv column ") + Text(option.word().substr(1)) +
                                       u" is a switch: 1 or nothing");
      }
      argument = option.word();
      valueNext_ = option.takesValue();
      if (!valueNext_) {
        ++column_;
      }
      return true;
    }
    // Decoded as a program argument is, beside the other words of the record.
    Secret<Text> decoded;
    decodeArgument(bytes, *decoded);
    char16_t *const start = words_.end();
    std::copy(decoded->begin(), decoded->end(), start);
    words_.commit(decoded->size());
    argument = std::u16string_view(start, decoded->size());
    ++column_;
    valueNext_ = false;
    return true;
  }
  return false;
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

bool LineWords::takePlainLine() {
#if defined(__SSE2__)
  const std::size_t length = line_.size();
  if (length >= kPlainLine) {
    return false;
  }
  // Sixteen bytes at a time, also past the end of the line (kLineSlack), whose bytes are masked
  // out of the tests; what was written for them is wiped with the words.
  char16_t *const to = words_.end();
  const __m128i zero = _mm_setzero_si128();
  std::uint64_t special = 0;
  std::uint64_t blanks = 0; // bit i: byte i of the line is a blank
  for (std::size_t at = 0; at < length; at += 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(line_.data() + at));
    const __m128i blank =
        _mm_or_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8(' ')), _mm_cmpeq_epi8(x, _mm_set1_epi8('\t')));
    // The movemask of x itself adds the bytes of 0x80 and up.
    const __m128i odd = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8('"')), _mm_cmpeq_epi8(x, _mm_set1_epi8('\\'))),
        x);
    special |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(odd))) << at;
    blanks |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(blank))) << at;
    _mm_storeu_si128(reinterpret_cast<__m128i *>(to + at), _mm_unpacklo_epi8(x, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(to + at + 8), _mm_unpackhi_epi8(x, zero));
  }
  words_.commit(0, (length + 15) / 16 * 16);
  const std::uint64_t inLine = (std::uint64_t{1} << length) - 1;
  if ((special & inLine) != 0) {
    return false;
  }
  // The words are the runs of bytes that are not blanks, bytes past the end counting as blanks:
  // a word starts at a set bit whose right neighbour (the byte before) is clear, and ends at a
  // clear bit whose right neighbour is set.
  const std::uint64_t word = ~blanks & inLine;
  std::uint64_t starts = word & ~(word << 1);
  std::uint64_t ends = ~word & (word << 1);
  std::size_t count = 0;
  for (; starts != 0 && count < kPlainWords; ++count) {
    const auto first = static_cast<std::size_t>(std::countr_zero(starts));
    const auto last = static_cast<std::size_t>(std::countr_zero(ends));
    plainWords_[count] = FoundWord{to + first, last - first};
    starts &= starts - 1;
    ends &= ends - 1;
  }
  if (starts != 0) {
    return false; // more words than room: word by word after all
  }
  foundAll(plainWords_, count);
  words_.commit(length);
  return true;
#else
  return false;
#endif
}

bool LineWords::more(std::u16string_view &argument) { return !plain_ && nextWord(argument); }

bool LineWords::nextWord(std::u16string_view &argument) {
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
