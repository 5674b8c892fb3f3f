#pragma once
// Hiding a file in a picture and getting it back: the carrier is decoded
// into 32-bit ARGB pixels, the encrypted block goes into the lowest bits of
// the usable pixels (StegFormat.h) and the result is saved as a PNG beside
// the carrier. The automatic mode lets the viewer and the streams editor
// read and write text files kept in ".png" carriers.

#include <QImage>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace cv {

inline constexpr std::string_view StegAlgorithmNames[] = {"QTV3"};
inline constexpr int StegIterationChoices[] = {100, 1000, 10000, 100000, 1000000};
inline constexpr const char* StegDefaultAlgorithm = "QTV3";
inline constexpr int StegDefaultIterations = 1000;
inline constexpr const char* AutoStegPictureName = "-Corvantide_AutoStegPicture.bmp";
inline constexpr const char* StegNoisePictureName = "-Corvantide_StegNoisePicture.bmp";

// "QTV1" -> 1, "QTV2" -> 2, "QTV3" -> 3, anything else -> -1.
int StegAlgorithmNumber(std::string_view name);

struct TStegParameters {
  std::string Algorithm = StegDefaultAlgorithm;
  int Iterations = StegDefaultIterations;
  std::string Password;
};

// The one place that decodes a carrier: a regular file only, 32-bit ARGB
// without premultiplication. "Failed to load picture." for an empty one.
bool LoadStegPicture(const std::string& title, QImage& image);

struct TStegInRequest {
  std::string Carrier;
  // Interactive: the file to hide.
  std::string Source;
  // Automatic: the hidden file's name and content.
  bool Automatic = false;
  std::string Name;
  std::string_view Data;
};

struct TStegInResult {
  std::string Saved; // the PNG written
  int Integrity = 0;
  int64_t SpaceBits = 0;
  int64_t RequiredBits = 0;
  std::string Report; // the interactive form's message
};

// Hides the file and saves "<carrier name>.png" beside the carrier, after
// reading it back and checking it; a picture that exists there is replaced
// only after that check (its time stamp kept). A declined overwrite question
// is a failure (ECANCELED) that shows nothing.
bool StegIn(const TStegParameters& parameters, const TStegInRequest& request,
            TStegInResult& result);

struct TStegOutRequest {
  std::string Carrier;
  // Interactive: the hidden file goes into this directory.
  std::string Directory;
  bool Decrypt = true;
  bool Automatic = false;
  // Automatic: a hidden ".txt" without zero bytes comes back as text.
  bool WantText = false;
};

struct TStegOutResult {
  std::string Name;
  int64_t Size = 0;
  bool IsText = false;
  std::string Text;
  std::string OutTitle; // the file written, if any
  int Integrity = 0;
  std::vector<uint8_t> Block; // the whole recovered block
};

// True when the carrier held a file. The automatic form returns false
// without a failure when the password does not open the carrier.
bool StegOut(const TStegParameters& parameters, const TStegOutRequest& request,
             TStegOutResult& result);

// The lowest bit of each channel made visible (128 or 0), saved as BMP in
// the temporary directory; gives its title.
std::string ViewStegNoise(const std::string& title);

// Tests: runs on the written temporary picture before it is read back.
std::function<void(int fd)> SetStegSaveProbe(std::function<void(int fd)> probe);

// The private (0700) directory for decrypted files, made on first use and
// removed with its content when the program ends.
std::string StegPrivateDirectory();

// The dialog's state for the automatic mode, which lives for the program.
class TStegSession {
public:
  TStegParameters Parameters;
  std::string Confirmation;
  bool AutoActive = false;
  bool NoDecryption = false;
  // Shows the dialog in its "Confirm password" form; false when cancelled.
  std::function<bool()> ConfirmPassword;

  // For the viewer and the streams editor: true with the hidden file when
  // the ".png" carrier opens with the password. A text file comes back in
  // `text` when `wantText`; a picture is written to the private directory
  // and its title given in `outTitle`.
  bool AutoStegOut(const std::string& carrier, bool wantText, std::string& text, std::string& name,
                   std::string* outTitle = nullptr);
  // For the streams editor: writes the text back into the carrier.
  bool AutoStegIn(const std::string& carrier, const std::string& name, std::string_view data);
};

} // namespace cv
