#pragma once
// An independent reference for the PVV and format-0 PIN blocks: plain string handling on
// hex text, with OpenSSL's DES as the cipher. Written apart from the product code on purpose,
// so that both agreeing means something.

// OpenSSL 3 marks the DES_* functions deprecated; they are exactly the reference wanted here.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/des.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace reference {

inline std::string toHex(const unsigned char *bytes, std::size_t n) {
  std::string s;
  char pair[3];
  for (std::size_t i = 0; i < n; ++i) {
    std::snprintf(pair, sizeof pair, "%02X", bytes[i]);
    s += pair;
  }
  return s;
}

inline std::vector<unsigned char> fromHex(const std::string &hex) {
  std::vector<unsigned char> bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<unsigned char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

// EDE under K1||K2||K3 (K3 = K1 for a 16-byte key), one block, either direction.
inline std::string ede(const std::string &blockHex, const std::vector<unsigned char> &key,
                       bool encrypt) {
  DES_cblock k1, k2, k3;
  std::copy(key.begin(), key.begin() + 8, k1);
  std::copy(key.begin() + 8, key.begin() + 16, k2);
  std::copy(key.begin() + (key.size() == 24 ? 16 : 0), key.begin() + (key.size() == 24 ? 24 : 8),
            k3);
  DES_key_schedule s1, s2, s3;
  DES_set_key_unchecked(&k1, &s1);
  DES_set_key_unchecked(&k2, &s2);
  DES_set_key_unchecked(&k3, &s3);
  auto in = fromHex(blockHex);
  DES_cblock input, output;
  std::copy(in.begin(), in.end(), input);
  DES_ecb3_encrypt(&input, &output, &s1, &s2, &s3, encrypt ? DES_ENCRYPT : DES_DECRYPT);
  return toHex(output, 8);
}

inline std::string xorHex(const std::string &a, const std::string &b) {
  static const char *digits = "0123456789ABCDEF";
  std::string out;
  for (std::size_t i = 0; i < a.size(); ++i) {
    out += digits[std::stoi(a.substr(i, 1), nullptr, 16) ^ std::stoi(b.substr(i, 1), nullptr, 16)];
  }
  return out;
}

// pan: 13..19 digits; pin: at least 4 digits; key: 16 or more bytes, of which 16 are used.
inline std::string pvv(const std::string &pan, int pvki, const std::string &pin,
                       std::vector<unsigned char> key) {
  key.resize(16);
  const std::string input = pan.substr(pan.size() - 12, 11) + std::to_string(pvki) + pin.substr(0, 4);
  const std::string cipher = ede(input, key, true);
  std::string digits;
  for (char c : cipher) {
    if (std::isdigit(static_cast<unsigned char>(c))) {
      digits += c;
    }
  }
  for (char c : cipher) {
    if (!std::isdigit(static_cast<unsigned char>(c))) {
      digits += static_cast<char>('0' + (c - 'A'));
    }
  }
  return digits.substr(0, 4);
}

// pin: 4..14 digits; pan: 13..19 digits; key: empty, 16 or 24 bytes.
inline std::string pinBlock(const std::string &pin, const std::string &pan,
                            const std::vector<unsigned char> &key) {
  std::string field = "0";
  field += "0123456789ABCDE"[pin.size()];
  field += pin;
  field.resize(16, 'F');
  const std::string panField = "0000" + pan.substr(pan.size() - 13, 12);
  const std::string clear = xorHex(field, panField);
  return key.empty() ? clear : ede(clear, key, true);
}

} // namespace reference
