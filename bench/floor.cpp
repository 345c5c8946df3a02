// The floor of a -calcmac request in batch: the leanest loop that does what such a request must,
// on the same engines as the program. It reads lines "-data HEX" from standard input, decodes the
// message (its digits checked), computes its MAC under a key prepared once, and writes "0", a tab,
// the MAC in upper-case hex and a line feed, as the batch does; no option words, no checks, no
// escaping. bench/batch.sh counts its instructions per request beside the program's own.
//
// Usage: floor retail|cmac|hmac < requests

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/digits.hpp"
#include "crypto/message_mac.hpp"

using namespace tolvane;

int main(int argc, char **argv) {
  const std::string_view kind = argc > 1 ? argv[1] : "";
  const std::uint8_t tdes[16] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF,
                                 0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, 0x10};
  const std::uint8_t aes[16] = {0xC1, 0xD0, 0xF8, 0xFB, 0x49, 0x58, 0x67, 0x0D,
                                0xBA, 0x40, 0xAB, 0x1F, 0x37, 0x52, 0xEF, 0x0D};
  MacAlgorithm algorithm = MacAlgorithm::Iso9797Alg3;
  const Cipher whole(CipherAlgorithm::Tdes2, tdes);
  const Cipher left(CipherAlgorithm::Des, std::span(tdes, 8));
  const Cipher aesCipher(CipherAlgorithm::Aes128, aes);
  const HmacKey hmac(sha256, aes);
  MacKey key{&whole, &left, nullptr};
  if (kind == "cmac") {
    algorithm = MacAlgorithm::Cmac;
    key = {&aesCipher, nullptr, nullptr};
  } else if (kind == "hmac") {
    algorithm = MacAlgorithm::HmacSha256;
    key = {nullptr, nullptr, &hmac};
  } else if (kind != "retail") {
    std::fputs("usage: floor retail|cmac|hmac < requests\n", stderr);
    return 2;
  }
  std::string input;
  char chunk[65536];
  for (ssize_t n; (n = ::read(0, chunk, sizeof chunk)) > 0;) {
    input.append(chunk, static_cast<std::size_t>(n));
  }
  std::vector<std::uint8_t> message;
  Text hex;
  std::string out;
  for (std::size_t at = 0; at < input.size();) {
    std::size_t end = input.find('\n', at);
    end = end == std::string::npos ? input.size() : end;
    const std::string_view line = std::string_view(input).substr(at, end - at);
    at = end + 1;
    const std::string_view digits = line.substr(line.find(' ') + 1);
    // The digits are checked, as any request's are.
    unsigned refused = digits.size() % 2;
    for (const char c : digits) {
      const unsigned u = static_cast<unsigned char>(c);
      refused |= static_cast<unsigned>(u - 0x30u >= 10u && (u | 0x20u) - 0x61u >= 6u);
    }
    if (refused != 0) {
      out += "1\tbad hex\n";
      continue;
    }
    message.resize(digits.size() / 2);
    for (std::size_t i = 0; i < message.size(); ++i) {
      const char16_t pair[2] = {static_cast<char16_t>(digits[2 * i]),
                                static_cast<char16_t>(digits[2 * i + 1])};
      message[i] = hexPairToByte(pair);
    }
    const Digest mac = computeMessageMac(algorithm, key, message, MacPadding::Zeros);
    hex.clear();
    appendHex(hex, mac.view());
    out += "0\t";
    out.append(hex.begin(), hex.end());
    out += '\n';
  }
  return ::write(1, out.data(), out.size()) == static_cast<ssize_t>(out.size()) ? 0 : 1;
}
