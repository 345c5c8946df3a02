// Message MACs and message encryption against known answers read from message_vectors.txt: every
// MAC algorithm through the one function a command calls, verified whole, cut short and with a
// bit flipped; ECB and CBC with and without padding, deciphered back.

#include "crypto/message_cipher.hpp"
#include "crypto/message_mac.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "support/hex.hpp"

namespace tolvane {
namespace {

struct MacName {
  std::string name;
  MacAlgorithm algorithm;
};
const MacName kMacNames[] = {{"iso9797-1", MacAlgorithm::Iso9797Alg1},
                             {"iso9797-3", MacAlgorithm::Iso9797Alg3},
                             {"cmac", MacAlgorithm::Cmac},
                             {"hmac-sha224", MacAlgorithm::HmacSha224},
                             {"hmac-sha256", MacAlgorithm::HmacSha256},
                             {"hmac-sha384", MacAlgorithm::HmacSha384},
                             {"hmac-sha512", MacAlgorithm::HmacSha512}};

// The MAC line's algorithm, or nullopt for an encryption line.
std::optional<MacAlgorithm> macAlgorithm(const std::string &name) {
  for (const MacName &entry : kMacNames) {
    if (entry.name == name) {
      return entry.algorithm;
    }
  }
  return std::nullopt;
}

void checkMac(MacAlgorithm algorithm, const Bytes &key, int padding, const Bytes &message,
              const std::string &expected, const std::string &where) {
  // Keys as a command makes them: the DES family for the ISO algorithms, AES for a 16-byte CMAC
  // key whose MAC is 16 bytes long.
  const CipherFamily family = algorithm == MacAlgorithm::Cmac && expected.size() == 32
                                  ? CipherFamily::Aes
                                  : CipherFamily::Des;
  std::optional<Cipher> cipher, left;
  std::optional<HmacKey> hmac;
  MacKey macKey;
  if (isHmac(algorithm)) {
    macKey.hmac = &hmac.emplace(hmacHash(algorithm), key);
  } else {
    macKey.cipher = &cipher.emplace(*cipherAlgorithmFor(family, key.size()), key);
    if (algorithm == MacAlgorithm::Iso9797Alg3) {
      macKey.left = &left.emplace(CipherAlgorithm::Des, std::span(key).first(8));
    }
  }
  const auto method = static_cast<MacPadding>(padding < 1 ? 1 : padding);
  const Digest mac = computeMessageMac(algorithm, macKey, message, method);
  EXPECT_EQ(toHex(mac.view()), expected) << where;
  EXPECT_EQ(mac.size, fullMacLength(algorithm, isHmac(algorithm) ? MacKeyKind()
                                                                 : MacKeyKind(cipher->algorithm())))
      << where;

  Bytes given = fromHex(expected);
  EXPECT_TRUE(verifyMessageMac(algorithm, macKey, message, method, given)) << where;
  EXPECT_TRUE(verifyMessageMac(algorithm, macKey, message, method, std::span(given).first(4)))
      << where;
  EXPECT_FALSE(verifyMessageMac(algorithm, macKey, message, method, std::span(given).first(3)))
      << where << ", 3 bytes";
  given.back() ^= 0x01;
  EXPECT_FALSE(verifyMessageMac(algorithm, macKey, message, method, given)) << where;
}

void checkEncryption(const std::string &name, const Bytes &key, const Bytes &iv, int padding,
                     const Bytes &message, const std::string &expected, const std::string &where) {
  const CipherFamily family = name.starts_with("aes") ? CipherFamily::Aes : CipherFamily::Des;
  const BlockMode mode = name.ends_with("ecb") ? BlockMode::Ecb : BlockMode::Cbc;
  const Cipher cipher(*cipherAlgorithmFor(family, key.size()), key);
  const auto dataPadding = static_cast<DataPadding>(padding);
  Bytes out(encipheredLength(message.size(), cipher.blockSize(), dataPadding));
  encryptMessage(cipher, mode, iv, message, dataPadding, out);
  EXPECT_EQ(toHex(out), expected) << where;
  decryptMessage(cipher, mode, iv, out, out);
  EXPECT_EQ(toHex(std::span(out).first(message.size())), toHex(message)) << where;
  for (std::size_t i = message.size(); i < out.size(); ++i) {
    const int pad = i == message.size() && dataPadding == DataPadding::Bit ? 0x80 : 0;
    EXPECT_EQ(out[i], pad) << where << ", padding byte " << i;
  }
}

TEST(MessageCrypto, KnownAnswers) {
  std::ifstream file(TOLVANE_MESSAGE_VECTORS);
  ASSERT_TRUE(file.is_open()) << "cannot read " << TOLVANE_MESSAGE_VECTORS;
  std::string line, name, key, iv, padding, message, expected;
  int macs = 0, encryptions = 0;
  for (int number = 1; std::getline(file, line); ++number) {
    if (line.empty() || line[0] == '#') {
      continue;
    }
    std::istringstream(line) >> name >> key >> iv >> padding >> message >> expected;
    const std::string where = "line " + std::to_string(number);
    const Bytes text = fromHex(message == "-" ? "" : message);
    const int method = padding == "-" ? 0 : std::stoi(padding);
    if (const auto algorithm = macAlgorithm(name)) {
      ++macs;
      checkMac(*algorithm, fromHex(key), method, text, expected, where);
    } else {
      ++encryptions;
      checkEncryption(name, fromHex(key), fromHex(iv == "-" ? "" : iv), method, text, expected,
                      where);
    }
  }
  EXPECT_GT(macs, 50);
  EXPECT_GT(encryptions, 30);
}

} // namespace
} // namespace tolvane
