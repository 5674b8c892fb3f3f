#pragma once
// Helpers shared by the tests.

#include "foundation/Error.h"
#include "foundation/UserInterface.h"

#include <QImage>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace cv::test {

// The pixel at (x, y) as a 0x00BBGGRR colour.
inline uint32_t PixelColor(const QImage& image, int x, int y) {
  const QRgb pixel = image.pixel(x, y);
  return static_cast<uint32_t>(qRed(pixel) | qGreen(pixel) << 8 | qBlue(pixel) << 16);
}

// The sum of the channel differences of two 0x00BBGGRR colours.
inline int ColorDistance(uint32_t a, uint32_t b) {
  int sum = 0;
  for (int shift = 0; shift <= 16; shift += 8)
    sum += std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
  return sum;
}

// The private directory the test program runs in (HOME, XDG_*, CORVANTIDE_HOME below it).
const std::string& PrivateRoot();

// A fresh directory under the private root, removed when the object ends.
class TTempDir {
public:
  TTempDir() {
    std::string pattern = PrivateRoot() + "/t-XXXXXX";
    if (::mkdtemp(pattern.data())) Path = pattern;
  }
  ~TTempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(Path, ignored);
  }
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;
  std::string Path;
};

// Records every window the core asks for, answers from a script, and is
// installed for its lifetime.
class TRecordingUserInterface : public TUserInterface {
public:
  struct TErrorShow {
    std::string Caption, Description, Report;
  };
  struct TBox {
    std::string Caption, Text;
    unsigned Flags;
  };

  TRecordingUserInterface() : Previous(SetUserInterface(this)) {}
  ~TRecordingUserInterface() override { SetUserInterface(Previous); }

  bool ExecuteErrorDialog(const std::string& caption, const std::string& description,
                          bool* noMoreErrors, const std::string& report) override {
    Errors.push_back({caption, description, report});
    if (noMoreErrors) *noMoreErrors = ErrorAnswerNoMoreErrors;
    return ErrorAnswerContinue;
  }
  int ErrorDialogRecursionCount() const override { return RecursionCount; }
  int ShowMessageBox(const std::string& caption, const std::string& text, unsigned flags) override {
    Boxes.push_back({caption, text, flags});
    return BoxAnswer;
  }
  void Beep() override { ++Beeps; }

  std::vector<TErrorShow> Errors;
  std::vector<TBox> Boxes;
  bool ErrorAnswerContinue = true;
  bool ErrorAnswerNoMoreErrors = false;
  int BoxAnswer = mrBoxOk;
  int RecursionCount = 0;
  int Beeps = 0;

private:
  TUserInterface* Previous;
};

} // namespace cv::test
