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

bool TextWriter::flush() {
  drain();
  return !failed_;
}

FdWriter::~FdWriter() { flush(); }

bool FdWriter::sink(const char *bytes, std::size_t count) { return writeAll(fd_, bytes, count); }

StringWriter::~StringWriter() { wipeBytes(bytes_.data(), bytes_.size()); }

bool StringWriter::sink(const char *bytes, std::size_t count) {
  bytes_.append(bytes, count);
  return true;
}

} // namespace tolvane
