#pragma once
// An independent reference for the PVV and format-0 PIN blocks: plain string handling on hex
// text, with OpenSSL's DES as the cipher. Written apart from the product code on purpose, so
// that both agreeing means something.

// OpenSSL 3 marks the DES_* functions deprecated; they are exactly the reference wanted here.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/des.h>

#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

namespace reference {

using Bytes = std::vector<unsigned char>;

inline Bytes fromHex(const std::string &hex) {
  Bytes bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<unsigned char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

inline std::string toHex(const unsigned char *bytes) {
  std::string s;
  char pair[3];
  for (int i = 0; i < 8; ++i) {
    std::snprintf(pair, sizeof pair, "%02X", bytes[i]);
    s += pair;
  }
  return s;
}

// Encrypts one block (hex) under K1||K2||K3, K3 being K1 for a 16-byte key.
inline std::string ede(const std::string &blockHex, const Bytes &key) {
  DES_key_schedule s[3];
  for (int i = 0; i < 3; ++i) {
    DES_cblock k;
    const std::size_t at = i == 2 && key.size() == 16 ? 0 : 8 * static_cast<std::size_t>(i);
    std::copy(key.begin() + static_cast<long>(at), key.begin() + static_cast<long>(at + 8), k);
    DES_set_key_unchecked(&k, &s[i]);
  }
  DES_cblock in, out;
  const Bytes block = fromHex(blockHex);
  std::copy(block.begin(), block.end(), in);
  DES_ecb3_encrypt(&in, &out, &s[0], &s[1], &s[2], DES_ENCRYPT);
  return toHex(out);
}

// pan: 13..19 digits; pin: at least 4 digits; key: 16 bytes or more, of which 16 are used.
inline std::string pvv(const std::string &pan, int pvki, const std::string &pin, Bytes key) {
  key.resize(16);
  const std::string cipher =
      ede(pan.substr(pan.size() - 12, 11) + std::to_string(pvki) + pin.substr(0, 4), key);
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

// pin: 4..14 digits; pan: 13..19 digits; key: empty (clear block), 16 or 24 bytes.
inline std::string pinBlock(const std::string &pin, const std::string &pan, const Bytes &key) {
  std::string field = std::string("0") + "0123456789ABCDE"[pin.size()] + pin;
  field.resize(16, 'F');
  Bytes clear = fromHex(field);
  const Bytes panField = fromHex("0000" + pan.substr(pan.size() - 13, 12));
  for (std::size_t i = 0; i < 8; ++i) {
    clear[i] ^= panField[i];
  }
  return key.empty() ? toHex(clear.data()) : ede(toHex(clear.data()), key);
}

} // namespace reference
