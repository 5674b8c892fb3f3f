#pragma once
// Random passwords from a small alphabet that reads and types easily, drawn
// from the source of secrets (the operating system's generator).

#include <string>
#include <string_view>

namespace cv {

// 16 consonants, 5 vowels, 10 digits; each character is equally likely.
inline constexpr std::string_view PasswordAlphabet = "tmbcrvzgjpdhnlfsaoieu0123456789";
inline constexpr int MinPasswordLength = 10;
inline constexpr int MaxPasswordLength = 50;

// `length` characters of the alphabet; fails with "Invalid password length."
// (parameter: the length) outside 10 ... 50 and gives an empty text.
std::string GeneratePassword(int length);

// The dialog's texts.
extern const char* const PasswordEditHint;
extern const char* const PasswordClearedNote;
// The hint of the button that makes `length` (10, 20 or 50) characters.
std::string GeneratePasswordHint(int length);

} // namespace cv
