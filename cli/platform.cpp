#include "cli/platform.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/random.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "base/residue.hpp"
#include "base/secret.hpp"
#include "cli/errors.hpp"

namespace tolvane {

namespace {

constexpr char16_t kEscapeBase = 0xDC00;

// Length of the well-formed UTF-8 sequence at the start of bytes and the code point it
// encodes, or 0 when the first byte does not begin one.
std::size_t sequenceAt(std::string_view bytes, char32_t &point) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned lead = byte(0);
  if (lead < 0x80) {
    point = lead;
    return 1;
  }
  std::size_t length = 0;
  char32_t min = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, point = lead & 0x1F, min = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, point = lead & 0x0F, min = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, point = lead & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (bytes.size() < length) {
    return 0;
  }
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) {
      return 0;
    }
    point = (point << 6) | (byte(i) & 0x3F);
  }
  if (point < min || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
    return 0;
  }
  return length;
}

void appendUtf8(std::string &out, char32_t point) {
  const auto add = [&](char32_t v) { out.push_back(static_cast<char>(v)); };
  if (point < 0x80) {
    add(point);
  } else if (point < 0x800) {
    add(0xC0 | (point >> 6));
    add(0x80 | (point & 0x3F));
  } else if (point < 0x10000) {
    add(0xE0 | (point >> 12));
    add(0x80 | ((point >> 6) & 0x3F));
    add(0x80 | (point & 0x3F));
  } else {
    add(0xF0 | (point >> 18));
    add(0x80 | ((point >> 12) & 0x3F));
    add(0x80 | ((point >> 6) & 0x3F));
    add(0x80 | (point & 0x3F));
  }
}

} // namespace

void decodeArgument(std::string_view bytes, Text &text) {
  text.reserve(text.size() + bytes.size());
  while (!bytes.empty()) {
    if (static_cast<unsigned char>(bytes[0]) < 0x80) {
      text.push_back(static_cast<char16_t>(bytes[0]));
      bytes.remove_prefix(1);
      continue;
    }
    char32_t point = 0;
    const std::size_t length = sequenceAt(bytes, point);
    if (length == 0) {
      text.push_back(static_cast<char16_t>(kEscapeBase + static_cast<unsigned char>(bytes[0])));
      bytes.remove_prefix(1);
      continue;
    }
    if (point >= 0x10000) {
      point -= 0x10000;
      text.push_back(static_cast<char16_t>(0xD800 + (point >> 10)));
      text.push_back(static_cast<char16_t>(0xDC00 + (point & 0x3FF)));
    } else {
      text.push_back(static_cast<char16_t>(point));
    }
    bytes.remove_prefix(length);
  }
}

void takeArguments(int argc, char **argv, std::vector<Text> &args) {
  args.resize(static_cast<std::size_t>(argc));
  for (std::size_t i = 0; i < args.size(); ++i) {
    decodeArgument(argv[i], args[i]);
    if (i > 0) {
      std::memset(argv[i], 0, std::strlen(argv[i]));
    }
  }
}

std::string encodeArgument(std::u16string_view text) {
  std::string bytes;
  bytes.reserve(text.size() * 3);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (unit >= kEscapeBase + 0x80 && unit <= kEscapeBase + 0xFF) {
      // Only ever made from a byte that was not valid UTF-8: a byte below 0x80 always is.
      bytes.push_back(static_cast<char>(unit - kEscapeBase));
    } else if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
               text[i + 1] <= 0xDFFF) {
      const char32_t high = unit - 0xD800u;
      const char32_t low = text[++i] - 0xDC00u;
      appendUtf8(bytes, 0x10000 + (high << 10) + low);
    } else {
      // Lone surrogates do not come out of decodeArgument; encoding them as the three bytes
      // of their value keeps this total.
      appendUtf8(bytes, unit);
    }
  }
  return bytes;
}

namespace {
bool waitFor(int fd, short events, int deadline);
} // namespace

