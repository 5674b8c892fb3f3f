#include "security/PasswordGenerator.h"

#include "foundation/Guard.h"
#include "foundation/Random.h"

namespace cv {

const char* const PasswordEditHint =
    "Password created from random characters. Each character may contain the following: "
    "consonant (16), vowel (5), digit (10); the probability to randomly generate each character "
    "is 1 in 31. WARNING: make sure you save, in an encrypted file, each password you plan to "
    "use!";

const char* const PasswordClearedNote =
    "The edit-box is cleared when you close the dialog, and so the password can't be retrieved "
    "from the program anymore.";

std::string GeneratePasswordHint(int length) {
  const char* probability = length <= 10 ? "1e-15" : length <= 20 ? "1e-30" : "1e-74";
  return "Generate a new password from " + std::to_string(length) +
         " characters (the guess probability is around " + probability + ").";
}

std::string GeneratePassword(int length) {
  TGuard guard("GeneratePassword");
  return guard.Run(std::string(), [&] {
    if (length < MinPasswordLength || length > MaxPasswordLength)
      guard.Raise("Invalid password length.", std::to_string(length));
    TRandomSource& source = SecretRandom();
    std::string password(static_cast<size_t>(length), ' ');
    // Unbiased: a plain remainder of 32 bits would favour the first characters.
    for (char& c : password)
      c = PasswordAlphabet[source.NextBelow(static_cast<uint32_t>(PasswordAlphabet.size()))];
    return password;
  });
}

} // namespace cv
