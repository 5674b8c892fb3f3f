#pragma once
// Shared set-up of the fuzz targets: windows the core asks for are counted,
// never shown, and files go to a private directory.

#include "foundation/UserInterface.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace cv::fuzz {

class TSilentUserInterface : public TUserInterface {
public:
  bool ExecuteErrorDialog(const std::string&, const std::string&, bool* noMoreErrors,
                          const std::string&) override {
    if (noMoreErrors) *noMoreErrors = false;
    ++Errors;
    return true;
  }
  int ErrorDialogRecursionCount() const override { return 0; }
  int ShowMessageBox(const std::string&, const std::string&, unsigned) override { return 1; }
  void Beep() override {}
  long Errors = 0;
};

// Installs the silent host once and returns a private directory (trailing "/").
inline const std::string& FuzzDirectory() {
  static const std::string directory = [] {
    static TSilentUserInterface ui;
    SetUserInterface(&ui);
    // Memory-backed when possible: saves sync their files.
    static std::string pattern = (::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") +
                                 std::string("/corvantide-fuzz-XXXXXX");
    if (!::mkdtemp(pattern.data())) std::abort();
    ::setenv("CORVANTIDE_HOME", pattern.c_str(), 1);
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(pattern, ignored);
    });
    return pattern + "/";
  }();
  return directory;
}

} // namespace cv::fuzz
