// The floor of the batch workloads: the least a program does to answer the same requests on the
// same engine (the cipher seam and the MACs of tolvane_core), so that bench/batch.sh can say what
// a batch adds to it. No checks, no wiping, no option table: the words stand where batch.sh puts
// them. One function per workload, reading request lines from standard input and writing the
// answer lines a batch would write.
//
// Usage: floor verifyarqc IMKHEX < requests
//   each line: -pan PAN -psn NN -atc HEX -acdata HEX -arqc HEX, the PAN of 14 digits or more;
//   option A, the EMV common session key, padding 2.

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

#include "crypto/cipher.hpp"
#include "crypto/mac.hpp"

namespace {

using tolvane::Cipher;
using tolvane::CipherAlgorithm;

std::uint8_t nibble(char c) {
  return static_cast<std::uint8_t>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
}

void fromHex(std::string_view hex, std::uint8_t *out) {
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    out[i / 2] = static_cast<std::uint8_t>(nibble(hex[i]) << 4 | nibble(hex[i + 1]));
  }
}

// The words of a line, split at blanks.
std::size_t splitWords(char *line, std::array<std::string_view, 10> &words) {
  std::size_t count = 0;
  for (char *word = std::strtok(line, " \n"); word != nullptr && count < words.size();
       word = std::strtok(nullptr, " \n")) {
    words[count++] = word;
  }
  return count;
}

int verifyArqc(const char *imkHex) {
  std::array<std::uint8_t, 16> key{};
  fromHex(imkHex, key.data());
  const Cipher imk(CipherAlgorithm::Tdes2, key);
  std::string answers;
  char line[1024];
  std::array<std::string_view, 10> words;
  while (std::fgets(line, sizeof line, stdin) != nullptr) {
    if (splitWords(line, words) != 10) {
      return 1;
    }
    const std::string_view pan = words[1], psn = words[3];
    // Option A: the rightmost 16 digits of PAN || PSN, then the block and its complement.
    std::array<std::uint8_t, 8> y{};
    const std::string digits = std::string(pan.substr(pan.size() - 14)) + std::string(psn);
    fromHex(digits, y.data());
    std::array<std::uint8_t, 16> cardKey{};
    imk.encrypt(y.data(), cardKey.data());
    for (std::uint8_t &byte : y) {
      byte = static_cast<std::uint8_t>(~byte);
    }
    imk.encrypt(y.data(), cardKey.data() + 8);
    // The EMV common session key: ATC, F0 or 0F, zeros.
    const Cipher card(CipherAlgorithm::Tdes2, cardKey);
    std::array<std::uint8_t, 8> r{};
    fromHex(words[5], r.data());
    std::array<std::uint8_t, 16> sessionKey{};
    r[2] = 0xF0;
    card.encrypt(r.data(), sessionKey.data());
    r[2] = 0x0F;
    card.encrypt(r.data(), sessionKey.data() + 8);
    const Cipher left(CipherAlgorithm::Des, std::span(sessionKey).first(8));
    const Cipher whole(CipherAlgorithm::Tdes2, sessionKey);
    std::array<std::uint8_t, 256> data{};
    fromHex(words[7], data.data());
    const tolvane::CipherBlock mac = tolvane::isoMac3(
        left, whole, std::span(data.data(), words[7].size() / 2), tolvane::MacPadding::Bit);
    std::array<std::uint8_t, 8> arqc{};
    fromHex(words[9], arqc.data());
    answers += std::memcmp(mac.bytes.data(), arqc.data(), 8) == 0 ? "0\tY\n" : "0\tN\n";
  }
  std::fwrite(answers.data(), 1, answers.size(), stdout);
  return 0;
}

} // namespace

int main(int argc, char **argv) {
  const std::string_view workload = argc > 1 ? argv[1] : "";
  if (workload == "verifyarqc" && argc == 3) {
    return verifyArqc(argv[2]);
  }
  std::fputs("usage: floor verifyarqc IMKHEX < requests\n", stderr);
  return 2;
}
