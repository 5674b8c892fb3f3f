#include "foundation/Program.h"

#include "foundation/Registry.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <unistd.h>

namespace cv {
namespace {

// Sets an environment variable for one scope.
class TEnvOverride {
public:
  TEnvOverride(const char* name, std::optional<std::string> value) : Name(name) {
    if (const char* old = std::getenv(name)) Old = old;
    if (value) ::setenv(name, value->c_str(), 1);
    else ::unsetenv(name);
  }
  ~TEnvOverride() {
    if (Old) ::setenv(Name, Old->c_str(), 1);
    else ::unsetenv(Name);
  }

private:
  const char* Name;
  std::optional<std::string> Old;
};

TEST(ProgramTest, ProgramFileComesFromTheKernel) {
  const std::string title = Program.ProgramFileTitle();
  EXPECT_EQ(title.front(), '/');
  EXPECT_EQ(Program.ProgramFileName(), "corvantide_core_tests");
  EXPECT_EQ(Program.ProgramPath() + Program.ProgramFileName(), title);
  EXPECT_EQ(Program.ProgramPath().back(), '/');
}

TEST(ProgramTest, DataRootChoices) {
  test::TTempDir dir;
  // CORVANTIDE_HOME wins.
  {
    TEnvOverride home("CORVANTIDE_HOME", dir.Path + "/mine");
    EXPECT_EQ(Program.DataRoot(), dir.Path + "/mine/");
    EXPECT_EQ(Program.OptionsPath(), dir.Path + "/mine/Options/");
    EXPECT_EQ(Program.ContainersPath(), dir.Path + "/mine/Options/Containers/");
    EXPECT_EQ(Program.EditLinkTitle(), dir.Path + "/mine/Options/Edit.desktop");
    EXPECT_EQ(Program.ErrorLogTitle(), dir.Path + "/mine/Errors.log");
  }
  // Then XDG_DATA_HOME, and a relative one is ignored for ~/.local/share.
  {
    TEnvOverride home("CORVANTIDE_HOME", std::nullopt);
    TEnvOverride data("XDG_DATA_HOME", dir.Path + "/data");
    EXPECT_EQ(Program.DataRoot(), dir.Path + "/data/corvantide/");
    TEnvOverride relative("XDG_DATA_HOME", "relative/data");
    TEnvOverride userHome("HOME", dir.Path + "/home");
    EXPECT_EQ(Program.DataRoot(), dir.Path + "/home/.local/share/corvantide/");
  }
}

TEST(ProgramTest, PortableOptionsBesideTheProgramWin) {
  test::TTempDir dir;
  const std::string programPath = dir.Path + "/bundle/";
  TEnvOverride home("CORVANTIDE_HOME", std::nullopt);
  TEnvOverride data("XDG_DATA_HOME", dir.Path + "/data");
  std::filesystem::create_directories(programPath);
  EXPECT_EQ(TProgram::ChooseDataRoot(programPath), dir.Path + "/data/corvantide/");
  // A writable "Options/" beside the executable makes a portable bundle.
  std::filesystem::create_directory(programPath + "Options");
  EXPECT_EQ(TProgram::ChooseDataRoot(programPath), programPath);
  // A read-only one does not.
  std::filesystem::permissions(programPath + "Options", std::filesystem::perms::owner_read |
                                                            std::filesystem::perms::owner_exec);
  EXPECT_EQ(test::RunUnprivileged({programPath}, [&]() -> std::string {
              const std::string root = TProgram::ChooseDataRoot(programPath);
              return root == dir.Path + "/data/corvantide/" ? "" : "chose " + root;
            }),
            "");
}

TEST(ProgramTest, DirectoriesBesideTheProgramOnlyInAPortableBundle) {
  test::TTempDir dir;
  TEnvOverride home("CORVANTIDE_HOME", std::nullopt);
  TEnvOverride data("XDG_DATA_HOME", dir.Path + "/data");
  const std::string programPath = dir.Path + "/bin/";
  std::filesystem::create_directories(programPath);
  const TProgram installed(programPath + "corvantide");
  EXPECT_FALSE(installed.IsPortable());
  installed.CreateProgramDirectories();
  EXPECT_TRUE(std::filesystem::is_directory(dir.Path + "/data/corvantide/Options/Skins"));
  EXPECT_FALSE(std::filesystem::exists(programPath + "Plugins"));

  std::filesystem::create_directory(programPath + "Options");
  EXPECT_TRUE(installed.IsPortable());
  installed.CreateProgramDirectories();
  EXPECT_TRUE(std::filesystem::is_directory(programPath + "Plugins"));
  EXPECT_TRUE(std::filesystem::is_directory(programPath + "Options/Skins"));
}

TEST(ProgramTest, RelativeOptionsSettingLiesBelowTheDataRoot) {
  test::TTempDir dir;
  TEnvOverride home("CORVANTIDE_HOME", dir.Path + "/root");
  for (const char* made : {"/root/Options", "/root/mine", "/cwd/mine", "/cwd/only-here", "/abs"})
    std::filesystem::create_directories(dir.Path + made);
  const std::string before = TProgram::CurrentDirectory();
  ASSERT_EQ(::chdir((dir.Path + "/cwd").c_str()), 0);
  const std::string options = dir.Path + "/root/Options/";
  struct {
    std::string Setting;
    std::string Expected;
  } const cases[] = {
      {"", options},
      {"mine", dir.Path + "/root/mine/"},
      {"mine//", dir.Path + "/root/mine/"},
      {"only-here", options},
      {dir.Path + "/abs/", dir.Path + "/abs/"},
      {dir.Path + "/gone", options},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Program.ChooseOptionsPath(c.Setting), c.Expected) << c.Setting;
  ASSERT_EQ(::chdir(before.c_str()), 0);
}

TEST(ProgramTest, CreateProgramDirectoriesMakesTheLayout) {
  test::TTempDir dir;
  TEnvOverride home("CORVANTIDE_HOME", dir.Path + "/a/b");
  Program.CreateProgramDirectories();
  for (const char* sub : {"Options", "Options/Containers", "Options/Locations", "Options/Tools",
                          "Options/Send", "Options/SendDrag", "Options/Skins",
                          "Options/BackPictures"})
    EXPECT_TRUE(std::filesystem::is_directory(dir.Path + "/a/b/" + sub)) << sub;
  // A data root that cannot be made is ignored: nothing shown, nothing made, the file kept.
  test::TRecordingUserInterface ui;
  std::ofstream(dir.Path + "/file") << "x";
  TEnvOverride blocked("CORVANTIDE_HOME", dir.Path + "/file/sub");
  Program.CreateProgramDirectories();
  EXPECT_TRUE(ui.Errors.empty());
  EXPECT_TRUE(ui.Boxes.empty());
  EXPECT_TRUE(std::filesystem::is_regular_file(dir.Path + "/file"));
  std::ifstream in(dir.Path + "/file");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "x");
  // Nor does one that may not be written.
  TEnvOverride denied("CORVANTIDE_HOME", dir.Path + "/locked/root");
  std::filesystem::create_directory(dir.Path + "/locked");
  EXPECT_EQ(test::RunUnprivileged({dir.Path + "/locked"}, [&]() -> std::string {
              if (::chmod((dir.Path + "/locked").c_str(), 0555) != 0) return "chmod failed";
              Program.CreateProgramDirectories();
              if (!ui.Errors.empty() || !ui.Boxes.empty()) return "a failure was shown";
              const bool made = std::filesystem::exists(dir.Path + "/locked/root");
              return made ? "made below a locked directory" : "";
            }),
            "");
}

// The working path is a value for started programs: the process's own
// directory stays where it was, so no medium is held busy.
TEST(ProgramTest, SetProgramWorkingPath) {
  test::TTempDir dir;
  const std::string before = TProgram::CurrentDirectory();
  ASSERT_FALSE(before.empty());
  std::filesystem::create_directory(dir.Path + "/work");
  std::ofstream(dir.Path + "/plain") << "x";
  const std::string temp = TProgram::TempPath();
  const struct {
    std::string Title;
    bool Set;
    std::string Path;
  } cases[] = {
      {dir.Path + "/work/file.txt", true, dir.Path + "/work"},
      {dir.Path + "/work", true, dir.Path},
      {"/etc", true, "/"},
      {":/home", true, temp}, // a partition title has no parent
      {"", true, temp},
      {dir.Path + "/gone/file.txt", false, temp},
      {dir.Path + "/plain/file.txt", false, temp},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Title);
    FunStatContext.Reset(fsPerfect);
    EXPECT_EQ(TProgram::SetProgramWorkingPath(c.Title), c.Set);
    EXPECT_EQ(TProgram::ProgramWorkingPath(), c.Path);
    EXPECT_EQ(TProgram::CurrentDirectory(), before);
    EXPECT_EQ(FunStatContext.Status, c.Set ? fsPerfect : fsError);
    if (!c.Set) {
      EXPECT_EQ(FunStatContext.Description, "Failed to set working path.");
    }
  }
}

