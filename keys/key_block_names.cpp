#include "keys/key_block_names.hpp"

namespace tolvane {

namespace {

constexpr CodeName kUsages[] = {
    {u"B0", u"BDK base derivation key"},
    {u"B1", u"initial DUKPT key"},
    {u"B2", u"base key variant key"},
    {u"B3", u"key derivation key (non-DUKPT)"},
    {u"C0", u"card verification key"},
    {u"D0", u"data encryption"},
    {u"D1", u"asymmetric data encryption"},
    {u"D2", u"data encryption, decimalisation table"},
    {u"D3", u"data encryption, sensitive data"},
    {u"E0", u"EMV issuer master key, application cryptograms"},
    {u"E1", u"EMV issuer master key, secure messaging for confidentiality"},
    {u"E2", u"EMV issuer master key, secure messaging for integrity"},
    {u"E3", u"EMV issuer master key, data authentication code"},
    {u"E4", u"EMV issuer master key, dynamic numbers"},
    {u"E5", u"EMV issuer master key, card personalisation"},
    {u"E6", u"EMV issuer master key, other"},
    {u"E7", u"EMV master personalisation key"},
    {u"I0", u"initialisation vector"},
    {u"K0", u"key encryption or wrapping"},
    {u"K1", u"key block protection key"},
    {u"K2", u"asymmetric key for key transport"},
    {u"K3", u"asymmetric key for key agreement"},
    {u"K4", u"key block protection key, ISO 20038"},
    {u"M0", u"MAC, ISO 16609 algorithm 1"},
    {u"M1", u"MAC, ISO 9797-1 algorithm 1"},
    {u"M2", u"MAC, ISO 9797-1 algorithm 2"},
    {u"M3", u"MAC, ISO 9797-1 algorithm 3"},
    {u"M4", u"MAC, ISO 9797-1 algorithm 4"},
    {u"M5", u"MAC, ISO 9797-1 algorithm 5"},
    {u"M6", u"MAC, ISO 9797-1 algorithm 5 (CMAC)"},
    {u"M7", u"HMAC"},
    {u"M8", u"MAC, ISO 9797-1 algorithm 6"},
    {u"P0", u"PIN encryption"},
    {u"P1", u"PIN generation"},
    {u"S0", u"asymmetric key for digital signature"},
    {u"S1", u"asymmetric key, certification authority"},
    {u"S2", u"asymmetric key, other"},
    {u"V0", u"PIN verification, other algorithm"},
    {u"V1", u"PIN verification, IBM 3624"},
    {u"V2", u"PIN verification, Visa PVV"},
    {u"V3", u"PIN verification, X9.132 algorithm 1"},
    {u"V4", u"PIN verification, X9.132 algorithm 2"},
    {u"V5", u"PIN verification, X9.132 algorithm 3"},
};

constexpr CodeName kModes[] = {
    {u"B", u"encrypt and decrypt, wrap and unwrap"},
    {u"C", u"generate and verify"},
    {u"D", u"decrypt or unwrap only"},
    {u"E", u"encrypt or wrap only"},
    {u"G", u"generate only"},
    {u"N", u"no special restrictions"},
    {u"S", u"signature only"},
    {u"T", u"sign and decrypt"},
    {u"V", u"verify only"},
    {u"X", u"derive other keys"},
    {u"Y", u"create key variants"},
};

// The algorithms of keys this program reads from blocks.
constexpr CodeName kAlgorithms[] = {
    {u"A", u"AES"}, {u"D", u"DES"}, {u"H", u"HMAC"}, {u"T", u"Triple-DES"}};

constexpr CodeName kExportability[] = {
    {u"E", u"exportable under a trusted key"},
    {u"N", u"non-exportable"},
    {u"S", u"sensitive, exportable under an untrusted key"},
};

} // namespace

std::span<const CodeName> keyUsageNames() { return kUsages; }
std::span<const CodeName> modeOfUseNames() { return kModes; }
std::span<const CodeName> keyAlgorithmNames() { return kAlgorithms; }
std::span<const CodeName> exportabilityNames() { return kExportability; }

std::u16string_view nameOf(std::span<const CodeName> names, std::u16string_view code) {
  for (const CodeName &entry : names) {
    if (entry.code() == code) {
      return entry.name();
    }
  }
  return !code.empty() && code[0] >= u'0' && code[0] <= u'9' ? u"proprietary" : u"unknown";
}

} // namespace tolvane
