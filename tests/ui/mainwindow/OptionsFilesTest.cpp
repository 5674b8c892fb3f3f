// The options files through a whole start and close of the main window, in
// a data root of its own.

#include "mainwindow/MainDialog.h"

#include "foundation/MemoryStorage.h"
#include "foundation/Program.h"
#include "foundation/Registry.h"
#include "options/ProgramOptions.h"
#include "TestSupport.h"
#include "../../core/foundation/StorageTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace cv {
namespace {

namespace fs = std::filesystem;

using test::ReadFileBytes;
using test::WriteFileBytes;

class OptionsFilesTest : public ::testing::Test {
protected:
  void SetUp() override {
    OldHome = std::getenv("CORVANTIDE_HOME");
    ::setenv("CORVANTIDE_HOME", Root.Path.c_str(), 1);
    Options = Root.Path + "/Options/";
    fs::create_directories(Options);
    ProgramOptions.SetDefaults();
  }
  void TearDown() override {
    ProgramOptions.SetDefaults();
    ::setenv("CORVANTIDE_HOME", OldHome.c_str(), 1);
    SetProgramRegistryText("Corvantide", "", "OptionsPath", "");
  }
  // As the program starts and closes, without the event loop.
  void StartAndClose() {
    Program.CreateProgramDirectories();
    TMainForm form;
    form.Setup();
    form.show();
    form.close();
  }

  test::TRecordingUserInterface Ui;
  test::TTempDir Root;
  std::string OldHome;
  std::string Options;
};

TEST_F(OptionsFilesTest, FileThatFailedToLoadIsMovedAsideAtClose) {
  struct {
    const char* Name;
    std::function<void(const std::string& title)> Damage;
    std::function<bool(const std::string& title)> IsTheDamagedFile;
  } const cases[] = {
      {"Corvantide.cvo",
       [](const std::string& title) { WriteFileBytes(title, std::string(100, 'g')); },
       [](const std::string& title) { return ReadFileBytes(title) == std::string(100, 'g'); }},
      // Larger than a stored text list may be: a real file that cannot be read.
      {"Corvantide.ini",
       [](const std::string& title) {
         const int fd = ::open(title.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
         ASSERT_GE(fd, 0);
         ASSERT_EQ(::ftruncate(fd, off_t{1} << 30), 0);
         ::close(fd);
       },
       [](const std::string& title) {
         struct stat st {};
         return ::stat(title.c_str(), &st) == 0 && st.st_size == off_t{1} << 30;
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string title = Options + c.Name;
    const std::string aside = title + ".bad";
    StartAndClose();
    c.Damage(title);
    WriteFileBytes(aside, "an older damaged file");
    Ui.Boxes.clear();
    Ui.Errors.clear();

    StartAndClose();
    EXPECT_TRUE(c.IsTheDamagedFile(aside));
    ASSERT_EQ(Ui.Boxes.size(), 1u);
    EXPECT_NE(Ui.Boxes[0].Text.find("\"" + aside + "\""), std::string::npos) << Ui.Boxes[0].Text;
    EXPECT_EQ(Ui.Errors.size(), 1u) << "the failed load";

    // What was written in its place loads, and the next cycle leaves the copy alone.
    StartAndClose();
    EXPECT_EQ(Ui.Boxes.size(), 1u);
    EXPECT_EQ(Ui.Errors.size(), 1u);
    EXPECT_TRUE(c.IsTheDamagedFile(aside));
    fs::remove(aside);
  }
}

TEST_F(OptionsFilesTest, GoodFilesAreSavedInPlace) {
  StartAndClose();
  StartAndClose();
  EXPECT_TRUE(fs::is_regular_file(Options + "Corvantide.ini"));
  EXPECT_EQ(ReadFileBytes(Options + "Corvantide.cvo").substr(4, 18), "Corvantide Options");
  EXPECT_FALSE(fs::exists(Options + "Corvantide.ini.bad"));
  EXPECT_FALSE(fs::exists(Options + "Corvantide.cvo.bad"));
  EXPECT_TRUE(Ui.Errors.empty());
  EXPECT_TRUE(Ui.Boxes.empty());
}

// The main window moves the working directory along with the active column,
// so a relative setting would name another directory at each save.
TEST_F(OptionsFilesTest, RelativeOptionsDirectoryLiesBelowTheDataRoot) {
  test::TTempDir elsewhere;
  fs::create_directories(Root.Path + "/custom");
  fs::create_directories(elsewhere.Path + "/custom");
  const std::string before = TProgram::CurrentDirectory();
  ASSERT_EQ(::chdir(elsewhere.Path.c_str()), 0);
  ASSERT_TRUE(SetProgramRegistryText("Corvantide", "", "OptionsPath", "custom"));
  StartAndClose();
  ASSERT_EQ(::chdir(before.c_str()), 0);
  EXPECT_TRUE(fs::is_regular_file(Root.Path + "/custom/Corvantide.ini"));
  EXPECT_TRUE(fs::is_regular_file(Root.Path + "/custom/Corvantide.cvo"));
  EXPECT_TRUE(fs::is_empty(elsewhere.Path + "/custom"));
  EXPECT_FALSE(fs::exists(Options + "Corvantide.ini"));
}

TEST_F(OptionsFilesTest, WindowPlaceAndOptionsAreAsTheUserLeftThem) {
  {
    Program.CreateProgramDirectories();
    TMainForm form;
    form.Setup();
    form.show();
    EXPECT_TRUE(ProgramOptions.FirstRun);
    form.move(6, 9);
    form.resize(795, 560);
    form.TreeNavigatorWidth = 180;
    form.MPLWidth = 99; // below its range: read back as the default
    form.ViewerHeight = 120;
    ProgramOptions.ShowFileInfo = true;
    ProgramOptions.FileHoverDelay = 12;
    form.close();
  }
  const std::string ini = ReadFileBytes(Options + "Corvantide.ini");
  EXPECT_NE(ini.find("FirstRun=FALSE\n"), std::string::npos);
  ProgramOptions.SetDefaults();

  TMainForm form;
  form.Setup();
  EXPECT_EQ(form.pos(), QPoint(6, 9));
  EXPECT_EQ(form.size(), QSize(795, 560));
  EXPECT_EQ(form.TreeNavigatorWidth, 180);
  EXPECT_EQ(form.MPLWidth, 240);
  EXPECT_EQ(form.ViewerHeight, 120);
  EXPECT_FALSE(ProgramOptions.FirstRun);
  EXPECT_TRUE(ProgramOptions.ShowFileInfo);
  EXPECT_EQ(ProgramOptions.FileHoverDelay, 12);
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(OptionsFilesTest, OptionsPathNamingNoDirectoryMeansTheDefaultOne) {
  ASSERT_TRUE(SetProgramRegistryText("Corvantide", "", "OptionsPath", Root.Path + "/gone"));
  StartAndClose();
  EXPECT_TRUE(fs::is_regular_file(Options + "Corvantide.ini"));
  EXPECT_TRUE(fs::is_regular_file(Options + "Corvantide.cvo"));
  EXPECT_FALSE(fs::exists(Root.Path + "/gone"));
}

} // namespace
} // namespace cv
