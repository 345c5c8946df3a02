#include "cli/writer.hpp"

#include "base/secret.hpp"
#include "cli/platform.hpp"

namespace tolvane {

TextWriter::~TextWriter() { wipeBytes(buffer_.data(), used_); }

void TextWriter::put(char byte) {
  if (used_ == buffer_.size()) {
    drain();
  }
  buffer_[used_++] = byte;
}

// The buffer may have held a PIN or a PAN: it is wiped as soon as it has been handed on.
void TextWriter::drain() {
  if (used_ != 0 && !failed_ && !sink(buffer_.data(), used_)) {
    failed_ = true;
  }
  wipeBytes(buffer_.data(), used_);
  used_ = 0;
}

void TextWriter::write(std::u16string_view text) {
  if (tied_ != nullptr) {
    tied_->flush();
  }
  for (char16_t unit : text) {
    if (failed_) {
      break;
    }
    if (unit >= 256) {
      // What was converted before this unit still goes out; nothing after it does.
      drain();
      failed_ = true;
      break;
    }
    if (unit == u'\n') {
      put('\r');
    }
    put(static_cast<char>(unit));
  }
  if (unitBuffered_) {
    drain();
  }
}

void TextWriter::writeBytes(std::string_view bytes) {
  if (tied_ != nullptr) {
    tied_->flush();
  }
  drain();
  if (!failed_ && !bytes.empty() && !sink(bytes.data(), bytes.size())) {
    failed_ = true;
  }
}

FdWriter::~FdWriter() { flush(); }

bool FdWriter::sink(const char *bytes, std::size_t count) {
  if (!started_) {
    started_ = true;
    whole_ = regularFileEnd(fd_);
  }
  std::size_t written = 0;
  const bool ok = writeAll(fd_, bytes, count, written);
  if (!whole_) {
    return ok;
  }
  if (lineAnswers()) {
    const std::string_view done(bytes, written);
    const std::size_t lineEnd = done.rfind('\n');
    if (lineEnd == std::string_view::npos) {
      pending_ += written;
    } else {
      *whole_ += pending_ + lineEnd + 1;
      pending_ = written - lineEnd - 1;
    }
  }
  if (!ok) {
    cutFileBack(fd_, *whole_);
  }
  return ok;
}

StringWriter::~StringWriter() { wipeBytes(bytes_.data(), bytes_.size()); }

bool StringWriter::sink(const char *bytes, std::size_t count) {
  bytes_.append(bytes, count);
  return true;
}

} // namespace tolvane
