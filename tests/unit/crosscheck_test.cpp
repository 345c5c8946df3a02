// The whole program against an independent computation: random PANs, PINs, PVKIs and keys of
// every length run through the entry in-process (PVVs, PIN blocks both ways, key check values;
// EMV card master keys, session keys, ARQCs and ARPCs),
// compared with plain string handling on hex text and OpenSSL's DES, written apart from the
// program on purpose. Below the entry, AES blocks and CMACs through the cipher seam, and every
// message MAC and padded message encryption, against OpenSSL's EVP interface.

// OpenSSL 3 marks the DES_* functions deprecated; they are exactly the reference wanted here.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/des.h>
#include <openssl/evp.h>
#include <openssl/sha.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "cli/entry.hpp"
#include "crypto/cmac.hpp"
#include "crypto/hmac.hpp"
#include "crypto/message_cipher.hpp"
#include "crypto/message_mac.hpp"
#include "crypto/modes.hpp"

namespace tolvane {
namespace {

std::string hex(std::uint64_t value) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llX", static_cast<unsigned long long>(value));
  return text;
}

// E(K1) D(K2) E(K3) of one block, all as hex; a key of 16 digits is K||K||K, of 32 K1||K2||K1.
std::string ede(const std::string &block, std::string key) {
  while (key.size() < 48) {
    key += key.substr(0, 16);
  }
  DES_cblock bytes[4]; // K1, K2, K3, the block
  DES_key_schedule s[3];
  for (std::size_t i = 0; i < 32; ++i) {
    bytes[i / 8][i % 8] =
        static_cast<unsigned char>(std::stoul((key + block).substr(2 * i, 2), nullptr, 16));
  }
  for (std::size_t i = 0; i < 3; ++i) {
    DES_set_key_unchecked(&bytes[i], &s[i]);
  }
  DES_ecb3_encrypt(&bytes[3], &bytes[3], &s[0], &s[1], &s[2], DES_ENCRYPT);
  std::uint64_t out = 0;
  for (const unsigned char byte : bytes[3]) {
    out = out << 8 | byte;
  }
  return hex(out);
}

std::string run(const std::vector<std::string> &args) {
  std::vector<Text> argv{u"tolvane", u"-suppressluhn"};
  for (const auto &a : args) {
    argv.emplace_back(a.begin(), a.end());
  }
  StringWriter out, err;
  EXPECT_EQ(runTolvane(argv, out, err), 0) << err.bytes();
  out.flush();
  return out.bytes();
}

TEST(CrossCheck, PvvAndPinBlocksMatchTheReference) {
  std::mt19937 random(1206);
  const auto text = [&](std::size_t n, std::size_t radix) {
    std::string s;
    while (s.size() < n) {
      s += "0123456789ABCDEF"[random() % radix];
    }
    return s;
  };
  for (std::size_t trial = 0; trial < 300; ++trial) {
    // Random PANs rarely pass the Luhn check, and the computations do not depend on it.
    const std::string pan = text(13 + random() % 7, 10), pin = text(4 + random() % 11, 10);
    const std::string pvki = std::to_string(random() % 7);
    const std::string kpv = text(16 * (1 + trial % 3), 16),
                      kpe = text(16 * (1 + trial / 3 % 3), 16);
    std::string pvv; // decimal digits of the cipher block first, then its letters less 10
    const std::string cipher =
        ede(pan.substr(pan.size() - 12, 11) + pvki + pin.substr(0, 4), kpv.substr(0, 32));
    for (const bool digits : {true, false}) {
      for (const char c : cipher) {
        if (pvv.size() < 4 && (c <= '9') == digits) {
          pvv += static_cast<char>(digits ? c : c - 'A' + '0');
        }
      }
    }
    std::string field = {'0', "0123456789ABCDEF"[pin.size()]};
    field += pin;
    field.resize(16, 'F');
    const std::string block = ede(hex(std::stoull(field, nullptr, 16) ^
                                      std::stoull(pan.substr(pan.size() - 13, 12), nullptr, 16)),
                                  kpe);

    const std::string where = "trial " + std::to_string(trial);
    EXPECT_EQ(run({"-calcpvv", "-pan", pan, "-pin", pin, "-pvki", pvki, "-kpv", kpv}), pvv)
        << where;
    EXPECT_EQ(run({"-calcpinblock", "-pan", pan, "-pin", pin, "-kpe", kpe}), block) << where;
    EXPECT_EQ(run({"-kcv", "-kpe", kpe}), ede("0000000000000000", kpe).substr(0, 6)) << where;
    EXPECT_EQ(run({"-uncalcpinblock", "-pan", pan, "-pinblock", block, "-kpe", kpe}), pin) << where;
  }
}

// Byte-wise XOR of two hex texts of the same length.
std::string xorHex(const std::string &a, const std::string &b) {
  std::string out;
  for (std::size_t i = 0; i < a.size(); ++i) {
    out += "0123456789ABCDEF"[std::stoi(a.substr(i, 1), nullptr, 16) ^
                              std::stoi(b.substr(i, 1), nullptr, 16)];
  }
  return out;
}

// Two halves enciphered under key, every byte given odd parity.
std::string oddParityHalves(const std::string &left, const std::string &right,
                            const std::string &key) {
  std::string out;
  for (const std::string &half : {ede(left, key), ede(right, key)}) {
    for (std::size_t i = 0; i < 16; i += 2) {
      unsigned byte = static_cast<unsigned>(std::stoul(half.substr(i, 2), nullptr, 16)) & 0xFEu;
      byte |= std::popcount(byte) % 2 == 0 ? 1u : 0u;
      char pair[3];
      std::snprintf(pair, sizeof pair, "%02X", byte);
      out += pair;
    }
  }
  return out;
}

// The retail MAC: single DES on every block but the last, which goes through the whole key.
std::string retailMac(const std::string &key, std::string data, int padding) {
  data += padding == 2 ? "80" : "";
  while (data.empty() || data.size() % 16 != 0) {
    data += "00";
  }
  std::string chain(16, '0');
  for (std::size_t i = 0; i + 16 < data.size(); i += 16) {
    chain = ede(xorHex(chain, data.substr(i, 16)), key.substr(0, 16));
  }
  return ede(xorHex(chain, data.substr(data.size() - 16)), key);
}

std::string cardMasterKey(const std::string &imk, const std::string &pan, const std::string &psn,
                          bool optionB) {
  std::string y = std::string(16, '0') + pan + psn;
  y = y.substr(y.size() - 16);
  if (optionB) {
    std::string x = (pan.size() % 2 == 0 ? "" : "0") + pan + psn;
    unsigned char bcd[11], digest[SHA_DIGEST_LENGTH];
    for (std::size_t i = 0; i < x.size() / 2; ++i) {
      bcd[i] = static_cast<unsigned char>(std::stoul(x.substr(2 * i, 2), nullptr, 16));
    }
    SHA1(bcd, x.size() / 2, digest);
    std::string nibbles, digits, letters;
    for (const unsigned char byte : digest) {
      nibbles += {"0123456789ABCDEF"[byte >> 4], "0123456789ABCDEF"[byte & 15]};
    }
    for (const char c : nibbles) {
      (c <= '9' ? digits : letters) += c <= '9' ? c : static_cast<char>(c - 'A' + '0');
    }
    y = (digits + letters).substr(0, 16);
  }
  return oddParityHalves(y, xorHex(y, std::string(16, 'F')), imk);
}

// Random IMKs, PANs of 12 to 19 digits with random PSNs under each derivation option, both
// session key methods, data of 1 to 64 bytes under both paddings, and ARPCs of both methods under
// both keys, against plain string handling on hex text and OpenSSL's DES and SHA-1.
TEST(CrossCheck, EmvKeysAndCryptogramsMatchTheReference) {
  std::mt19937 random(2412);
  const auto text = [&](std::size_t n, std::size_t radix) {
    std::string s;
    while (s.size() < n) {
      s += "0123456789ABCDEF"[random() % radix];
    }
    return s;
  };
  for (std::size_t trial = 0; trial < 200; ++trial) {
    const std::string imk = text(32, 16), pan = text(12 + random() % 8, 10), psn = text(2, 10);
    const std::string atc = text(4, 16), un = text(8, 16), data = text(2 + 2 * (random() % 64), 16);
    const std::string mkd = trial % 3 == 0 ? "a" : trial % 3 == 1 ? "b" : "";
    const bool mastercard = trial % 2 == 0;
    const std::string mk = cardMasterKey(imk, pan, psn, mkd != "a" && pan.size() > 16);
    const std::string r = atc + "0000" + (mastercard ? un : "00000000");
    const std::string sk = oddParityHalves(r.substr(0, 4) + "F0" + r.substr(6),
                                           r.substr(0, 4) + "0F" + r.substr(6), mk);
    const std::string arqc = retailMac(sk, data, 1 + trial / 2 % 2);
    const std::string arc = text(4, 16), csu = text(8, 16), prop = text(2 * (random() % 9), 16);
    const std::string useMk = trial / 4 % 2 == 0 ? "mk" : "sk";

    const std::string where = "trial " + std::to_string(trial);
    std::vector<std::string> card = {"-imk", imk, "-pan", pan,
                                     "-psn", psn, "-atc", atc,
                                     "-un",  un,  "-skd", mastercard ? "mastercard" : "emv"};
    if (!mkd.empty()) {
      card.insert(card.end(), {"-mkd", mkd});
    }
    const auto runWith = [&card](std::vector<std::string> words) {
      words.insert(words.end(), card.begin(), card.end());
      return run(words);
    };
    EXPECT_EQ(runWith({"-emvkeys"}), "card master key  " + mk + "  KCV " +
                                         ede(std::string(16, '0'), mk).substr(0, 6) +
                                         "\r\nsession key      " + sk + "  KCV " +
                                         ede(std::string(16, '0'), sk).substr(0, 6) + "\r\n")
        << where << ", PAN " << pan;
    EXPECT_EQ(runWith({"-calcarqc", "-acdata", data, "-acpad", std::to_string(1 + trial / 2 % 2)}),
              arqc)
        << where;
    EXPECT_EQ(
        runWith({"-calcarpc", "-arqc", arqc, "-arc", arc, "-arpcmethod", "1", "-arpckey", useMk}),
        ede(xorHex(arqc, arc + std::string(12, '0')), useMk == "mk" ? mk : sk))
        << where;
    EXPECT_EQ(
        runWith({"-calcarpc", "-arqc", arqc, "-csu", csu, "-propauth", prop, "-arpcmethod", "2"}),
        retailMac(sk, arqc + csu + prop, 2).substr(0, 8))
        << where;
  }
}

using Bytes = std::vector<std::uint8_t>;

Bytes randomBytes(std::mt19937 &random, std::size_t n) {
  Bytes v(n);
  std::generate(v.begin(), v.end(), [&] { return static_cast<std::uint8_t>(random()); });
  return v;
}

// OpenSSL's mode name of kind over in, without padding. OpenSSL 3 keeps single DES out of its
// default provider: DES-CBC and DES-ECB run as three-key Triple-DES under K||K||K, which is DES.
Bytes reference(std::string cipher, Bytes key, const Bytes &iv, const Bytes &in) {
  if (cipher == "DES-CBC" || cipher == "DES-ECB") {
    cipher.insert(3, "-EDE3");
    key.resize(24);
    std::copy_n(key.begin(), 8, key.begin() + 8);
    std::copy_n(key.begin(), 8, key.begin() + 16);
  }
  Bytes out(in.size());
  int size = 0;
  EVP_CIPHER_CTX *context = EVP_CIPHER_CTX_new();
  EVP_EncryptInit_ex(context, EVP_get_cipherbyname(cipher.c_str()), nullptr, key.data(),
                     iv.empty() ? nullptr : iv.data());
  EVP_CIPHER_CTX_set_padding(context, 0);
  EVP_EncryptUpdate(context, out.data(), &size, in.data(), static_cast<int>(in.size()));
  EVP_CIPHER_CTX_free(context);
  return out;
}

// Random keys of every size: random messages of 0 to 4 blocks through ECB and CBC both ways (in
// place for decryption), the CBC-MAC chain, and the CMAC of a random message of 0 to 69 bytes,
// against OpenSSL's modes and CMAC.
TEST(CrossCheck, BlocksAndCmacsMatchTheReference) {
  struct Kind {
    CipherAlgorithm algorithm;
    std::string name; // OpenSSL's, less the mode
    std::size_t keySize;
  };
  const Kind kinds[] = {{CipherAlgorithm::Aes128, "AES-128", 16},
                        {CipherAlgorithm::Aes192, "AES-192", 24},
                        {CipherAlgorithm::Aes256, "AES-256", 32},
                        {CipherAlgorithm::Tdes2, "DES-EDE", 16},
                        {CipherAlgorithm::Tdes3, "DES-EDE3", 24}};
  std::mt19937 random(3819);
  const auto bytes = [&](std::size_t n) { return randomBytes(random, n); };
  for (std::size_t trial = 0; trial < 1000; ++trial) {
    const Kind &kind = kinds[trial % 5];
    const Bytes key = bytes(kind.keySize), message = bytes(random() % 70);
    const Cipher cipher(kind.algorithm, key);
    const std::string where = kind.name + " trial " + std::to_string(trial);
    const Bytes iv = bytes(cipher.blockSize());
    const Bytes plain = bytes(cipher.blockSize() * (trial / 5 % 5));
    Bytes mine(plain.size());
    encryptEcb(cipher, plain, mine);
    EXPECT_EQ(mine, reference(kind.name + "-ECB", key, {}, plain)) << where;
    decryptEcb(cipher, mine, mine);
    EXPECT_EQ(mine, plain) << where;
    encryptCbc(cipher, iv, plain, mine);
    const Bytes chained = reference(kind.name + "-CBC", key, iv, plain);
    EXPECT_EQ(mine, chained) << where;
    decryptCbc(cipher, iv, mine, mine);
    EXPECT_EQ(mine, plain) << where;
    Bytes chain = iv;
    chainCbcMac(cipher, plain, chain);
    EXPECT_EQ(chain, plain.empty()
                         ? iv
                         : Bytes(chained.end() - static_cast<long>(iv.size()), chained.end()))
        << where;

    Bytes theirs(cipher.blockSize());
    const Mac mac = computeCmac(cipher, message);
    EVP_Q_mac(nullptr, "CMAC", nullptr, (kind.name + "-CBC").c_str(), nullptr, key.data(),
              key.size(), message.data(), message.size(), theirs.data(), theirs.size(), nullptr);
    EXPECT_EQ(Bytes(mac.bytes.data(), mac.bytes.data() + mac.size), theirs)
        << where << ", message of " << message.size() << " bytes";
  }
}

// Every hash on a random message of every length from 0 to 300 bytes, fed in two pieces cut at a
// random place into one context begun afresh each time; HMAC under a random key of every length
// from 1 to 256 bytes on a random message of up to 300. Against OpenSSL's digests and HMAC.
TEST(CrossCheck, HashesAndHmacsMatchTheReference) {
  std::mt19937 random(1804);
  for (const HashAlgorithm &algorithm : hashAlgorithms) {
    Bytes mine(algorithm.digestSize), theirs(algorithm.digestSize);
    HashContext context;
    for (std::size_t length = 0; length <= 300; ++length) {
      const Bytes message = randomBytes(random, length);
      const std::span<const std::uint8_t> whole(message);
      const std::size_t cut = random() % (length + 1);
      algorithm.init(context);
      algorithm.update(context, whole.first(cut));
      algorithm.update(context, whole.subspan(cut));
      algorithm.finish(context, mine.data());
      EVP_Digest(message.data(), length, theirs.data(), nullptr,
                 EVP_get_digestbyname(algorithm.name), nullptr);
      EXPECT_EQ(mine, theirs) << algorithm.name << ", " << length << " bytes cut at " << cut;
    }
    for (std::size_t keySize = 1; keySize <= 256; ++keySize) {
      const Bytes key = randomBytes(random, keySize), message = randomBytes(random, random() % 301);
      const Digest mac = computeHmac(algorithm, key, message);
      EVP_Q_mac(nullptr, "HMAC", nullptr, algorithm.name, nullptr, key.data(), key.size(),
                message.data(), message.size(), theirs.data(), theirs.size(), nullptr);
      EXPECT_EQ(Bytes(mac.view().begin(), mac.view().end()), theirs)
          << algorithm.name << ", key of " << keySize << " bytes, message of " << message.size();
    }
  }
}

// The ISO 9797-1 paddings, written out plainly: 3 puts the length in bits first and pads the
// rest to a block, possibly with nothing; 1 pads an empty message to one block of zeros.
Bytes padded(Bytes message, int method, std::size_t n) {
  if (method == 3) {
    Bytes length(n);
    for (std::size_t i = 0, bits = message.size() * 8; i < n; ++i, bits >>= 8) {
      length[n - 1 - i] = static_cast<std::uint8_t>(bits);
    }
    message.insert(message.begin(), length.begin(), length.end());
  }
  if (method == 2) {
    message.push_back(0x80);
  }
  if (message.empty()) {
    message.resize(n);
  }
  message.resize((message.size() + n - 1) / n * n);
  return message;
}

Bytes lastBlock(const Bytes &chained, std::size_t n) {
  return Bytes(chained.end() - static_cast<long>(n), chained.end());
}

// Random keys and messages of every length from 0 to 64 bytes: algorithm 1 under each DES key
// size and algorithm 3, with each padding method, CMAC under every Triple-DES and AES key, HMAC
// over each hash, and messages padded by methods 1 and 2 through ECB and CBC. The references are
// OpenSSL's CBC, ECB, CMAC and HMAC over the padding above.
TEST(CrossCheck, MessageMacsAndEncryptionMatchTheReference) {
  std::mt19937 random(2309);
  const auto bytes = [&](std::size_t n) { return randomBytes(random, n); };
  const MacKey none;
  for (std::size_t length = 0; length <= 64; ++length) {
    const Bytes message = bytes(length);
    const std::string where = std::to_string(length) + " bytes";
    for (const int method : {1, 2, 3}) {
      const auto padding = static_cast<MacPadding>(method);
      for (const auto &[algorithm, name] : {std::pair{CipherAlgorithm::Des, "DES-CBC"},
                                            {CipherAlgorithm::Tdes2, "DES-EDE-CBC"},
                                            {CipherAlgorithm::Tdes3, "DES-EDE3-CBC"}}) {
        const Bytes key = bytes(cipherEntry(algorithm).keySize);
        const Cipher cipher(algorithm, key);
        MacKey macKey = none;
        macKey.cipher = &cipher;
        const Digest mac = computeMessageMac(MacAlgorithm::Iso9797Alg1, macKey, message, padding);
        EXPECT_EQ(Bytes(mac.view().begin(), mac.view().end()),
                  lastBlock(reference(name, key, Bytes(8), padded(message, method, 8)), 8))
            << "iso9797-1 " << name << ", padding " << method << ", " << where;
      }
      const Bytes key = bytes(16);
      const Bytes left(key.begin(), key.begin() + 8), right(key.begin() + 8, key.end());
      const Cipher whole(CipherAlgorithm::Tdes2, key), single(CipherAlgorithm::Des, left);
      const Digest mac = computeMessageMac(MacAlgorithm::Iso9797Alg3, {&whole, &single, nullptr},
                                           message, padding);
      // The chain under K, then the last block deciphered under K' and enciphered under K.
      Bytes last = lastBlock(reference("DES-CBC", left, Bytes(8), padded(message, method, 8)), 8);
      Bytes middle(8), right3 = right;
      right3.insert(right3.end(), right.begin(), right.end());
      right3.insert(right3.end(), right.begin(), right.end());
      int size = 0;
      EVP_CIPHER_CTX *context = EVP_CIPHER_CTX_new();
      EVP_DecryptInit_ex(context, EVP_get_cipherbyname("DES-EDE3-ECB"), nullptr, right3.data(),
                         nullptr);
      EVP_CIPHER_CTX_set_padding(context, 0);
      EVP_DecryptUpdate(context, middle.data(), &size, last.data(), 8);
      EVP_CIPHER_CTX_free(context);
      EXPECT_EQ(Bytes(mac.view().begin(), mac.view().end()), reference("DES-ECB", left, {}, middle))
          << "iso9797-3, padding " << method << ", " << where;
    }
    for (const auto &[algorithm, name] : {std::pair{CipherAlgorithm::Tdes2, "DES-EDE-CBC"},
                                          {CipherAlgorithm::Tdes3, "DES-EDE3-CBC"},
                                          {CipherAlgorithm::Aes128, "AES-128-CBC"},
                                          {CipherAlgorithm::Aes192, "AES-192-CBC"},
                                          {CipherAlgorithm::Aes256, "AES-256-CBC"}}) {
      const Bytes key = bytes(cipherEntry(algorithm).keySize);
      const Cipher cipher(algorithm, key);
      MacKey macKey = none;
      macKey.cipher = &cipher;
      const Digest mac = computeMessageMac(MacAlgorithm::Cmac, macKey, message, MacPadding::Zeros);
      Bytes theirs(cipher.blockSize());
      EVP_Q_mac(nullptr, "CMAC", nullptr, name, nullptr, key.data(), key.size(), message.data(),
                message.size(), theirs.data(), theirs.size(), nullptr);
      EXPECT_EQ(Bytes(mac.view().begin(), mac.view().end()), theirs)
          << "cmac " << name << ", " << where;

      // Encryption: the message padded by method 1 or 2, in both modes, and deciphered back.
      const std::string mode(name, std::string_view(name).size() - 4);
      const std::size_t n = cipher.blockSize();
      const Bytes iv = bytes(n);
      for (const int method : {1, 2}) {
        const Bytes plain = padded(message, method, n);
        for (const BlockMode blockMode : {BlockMode::Ecb, BlockMode::Cbc}) {
          Bytes mine(plain.size());
          encryptMessage(cipher, blockMode, iv, message, static_cast<DataPadding>(method), mine);
          EXPECT_EQ(mine, blockMode == BlockMode::Ecb ? reference(mode + "-ECB", key, {}, plain)
                                                      : reference(name, key, iv, plain))
              << name << (blockMode == BlockMode::Ecb ? " ECB" : " CBC") << ", padding " << method
              << ", " << where;
          decryptMessage(cipher, blockMode, iv, mine, mine);
          EXPECT_EQ(mine, plain) << name << ", deciphered, " << where;
        }
      }
    }
    for (const auto &[algorithm, hash] : {std::pair{MacAlgorithm::HmacSha224, &sha224},
                                          {MacAlgorithm::HmacSha256, &sha256},
                                          {MacAlgorithm::HmacSha384, &sha384},
                                          {MacAlgorithm::HmacSha512, &sha512}}) {
      const Bytes key = bytes(1 + random() % 200);
      const HmacKey hmac(*hash, key);
      MacKey macKey = none;
      macKey.hmac = &hmac;
      const Digest mac = computeMessageMac(algorithm, macKey, message, MacPadding::Zeros);
      Bytes theirs(hash->digestSize);
      EVP_Q_mac(nullptr, "HMAC", nullptr, hash->name, nullptr, key.data(), key.size(),
                message.data(), message.size(), theirs.data(), theirs.size(), nullptr);
      EXPECT_EQ(Bytes(mac.view().begin(), mac.view().end()), theirs)
          << "hmac " << hash->name << ", " << where;
    }
  }
}

} // namespace
} // namespace tolvane
