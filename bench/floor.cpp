// The floor of each kind of batch request: a lean loop over the same requests, on the same
// engine, doing the same checks and writing the same answer lines, and nothing else: no option
// table, no quoting, no messages, no wiping. bench/batch.sh divides a batch's instructions per
// request by this loop's.
//
//   floor KIND KEY... <requests >answers
//
// KIND and the request lines it reads (the words in this order, as bench/batch.sh writes them):
//   calcpvv KPV                    -pan PAN -pin PIN        (PVKI 1)
//   calcpinblock KPE               -pan PAN -pin PIN        (format 0)
//   verifypan                      -pan PAN
//   translate KPE AESKEY           -pinblock BLOCK -pan PAN (format 0 to format 4)
//   dukpt BDK PAN                  -ksn KSN -pinblock BLOCK (Triple-DES DUKPT, format 0)
//   dukptaes BDK PAN               -ksn KSN -pinblockaes BLOCK (AES DUKPT, format 4)
//   verifyarqc IMK                 -pan PAN -psn PSN -atc ATC -acdata DATA -arqc ARQC
//                                  (option A, the EMV common session key, padding 2)
//   macretail MAK                  -data HEX (ISO 9797-1 algorithm 3, padding 1)
//   maccmac AESMAK                 -data HEX (AES CMAC)
//   machmac KEY                    -data HEX (HMAC-SHA256)

#include <algorithm>
#include <optional>
#include <span>
#include <array>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <sys/random.h>
#include <vector>

#include "base/digits.hpp"
#include "card/luhn.hpp"
#include "crypto/dukpt.hpp"
#include "crypto/random.hpp"
#include "crypto/message_mac.hpp"
#include "emv/card_key.hpp"
#include "emv/cryptogram.hpp"
#include "emv/session_key.hpp"
#include "pin/pin_block.hpp"
#include "pin/pvv.hpp"

namespace {

using namespace tolvane;

// Random fills from the operating system, 4 KiB at a time, as any lean program would take them.
class BufferedRandom final : public RandomSource {
public:
  void fill(std::span<std::uint8_t> bytes) override {
    for (std::uint8_t &byte : bytes) {
      if (used_ == pool_.size()) {
        if (getrandom(pool_.data(), pool_.size(), 0) != static_cast<ssize_t>(pool_.size())) {
          std::abort();
        }
        used_ = 0;
      }
      byte = pool_[used_++];
    }
  }

private:
  std::array<std::uint8_t, 4096> pool_{};
  std::size_t used_ = 4096;
};

std::vector<std::uint8_t> bytesOf(std::string_view hex) {
  std::vector<std::uint8_t> bytes(hex.size() / 2);
  const Text text(hex.begin(), hex.end());
  hexToBytes(text, bytes.data());
  return bytes;
}

// The words of a line, split at blanks and widened as the engine's text is, into fixed room:
// ten words, the longest the 512 hex digits of the data of an ARQC.
struct Words {
  std::array<std::array<char16_t, 512>, 10> room{};
  std::array<std::u16string_view, 10> word;
};

void split(const char *line, const char *end, Words &words) {
  std::size_t count = 0;
  while (line < end && count < words.word.size()) {
    char16_t *to = words.room[count].data();
    const char16_t *start = to;
    for (; line < end && *line != ' '; ++line) {
      *to++ = static_cast<unsigned char>(*line);
    }
    words.word[count++] = std::u16string_view(start, static_cast<std::size_t>(to - start));
    ++line;
  }
}

bool isPin(std::u16string_view pin) { return pin.size() >= 4 && pin.size() <= 14 && allDecimal(pin); }

bool isHex(std::u16string_view text, std::size_t shortest, std::size_t longest) {
  return text.size() >= shortest && text.size() <= longest && text.size() % 2 == 0 && allHex(text);
}

} // namespace

