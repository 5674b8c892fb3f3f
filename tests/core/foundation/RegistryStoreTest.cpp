#include "foundation/Registry.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace cv {
namespace {

class RegistryStoreTest : public ::testing::Test {
protected:
  void SetUp() override {
    const char* old = std::getenv("XDG_CONFIG_HOME");
    OldConfig = old ? old : "";
    ::setenv("XDG_CONFIG_HOME", (Dir.Path + "/config").c_str(), 1);
    FunStatContext = TFunStatContext();
  }
  void TearDown() override { ::setenv("XDG_CONFIG_HOME", OldConfig.c_str(), 1); }
  std::string FileText() {
    std::ifstream in(RegistryFileTitle());
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  test::TTempDir Dir;
  test::TRecordingUserInterface Ui;
  std::string OldConfig;
};

TEST_F(RegistryStoreTest, RoundTripOfTheOptionsPathAndOddValues) {
  EXPECT_EQ(GetProgramRegistryText("Corvantide", "", "OptionsPath"), "");
  EXPECT_FALSE(FunStatContext.Failed());
  EXPECT_FALSE(std::filesystem::exists(RegistryFileTitle())); // reading creates nothing

  const std::string odd = "/home/ann/a=b;c [x] \xFF\xFE caf\xC3\xA9";
  ASSERT_TRUE(SetProgramRegistryText("Corvantide", "", "OptionsPath", odd));
  ASSERT_TRUE(SetProgramRegistryText("Corvantide", "", "Empty", ""));
  EXPECT_EQ(GetProgramRegistryText("Corvantide", "", "OptionsPath"), odd);
  EXPECT_EQ(GetRegistryText("software\\CORVANTIDE", "optionspath"), odd); // names ignore case
  EXPECT_EQ(GetProgramRegistryText("Corvantide", "", "Empty"), "");
  EXPECT_EQ(FileText(), "[Software\\Corvantide]\nOptionsPath=" + odd + "\nEmpty=\n\n");
}

TEST_F(RegistryStoreTest, ValuesTheStoreWouldChangeAreRefused) {
  ASSERT_TRUE(SetProgramRegistryText("Corvantide", "", "OptionsPath", "/kept"));
  for (const char* value : {"a\nb", "a\rb", " leading", "trailing\t"}) {
    EXPECT_FALSE(SetProgramRegistryText("Corvantide", "", "OptionsPath", value)) << value;
    EXPECT_EQ(FunStatContext.Description, "Invalid registry value.");
  }
  EXPECT_FALSE(SetRegistryText("Software\\X", "a=b", "v"));
  EXPECT_FALSE(SetRegistryText("Software\\X]", "a", "v"));
  EXPECT_FALSE(SetRegistryText("Software\\X", "", "v"));
  EXPECT_EQ(GetProgramRegistryText("Corvantide", "", "OptionsPath"), "/kept");
}

TEST_F(RegistryStoreTest, UninstallEntryLivesInItsOwnSection) {
  ASSERT_TRUE(SetProgramRegistryText("Corvantide", "", "OptionsPath", "/opts"));
  ASSERT_TRUE(SetUninstallRegistry("Corvantide", "Corvantide file manager",
                                   "/usr/bin/corvantide /Uninstall"));
  EXPECT_EQ(GetRegistryText("Uninstall\\Corvantide", "DisplayName"), "Corvantide file manager");
  EXPECT_EQ(GetRegistryText("Uninstall\\Corvantide", "UninstallString"),
            "/usr/bin/corvantide /Uninstall");
  ASSERT_TRUE(DeleteUninstallerRegistry("Corvantide"));
  EXPECT_EQ(GetRegistryText("Uninstall\\Corvantide", "DisplayName"), "");
  EXPECT_EQ(GetProgramRegistryText("Corvantide", "", "OptionsPath"), "/opts");
  EXPECT_EQ(FileText().find("Uninstall"), std::string::npos);
}

TEST_F(RegistryStoreTest, AnUnreadableStoreIsReportedAndNeverOverwritten) {
  std::filesystem::create_directories(RegistryFileTitle()); // a directory where the file belongs
  EXPECT_EQ(GetProgramRegistryText("Corvantide", "", "OptionsPath"), "");
  EXPECT_FALSE(SetProgramRegistryText("Corvantide", "", "OptionsPath", "/x"));
  EXPECT_TRUE(std::filesystem::is_directory(RegistryFileTitle()));
  EXPECT_FALSE(Ui.Errors.empty());
}

} // namespace
} // namespace cv