std::optional<std::size_t> readFilePrefix(std::u16string_view name, std::uint8_t *buffer,
                                          std::size_t capacity, bool inBatch, int *error,
                                          std::u16string_view refusal) {
  const auto failed = [error](int code) {
    if (error != nullptr) {
      *error = code;
    }
    return std::nullopt;
  };
  int fd = -1;
  {
    // In a batch a FIFO without a writer must not stop every request behind it: the open does
    // not wait, and a read then finds no data rather than waiting for a writer.
    const Secret<std::string> path(encodeArgument(name));
    fd = ::open(path->c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | (inBatch ? O_NONBLOCK : 0));
  }
  if (fd < 0) {
    return failed(errno);
  }
  struct stat info {};
  const bool known = ::fstat(fd, &info) == 0;
  if (inBatch) {
    // The batch's requests come from its standard input: read as a key, the next request would
    // become the key. A terminal is that input whichever name it is opened by (/dev/tty).
    struct stat input {};
    const bool sameFile = known && ::fstat(0, &input) == 0 && info.st_dev == input.st_dev &&
                          info.st_ino == input.st_ino;
    if (sameFile || (::isatty(fd) != 0 && ::isatty(0) != 0)) {
      ::close(fd);
      throw excCL_MalformedParameter(refusal);
    }
  }
  std::optional<std::size_t> result;
  int why = known ? EISDIR : errno;
  if (known && !S_ISDIR(info.st_mode)) {
    std::size_t total = 0;
    bool ok = true;
    // In a batch a writer that keeps a FIFO open without writing is given a second in all, and
    // a stop signal ends the wait: the requests behind this one must not wait on it.
    const auto now = [] {
      timespec t{};
      ::clock_gettime(CLOCK_MONOTONIC, &t);
      return t.tv_sec * 1000L + t.tv_nsec / 1000000L;
    };
    const long deadline = now() + 1000;
    while (total < capacity) {
      const ssize_t n = ::read(fd, buffer + total, capacity - total);
      if (n < 0 && errno == EINTR) {
        continue;
      }
      if (n < 0 && errno == EAGAIN && inBatch &&
          waitFor(fd, POLLIN, static_cast<int>(std::max(0L, deadline - now())))) {
        continue;
      }
      if (n < 0) {
        ok = false;
        why = errno == EAGAIN ? ETIMEDOUT : errno;
        break;
      }
      if (n == 0) {
        break;
      }
      total += static_cast<std::size_t>(n);
    }
    if (ok) {
      result = total;
    }
  }
  ::close(fd);
  if (!result) {
    return failed(why);
  }
  return result;
}

Text fileErrorText(int error) {
  if (error == ETIMEDOUT) {
    return u"no data within one second";
  }
  // The C locale's text, which nothing changes: "No such file or directory".
  const char *text = std::strerror(error);
  Text out;
  for (const char *c = text; *c != '\0'; ++c) {
    out += static_cast<char16_t>(static_cast<unsigned char>(*c));
  }
  if (!out.empty() && out[0] >= u'A' && out[0] <= u'Z') {
    out[0] = static_cast<char16_t>(out[0] - u'A' + u'a');
  }
  return out;
}

void ignoreWriteSignals() {
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
}

void forbidDumpsAndTracing() {
  ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
  const rlimit none{0, 0};
  ::setrlimit(RLIMIT_CORE, &none);
}

bool writeAll(int fd, const char *bytes, std::size_t count, std::size_t &written) {
  written = 0;
  while (written < count) {
    const ssize_t n = ::write(fd, bytes + written, count - written);
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      return false;
    }
    written += static_cast<std::size_t>(n);
  }
  return true;
}

std::optional<std::uint64_t> regularFileEnd(int fd) {
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    return std::nullopt;
  }
  // A file opened for appending may be shared with other writers, whose bytes may follow ours at
  // any moment: it is never cut back.
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || (flags & O_APPEND) != 0) {
    return std::nullopt;
  }
  const off_t position = ::lseek(fd, 0, SEEK_CUR);
  if (position < 0) {
    return std::nullopt;
  }
  return static_cast<std::uint64_t>(position);
}

void cutFileBack(int fd, std::uint64_t length) {
  if (::ftruncate(fd, static_cast<off_t>(length)) == 0) {
    ::lseek(fd, static_cast<off_t>(length), SEEK_SET);
  }
}

namespace {

volatile std::sig_atomic_t stopSignalled = 0;
extern "C" void noteStop(int) { stopSignalled = 1; }

// Every signal that would end the process by default and that someone may send to stop it: all
// of them stop a batch at a line boundary instead, so that none tears an answer.
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM};

sigset_t stopSignalSet() {
  sigset_t set;
  sigemptyset(&set);
  for (const int signal : kStopSignals) {
    sigaddset(&set, signal);
  }
  return set;
}

