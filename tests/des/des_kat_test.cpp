// Known-answer tests of the DES engine against published vectors.

#include "des/des.hpp"
#include "tests/des/des_test_support.hpp"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace tolvane::test {
namespace {

// Enciphers plaintext and deciphers ciphertext under schedule, expecting the other one back.
void expectPair(const DesKeySchedule &schedule, std::uint64_t plaintext, std::uint64_t ciphertext,
                const std::string &where) {
  const std::uint64_t encrypted = run(encryptBlock, schedule, plaintext);
  const std::uint64_t decrypted = run(decryptBlock, schedule, ciphertext);
  EXPECT_EQ(encrypted, ciphertext)
      << where << ": encrypt gave " << hex(encrypted) << ", want " << hex(ciphertext);
  EXPECT_EQ(decrypted, plaintext) << where << ": decrypt gave " << hex(decrypted) << ", want "
                                  << hex(plaintext);
}

struct SingleDesVector {
  std::uint64_t key;
  std::uint64_t plaintext;
  std::uint64_t ciphertext;
};

// Single DES; every row was also confirmed with OpenSSL libcrypto.
constexpr SingleDesVector singleDesVectors[] = {
    // The worked example of DES reproduced in many textbooks and tutorials.
    {0x133457799BBCDFF1, 0x0123456789ABCDEF, 0x85E813540F0AB405},
    // The ECB example of FIPS 81 ("Now is t").
    {0x0123456789ABCDEF, 0x4E6F772069732074, 0x3FA40E8A984D4815},
    // NIST SP 800-17, variable plaintext test: key of zero bits, one plaintext bit set.
    {0x0101010101010101, 0x8000000000000000, 0x95F8A5E5DD31D900},
    {0x0101010101010101, 0x4000000000000000, 0xDD7F121CA5015619},
    {0x0101010101010101, 0x2000000000000000, 0x2E8653104F3834EA},
    {0x0101010101010101, 0x1000000000000000, 0x4BD388FF6CD81D4F},
    {0x0101010101010101, 0x0800000000000000, 0x20B9E767B2FB1456},
    {0x0101010101010101, 0x0080000000000000, 0xD9031B0271BD5A0A},
    {0x0101010101010101, 0x0040000000000000, 0x424250B37C3DD951},
    {0x0101010101010101, 0x0000000000000001, 0x166B40B44ABA4BD6},
    // NIST SP 800-17, variable key test: zero plaintext, one key bit set, odd parity.
    {0x8001010101010101, 0x0000000000000000, 0x95A8D72813DAA94D},
    {0x4001010101010101, 0x0000000000000000, 0x0EEC1487DD8C26D5},
    {0x2001010101010101, 0x0000000000000000, 0x7AD16FFB79C45926},
    {0x1001010101010101, 0x0000000000000000, 0xD3746294CA6A6CF3},
    {0x0801010101010101, 0x0000000000000000, 0x809F5F873C1FD761},
    {0x0180010101010101, 0x0000000000000000, 0x2055123350C00858},
    {0x0140010101010101, 0x0000000000000000, 0xDF3B99D6577397C8},
    {0x0101010101010102, 0x0000000000000000, 0x869EFD7F9F265A09},
    // NIST SP 800-17, permutation operation test.
    {0x1046913489980131, 0x0000000000000000, 0x88D55E54F54C97B4},
    {0x1007103489988020, 0x0000000000000000, 0x0C0CC00C83EA48FD},
    {0x10071034C8980120, 0x0000000000000000, 0x83BC8EF3A6570183},
    {0x1046103489988020, 0x0000000000000000, 0xDF725DCAD94EA2E9},
    // NIST SP 800-17, substitution table test.
    {0x7CA110454A1A6E57, 0x01A1D6D039776742, 0x690F5B0D9A26939B},
    {0x0131D9619DC1376E, 0x5CD54CA83DEF57DA, 0x7A389D10354BD271},
    {0x07A1133E4A0B2686, 0x0248D43806F67172, 0x868EBB51CAB4599A},
    {0x3849674C2602319E, 0x51454B582DDF440A, 0x7178876E01F19B2A},
    {0x04B915BA43FEB5B6, 0x42FD443059577FA2, 0xAF37FB421F8C4095},
    {0x0113B970FD34F2CE, 0x059B5E0851CF143A, 0x86A560F10EC6D85B},
    {0x0170F175468FB5E6, 0x0756D8E0774761D2, 0x0CD3DA020021DC09},
    {0x43297FAD38E373FE, 0x762514B829BF486A, 0xEA676B2CB7DB2B7A},
    {0x07A7137045DA2A16, 0x3BDD119049372802, 0xDFD64A815CAF1A0F},
    {0x04689104C2FD3B2F, 0x26955F6835AF609A, 0x5C513C9C4886C088},
};

// A single DES key K runs as K||K or K||K||K: EDE with equal keys is single DES.
TEST(DesKnownAnswer, SingleDesAsRepeatedKey) {
  for (std::size_t row = 0; row < std::size(singleDesVectors); ++row) {
    const SingleDesVector &v = singleDesVectors[row];
    const std::string where = "row " + std::to_string(row) + " key " + hex(v.key);
    expectPair(doubleSchedule(v.key, v.key), v.plaintext, v.ciphertext, where + " as K||K");
    expectPair(tripleSchedule(v.key, v.key, v.key), v.plaintext, v.ciphertext,
               where + " as K||K||K");
  }
}

struct TripleDesVector {
  std::uint64_t k1;
  std::uint64_t k2;
  std::uint64_t k3;
  std::uint64_t plaintext;
  std::uint64_t ciphertext;
};

constexpr std::uint64_t sp80067Key1 = 0x0123456789ABCDEF;
constexpr std::uint64_t sp80067Key2 = 0x23456789ABCDEF01;
constexpr std::uint64_t sp80067Key3 = 0x456789ABCDEF0123;

constexpr TripleDesVector tripleDesVectors[] = {
    // NIST SP 800-67, the three-key (keying option 1) ECB example; the plaintext is
    // "The qufck brown fox jump" as printed there.
    {sp80067Key1, sp80067Key2, sp80067Key3, 0x5468652071756663, 0xA826FD8CE53B855F},
    {sp80067Key1, sp80067Key2, sp80067Key3, 0x6B2062726F776E20, 0xCCE21C8112256FE6},
    {sp80067Key1, sp80067Key2, sp80067Key3, 0x666F78206A756D70, 0x68D5C05DD9B6B900},
    // The same plaintext under two keys (K3 = K1); answers computed with OpenSSL libcrypto.
    {sp80067Key1, sp80067Key2, sp80067Key1, 0x5468652071756663, 0xC44862F70CF2FBDC},
    {sp80067Key1, sp80067Key2, sp80067Key1, 0x6B2062726F776E20, 0x9077D0909FA91B88},
    {sp80067Key1, sp80067Key2, sp80067Key1, 0x666F78206A756D70, 0x4CABD61FC58E0CBB},
};

// Rows with K3 = K1 also run through the double-length builder.
TEST(DesKnownAnswer, TripleDes) {
  for (std::size_t row = 0; row < std::size(tripleDesVectors); ++row) {
    const TripleDesVector &v = tripleDesVectors[row];
    const std::string where = "row " + std::to_string(row);
    expectPair(tripleSchedule(v.k1, v.k2, v.k3), v.plaintext, v.ciphertext, where + " triple");
    if (v.k3 == v.k1) {
      expectPair(doubleSchedule(v.k1, v.k2), v.plaintext, v.ciphertext, where + " double");
    }
  }
}

} // namespace
} // namespace tolvane::test