int main(int argc, char **argv) {
  if (argc < 2) {
    std::fputs("usage: floor KIND KEY... <requests >answers\n", stderr);
    return 2;
  }
  const std::string_view kind = argv[1];
  const auto key = [&](int i) { return bytesOf(argc > i ? argv[i] : ""); };
  const auto algorithm = [](CipherFamily family, std::size_t size) {
    return *cipherAlgorithmFor(family, size);
  };
  Cipher first;
  Cipher second;
  std::vector<std::uint8_t> bdk;
  Text dukptPan;
  if (kind == "calcpvv" || kind == "calcpinblock" || kind == "translate" || kind == "verifyarqc") {
    const auto bytes = key(2);
    first.setKey(algorithm(CipherFamily::Des, bytes.size()), bytes);
  }
  if (kind == "translate") {
    const auto bytes = key(3);
    second.setKey(algorithm(CipherFamily::Aes, bytes.size()), bytes);
  }
  // The MAC kinds: keys prepared once, as a batch keeps them.
  std::optional<HmacKey> hmac;
  MacKey macKey{};
  MacAlgorithm macAlgorithm = MacAlgorithm::Iso9797Alg3;
  if (kind == "macretail") {
    const auto bytes = key(2);
    first.setKey(CipherAlgorithm::Tdes2, bytes);
    second.setKey(CipherAlgorithm::Des, std::span(bytes).first(8));
    macKey = {&first, &second, nullptr};
  } else if (kind == "maccmac") {
    const auto bytes = key(2);
    first.setKey(algorithm(CipherFamily::Aes, bytes.size()), bytes);
    macKey = {&first, nullptr, nullptr};
    macAlgorithm = MacAlgorithm::Cmac;
  } else if (kind == "machmac") {
    hmac.emplace(sha256, key(2));
    macKey = {nullptr, nullptr, &*hmac};
    macAlgorithm = MacAlgorithm::HmacSha256;
  }
  std::vector<std::uint8_t> message;
  if (kind == "dukpt" || kind == "dukptaes") {
    bdk = key(2);
    dukptPan.assign(argv[3], argv[3] + std::strlen(argv[3]));
  }
  const CipherFamily bdkFamily = kind == "dukptaes" ? CipherFamily::Aes : CipherFamily::Des;
  BufferedRandom random;

  std::string in;
  char chunk[1 << 16];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, stdin)) > 0;) {
    in.append(chunk, n);
  }
  std::string out(in.size() + 64, '\0');
  char *put = out.data();
  Words words;
  Text answer;
  answer.reserve(64);
  const char *const last = in.data() + in.size();
  for (const char *at = in.data(); at < last;) {
    const char *end = static_cast<const char *>(std::memchr(at, '\n', static_cast<std::size_t>(last - at)));
    end = end != nullptr ? end : last;
    split(at, end, words);
    at = end + 1;
    answer.clear();
    bool ok = true;
    const std::u16string_view w1 = words.word[1];
    const std::u16string_view w3 = words.word[3];
    if (kind == "calcpvv") {
      ok = luhnCheck(w1) && isPin(w3);
      if (ok) {
        appendPvv(answer, computePvv(w1, 1, w3.substr(0, 4), first));
      }
    } else if (kind == "calcpinblock") {
      ok = luhnCheck(w1) && isPin(w3);
      if (ok) {
        appendHex(answer, makePinBlock(*findPinBlockFormat(0), w3, w1, &first, random)->span());
      }
    } else if (kind == "verifypan") {
      answer += luhnCheck(w1) ? u"Y" : u"N";
    } else if (kind == "translate") {
      ok = w1.size() == 16 && allHex(w1) && luhnCheck(w3);
      if (ok) {
        PinBlock block;
        hexToBytes(w1, block.bytes.data());
        const auto pin = decodePinBlock(*findPinBlockFormat(0), block, w3, &first);
        appendHex(answer, makePinBlock(*findPinBlockFormat(4), *pin, w3, &second, random)->span());
      }
    } else if (kind == "dukpt" || kind == "dukptaes") {
      const std::size_t blockSize = bdkFamily == CipherFamily::Aes ? 16 : 8;
      ok = w1.size() == 2 * dukptKsnSize(bdkFamily) && allHex(w1) &&
           w3.size() == 2 * blockSize && allHex(w3);
      if (ok) {
        std::array<std::uint8_t, 12> ksn{};
        hexToBytes(w1, ksn.data());
        const std::span<const std::uint8_t> ksnBytes(ksn.data(), dukptKsnSize(bdkFamily));
        const auto bdkAlgorithm = algorithm(bdkFamily, bdk.size());
        const auto working = bdkFamily == CipherFamily::Aes ? CipherAlgorithm::Aes128
                                                            : CipherAlgorithm::Tdes2;
        const auto pinKey = dukptWorkingKey(bdkAlgorithm, bdk, ksnBytes, DukptUsage::Pin, working);
        const Cipher cipher(pinKey->algorithm, pinKey->span());
        PinBlock block;
        block.size = blockSize;
        hexToBytes(w3, block.bytes.data());
        answer += *decodePinBlock(*findPinBlockFormat(blockSize == 16 ? 4 : 0), block, dukptPan,
                                  &cipher);
      }
    } else if (kind == "macretail" || kind == "maccmac" || kind == "machmac") {
      ok = w1.size() % 2 == 0 && allHex(w1);
      if (ok) {
        message.resize(w1.size() / 2);
        hexToBytes(w1, message.data());
        appendHex(answer, computeMessageMac(macAlgorithm, macKey, message, MacPadding::Zeros).view());
      }
    } else if (kind == "verifyarqc") {
      const std::u16string_view psn = words.word[3], atc = words.word[5], data = words.word[7],
                                arqc = words.word[9];
      ok = luhnCheck(w1) && psn.size() == 2 && allDecimal(psn) && isHex(atc, 4, 4) &&
           isHex(data, 2, 512) && isHex(arqc, 16, 16);
      if (ok) {
        const CryptogramKey card(*deriveCardMasterKey(first, w1, psn, CardKeyOption::A));
        SessionKeyInputs inputs;
        hexToBytes(atc, inputs.atc.data());
        const CryptogramKey session(*deriveSessionKey(card, SessionKeyMethod::Emv, inputs));
        std::array<std::uint8_t, 256> bytes{};
        hexToBytes(data, bytes.data());
        std::array<std::uint8_t, 8> given{};
        hexToBytes(arqc, given.data());
        answer +=
            verifyArqc(session, std::span(bytes.data(), data.size() / 2), MacPadding::Bit, given)
                ? u"Y"
                : u"N";
      }
    }
    *put++ = ok ? '0' : '1';
    *put++ = '\t';
    for (const char16_t c : answer) {
      *put++ = static_cast<char>(c);
    }
    *put++ = '\n';
  }
  out.resize(static_cast<std::size_t>(put - out.data()));
  std::fwrite(out.data(), 1, out.size(), stdout);
  return 0;
}