// Waits until fd has data for events or the deadline passes (milliseconds, -1 for none), and
// returns false when a stop signal came first or the deadline passed. The stop signals are
// blocked from the test of the flag until the wait begins, which unblocks them in the same
// call: a signal that arrives in between is not lost, it ends the wait at once.
bool waitFor(int fd, short events, int deadline) {
  const sigset_t stops = stopSignalSet();
  sigset_t previous;
  ::sigprocmask(SIG_BLOCK, &stops, &previous);
  bool ready = false;
  if (stopSignalled == 0) {
    // A signal now saves the registers on the stack, and a waiting process may be dumped: the
    // answered requests leave nothing in registers or in the stack their frames used.
    wipeVectorRegisters();
    wipeStackBelow();
    pollfd watched{fd, events, 0};
    timespec limit{deadline / 1000, (deadline % 1000) * 1000000L};
    int result = 0;
    do {
      result = ::ppoll(&watched, 1, deadline < 0 ? nullptr : &limit, &previous);
    } while (result < 0 && errno == EINTR && stopSignalled == 0);
    ready = result > 0;
  }
  ::sigprocmask(SIG_SETMASK, &previous, nullptr);
  return ready && stopSignalled == 0;
}

} // namespace

namespace {
// What the stop signals did before a batch caught them, put back when it ends.
struct sigaction beforeBatch[std::size(kStopSignals)];
// The stop handler runs here, not on the batch's own stack: a signal in the middle of a
// request saves every register, key material with them, where the batch wipes it when it ends.
alignas(64) std::array<unsigned char, 65536> handlerStack;
stack_t stackBeforeBatch;
} // namespace

void catchStopSignals() {
  stopSignalled = 0;
  struct sigaction action {};
  action.sa_handler = noteStop;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a wait for input returns, and the batch sees the stop.
  action.sa_flags = SA_ONSTACK;
  stack_t own{};
  own.ss_sp = handlerStack.data();
  own.ss_size = handlerStack.size();
  ::sigaltstack(&own, &stackBeforeBatch);
  for (std::size_t i = 0; i < std::size(kStopSignals); ++i) {
    ::sigaction(kStopSignals[i], &action, &beforeBatch[i]);
  }
}

void releaseStopSignals() {
  for (std::size_t i = 0; i < std::size(kStopSignals); ++i) {
    ::sigaction(kStopSignals[i], &beforeBatch[i], nullptr);
  }
  ::sigaltstack(&stackBeforeBatch, nullptr);
  if (stopSignalled != 0) { // else the handler never ran, and its stack is untouched
    wipeBytes(handlerStack.data(), handlerStack.size());
  }
  stopSignalled = 0;
}

bool stopRequested() { return stopSignalled != 0; }

RandomSource &systemRandom() {
  // The operating system's bytes, taken 4 KiB at a time: one system call serves many random
  // fills. Every byte is wiped as it is handed out, and what is left when the program ends.
  class SystemRandom final : public RandomSource {
  public:
    SystemRandom(const SystemRandom &) = delete;
    SystemRandom &operator=(const SystemRandom &) = delete;
    SystemRandom() = default;
    ~SystemRandom() override { wipeBytes(pool_.data(), pool_.size()); }

    void fill(std::span<std::uint8_t> bytes) override {
      while (!bytes.empty()) {
        if (used_ == pool_.size()) {
          refill();
        }
        const std::size_t count = std::min(bytes.size(), pool_.size() - used_);
        std::copy_n(pool_.data() + used_, count, bytes.data());
        wipeBytes(pool_.data() + used_, count);
        used_ += count;
        bytes = bytes.subspan(count);
      }
    }

  private:
    void refill() {
      std::size_t got = 0;
      while (got < pool_.size()) {
        const ssize_t n = ::getrandom(pool_.data() + got, pool_.size() - got, 0);
        if (n < 0 && errno == EINTR) {
          continue;
        }
        if (n <= 0) {
          throw excSystemFailure(u"no random bytes from the operating system");
        }
        got += static_cast<std::size_t>(n);
      }
      used_ = 0;
    }

    std::array<std::uint8_t, 4096> pool_{};
    std::size_t used_ = 4096;
  };
  static SystemRandom random;
  return random;
}

std::optional<std::size_t> readSome(int fd, char *buffer, std::size_t capacity) {
  for (;;) {
    if (!waitFor(fd, POLLIN, -1)) {
      if (stopRequested()) {
        return 0;
      }
      // Not readable for another reason (an error, hang-up): the read below tells which.
    }
    const ssize_t n = ::read(fd, buffer, capacity);
    if (n >= 0) {
      return static_cast<std::size_t>(n);
    }
    if (errno != EINTR && errno != EAGAIN) {
      return std::nullopt;
    }
  }
}

} // namespace tolvane
