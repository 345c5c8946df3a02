// The card-number commands: the Luhn verdict, the repaired check digit, and the card
// verification values.

#include <algorithm>
#include <array>

#include "base/digits.hpp"
#include "card/cvv.hpp"
#include "card/luhn.hpp"
#include "cli/commands.hpp"
#include "cli/errors.hpp"

namespace tolvane {

namespace {

// The PAN, expiry date and service code fill at most the 32 digits of the two blocks.
constexpr std::size_t kLongestCvvPan = 32 - 4 - 3;

void checkCvv(const CommandLine &cl, bool verifying) {
  checkPan(cl);
  if (cl.pan.empty() || cl.expiry.empty() || cl.serviceCode.empty() || !cl.key(Role::Cvk) ||
      (verifying && cl.cvv.empty())) {
    throw excCL_RequiredParameterMissing(
        verifying
            ? u"verifycvv requires -pan, -expiry, -servicecode, -cvv, and either of -cvk or "
              u"-cvkfile"
            : u"calccvv requires -pan, -expiry, -servicecode, and either of -cvk or -cvkfile");
  }
  // Only a PAN let through by -suppressluhn can fail this.
  if (cl.pan.size() > kLongestCvvPan || !allDecimal(cl.pan)) {
    throw excCL_MalformedParameter(u"PAN must be 25 digits or fewer to form the CVV field");
  }
}

// The slot holds A||B (or A alone); the first step of the CVV is single DES under key A.
Cipher keyA(const KeySlot &cvk) { return Cipher(CipherAlgorithm::Des, cvk.bytes().first(8)); }

} // namespace

void checkVerifyPan(const CommandLine &cl) {
  if (cl.pan.empty()) {
    throw excCL_RequiredParameterMissing(u"verifypan requires -pan");
  }
}

void answerVerifyPan(const CommandLine &cl, Text &answer) {
  answer.push_back(luhnCheck(cl.pan) ? u'Y' : u'N');
}

void checkFixPan(const CommandLine &cl) {
  if (cl.pan.empty()) {
    throw excCL_RequiredParameterMissing(u"fixpan requires -pan");
  }
  if (cl.pan.size() < 2) {
    throw excCL_MalformedParameter(u"fixpan requires at least two pan digits");
  }
}

// Whatever the last character was, it is replaced by the right check digit.
void answerFixPan(const CommandLine &cl, Text &answer) {
  const std::u16string_view kept = cl.pan.substr(0, cl.pan.size() - 1);
  answer += kept;
  answer.push_back(static_cast<char16_t>(u'0' + luhnCheckDigit(kept)));
}

void checkCalcCvv(const CommandLine &cl) { checkCvv(cl, false); }

void answerCalcCvv(const CommandLine &cl, Text &answer) {
  const KeySlot &cvk = *cl.key(Role::Cvk);
  const Secret<CvvDigits> cvv =
      computeCvv(cl.pan, cl.expiry, cl.serviceCode, keyA(cvk), cvk.cipher());
  for (const std::uint8_t digit : *cvv) {
    answer.push_back(static_cast<char16_t>(u'0' + digit));
  }
}

void checkVerifyCvv(const CommandLine &cl) { checkCvv(cl, true); }

void answerVerifyCvv(const CommandLine &cl, Text &answer) {
  const KeySlot &cvk = *cl.key(Role::Cvk);
  answer.push_back(
      verifyCvv(cl.pan, cl.expiry, cl.serviceCode, cl.cvv, keyA(cvk), cvk.cipher()) ? u'Y' : u'N');
}

} // namespace tolvane
