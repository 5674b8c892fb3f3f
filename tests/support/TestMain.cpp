// Test entry: every test program runs with HOME, XDG_* and CORVANTIDE_HOME
// pointed at a private temporary directory, so no test touches a real home.

#include "TestSupport.h"

#include "foundation/OffThread.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#if CORVANTIDE_TEST_GUI
#include "foundation/QtUserInterface.h"
#else
#include <QCoreApplication>
#endif

namespace {

std::string MakePrivateRoot() {
  std::string pattern = (std::filesystem::temp_directory_path() / "corvantide-test-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) std::abort();
  return pattern;
}

// Each test starts on an empty data root, as it does when ctest runs it in a
// process of its own: a window test would otherwise load the boards that an
// earlier test saved, pointing at that test's deleted directories.
class TFreshDataRoot : public ::testing::EmptyTestEventListener {
public:
  explicit TFreshDataRoot(std::string dataRoot) : DataRoot(std::move(dataRoot)) {}
  void OnTestStart(const ::testing::TestInfo&) override {
    std::error_code ignored;
    std::filesystem::remove_all(DataRoot, ignored);
    std::filesystem::create_directories(DataRoot, ignored);
  }

private:
  std::string DataRoot;
};

} // namespace

namespace cv::test {

const std::string& PrivateRoot() {
  static const std::string root = MakePrivateRoot();
  return root;
}

} // namespace cv::test

int main(int argc, char** argv) {
  const std::string& root = cv::test::PrivateRoot();
  for (const char* sub : {"home", "config", "data", "cache", "runtime", "corvantide"})
    std::filesystem::create_directories(root + "/" + sub);
  std::filesystem::permissions(root + "/runtime", std::filesystem::perms::owner_all);
  ::setenv("HOME", (root + "/home").c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
  ::setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
  ::setenv("XDG_CACHE_HOME", (root + "/cache").c_str(), 1);
  ::setenv("XDG_RUNTIME_DIR", (root + "/runtime").c_str(), 1);
  ::setenv("CORVANTIDE_HOME", (root + "/corvantide").c_str(), 1);
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  ::setenv("LC_ALL", "C.UTF-8", 1);

  ::testing::InitGoogleTest(&argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new TFreshDataRoot(root + "/corvantide"));
#if CORVANTIDE_TEST_GUI
  cv::TApplication app(argc, argv);
#else
  QCoreApplication app(argc, argv);
#endif
  const int result = RUN_ALL_TESTS();
  std::error_code ignored;
  std::filesystem::remove_all(root, ignored);
  // A worker a test left stuck in a hanging file system must not meet the
  // statics being destroyed.
  return cv::EndProcess(result);
}