TEST(ProgramTest, TerminationReportText) {
  test::TRecordingUserInterface ui;
  ReportTermination();
  ASSERT_EQ(ui.Errors.size(), 1u);
  EXPECT_EQ(ui.Errors[0].Description, "Abort intercepted.\r\nProgram must be terminated.");
  EXPECT_NE(ui.Errors[0].Report.find("* Function: \"TerminateProgramFun\""), std::string::npos);
}

TEST(RegistryTest, MissingKeyIsEmptyAndRoundTripKeepsOtherValues) {
  test::TTempDir dir;
  TEnvOverride config("XDG_CONFIG_HOME", dir.Path + "/config");
  EXPECT_EQ(GetProgramRegistryText("NoSuchProduct", "", "OptionsPath"), "");
  EXPECT_EQ(FunStatContext.Status, fsPerfect);

  ASSERT_TRUE(SetProgramRegistryText("Corvantide", "", "OptionsPath", "/home/ann/opts"));
  ASSERT_TRUE(SetProgramRegistryText("Corvantide", "", "Other", "x"));
  ASSERT_TRUE(SetProgramRegistryText("Corvantide", "Sub", "Deep", "y"));
  ASSERT_TRUE(SetProgramRegistryText("Corvantide", "", "OptionsPath", "/home/ann/new"));
  EXPECT_EQ(GetProgramRegistryText("Corvantide", "", "OptionsPath"), "/home/ann/new");
  EXPECT_EQ(GetProgramRegistryText("Corvantide", "", "Other"), "x");
  EXPECT_EQ(GetProgramRegistryText("Corvantide", "Sub", "Deep"), "y");
  EXPECT_EQ(RegistryFileTitle(), dir.Path + "/config/corvantide/Registry.ini");

  std::ifstream in(RegistryFileTitle());
  std::string first;
  std::getline(in, first);
  EXPECT_EQ(first, "[Software\\Corvantide]");

  // A line break would corrupt the store: refused, old value kept.
  EXPECT_FALSE(SetProgramRegistryText("Corvantide", "", "OptionsPath", "a\nb"));
  EXPECT_EQ(FunStatContext.Status, fsError);
  EXPECT_EQ(GetProgramRegistryText("Corvantide", "", "OptionsPath"), "/home/ann/new");
}

} // namespace
} // namespace cv
