#pragma once
// A launcher that records what would start instead of starting it.

#include "fileops/Run.h"

#include <string>
#include <vector>

namespace cv::test {

class TRecordingLauncher : public TLauncher {
public:
  TRecordingLauncher() : Previous(SetLauncher(this)) {}
  ~TRecordingLauncher() override { SetLauncher(Previous); }
  struct TStart {
    std::string Program;
    std::vector<std::string> Arguments;
    std::string WorkingDirectory;
  };
  bool StartDetached(const std::string& program, const std::vector<std::string>& arguments,
                     const std::string& workingDirectory, int&) override {
    Started.push_back({program, arguments, workingDirectory});
    return true;
  }
  bool OpenDefault(const std::string& title, std::string& reason) override {
    Opened.push_back(title);
    reason = "nothing opens it";
    return OpenWorks;
  }
  int RunAndWait(const std::string& program, const std::vector<std::string>& arguments,
                 int) override {
    std::vector<std::string> command{program};
    command.insert(command.end(), arguments.begin(), arguments.end());
    Waited.push_back(command);
    return 0;
  }

  std::vector<TStart> Started;
  std::vector<std::string> Opened;
  std::vector<std::vector<std::string>> Waited;
  bool OpenWorks = true;

private:
  TLauncher* Previous;
};

} // namespace cv::test
