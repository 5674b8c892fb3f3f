// Installing a bundle into a directory and uninstalling it again, on
// temporary trees.

#include "install/Install.h"

#include "foundation/Error.h"
#include "foundation/Program.h"

#include "../filesystem/FileTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/stat.h>

namespace cv {
namespace {

namespace fs = std::filesystem;

class InstallTest : public ::testing::Test {
protected:
  void SetUp() override {
    Bundle = Dir.Path + "/bundle";
    fs::create_directories(Bundle + "/Plugins");
    fs::create_directories(Bundle + "/Options");
    ASSERT_TRUE(test::WriteBytes(Bundle + "/corvantide", "#!/bin/sh\n", 0755));
    ASSERT_TRUE(test::WriteBytes(Bundle + "/corvantide.svg", "<svg/>"));
    ASSERT_TRUE(test::WriteBytes(Bundle + "/Plugins/caf\xe9.so", "plugin"));
    ASSERT_TRUE(test::WriteBytes(Bundle + "/Options/Corvantide.ini", "bundle options"));
    fs::create_symlink("corvantide", Bundle + "/run");
    Target = Dir.Path + "/opt/corvantide";
  }
  void TearDown() override {
    fs::remove(MenuEntryTitle());
    fs::remove(MenuIconTitle());
  }
  test::TTempDir Dir;
  std::string Bundle, Target;
  TInstallOutcome Outcome;
};

TEST_F(InstallTest, InstallCopiesTheBundleAndUninstallRemovesItAndTheMenuEntry) {
  ASSERT_TRUE(InstallBundle(Bundle, Target, "corvantide", Outcome)) << Outcome.FailureText();
  EXPECT_EQ(test::ReadBytes(Target + "/Plugins/caf\xe9.so"), "plugin");
  EXPECT_EQ(fs::read_symlink(Target + "/run"), "corvantide");
  EXPECT_EQ(::access((Target + "/corvantide").c_str(), X_OK), 0);
  const std::string entry = test::ReadBytes(MenuEntryTitle());
  EXPECT_NE(entry.find("Exec=\"" + Target + "/corvantide\"\n"), std::string::npos) << entry;
  EXPECT_EQ(test::ReadBytes(MenuIconTitle()), "<svg/>");

  // The user's own file in the install directory, and options written since.
  ASSERT_TRUE(test::WriteBytes(Target + "/Plugins/mine.so", "mine"));
  ASSERT_TRUE(test::WriteBytes(Target + "/Options/Corvantide.ini", "changed options"));
  // A reinstall keeps the options.
  ASSERT_TRUE(InstallBundle(Bundle, Target, "corvantide", Outcome)) << Outcome.FailureText();
  EXPECT_EQ(test::ReadBytes(Target + "/Options/Corvantide.ini"), "changed options");

  ASSERT_TRUE(UninstallBundle(Target + "/", Outcome)) << Outcome.FailureText();
  EXPECT_FALSE(FunStatContext.Failed());
  EXPECT_FALSE(fs::exists(MenuEntryTitle()));
  EXPECT_FALSE(fs::exists(MenuIconTitle()));
  EXPECT_FALSE(fs::exists(Target + "/corvantide"));
  EXPECT_FALSE(fs::exists(Target + "/" + InstallManifestName));
  // Only what was written goes: what the user put there stays, with the
  // directories that hold it; the empty ones went.
  EXPECT_EQ(test::Entries(Target), (std::vector<std::string>{"Options", "Plugins"}));
  EXPECT_EQ(test::Entries(Target + "/Plugins"), std::vector<std::string>{"mine.so"});
  fs::remove(Target + "/Plugins/mine.so");
  fs::remove(Target + "/Options/Corvantide.ini");
  // Without its manifest the directory is no install any more.
  EXPECT_FALSE(UninstallBundle(Target, Outcome));
  EXPECT_TRUE(fs::exists(Target));
}

TEST_F(InstallTest, EmptiedTreeIsRemovedUpToTheDirectoriesTheInstallMade) {
  ASSERT_TRUE(InstallBundle(Bundle, Target, "corvantide", Outcome)) << Outcome.FailureText();
  fs::remove(Target + "/Options/Corvantide.ini");
  ASSERT_TRUE(UninstallBundle(Target, Outcome)) << Outcome.FailureText();
  EXPECT_FALSE(fs::exists(Target));
  // "opt" was made by the install, the temporary directory was not.
  EXPECT_FALSE(fs::exists(Dir.Path + "/opt"));
  EXPECT_TRUE(fs::exists(Dir.Path + "/bundle/corvantide"));
}

TEST_F(InstallTest, RefusedTargets) {
  for (const std::string& target : {Bundle, Bundle + "/inner", Bundle + "/Plugins/../x"}) {
    EXPECT_FALSE(InstallBundle(Bundle, target, "corvantide", Outcome)) << target;
    EXPECT_TRUE(FunStatContext.Failed()) << target;
  }
  EXPECT_FALSE(fs::exists(Bundle + "/inner"));
  EXPECT_FALSE(fs::exists(Bundle + "/x"));
}

TEST_F(InstallTest, AProgramDirectoryWithoutOptionsIsNoBundleAndIsNotCopied) {
  fs::remove_all(Bundle + "/Options");
  EXPECT_FALSE(InstallBundle(Bundle, Target, "corvantide", Outcome));
  EXPECT_TRUE(FunStatContext.Failed());
  EXPECT_FALSE(fs::exists(Dir.Path + "/opt"));
}

TEST_F(InstallTest, UninstallRefusesRootHomeAndDirectoriesWithoutManifest) {
  // A directory that holds what looks like an install, without a manifest.
  ASSERT_TRUE(InstallBundle(Bundle, Target, "corvantide", Outcome));
  fs::remove(Target + "/" + InstallManifestName);
  fs::create_directories(HomePath());
  ASSERT_TRUE(test::WriteBytes(HomePath() + "/" + InstallManifestName,
                               std::string("Corvantide install manifest 1\nf") + HomePath() +
                                   "/keep" + std::string(1, '\0')));
  ASSERT_TRUE(test::WriteBytes(HomePath() + "/keep", "keep"));
  for (const std::string& refused : {std::string("/"), HomePath(), Target, std::string()}) {
    EXPECT_FALSE(UninstallBundle(refused, Outcome)) << refused;
    EXPECT_TRUE(FunStatContext.Failed()) << refused;
  }
  EXPECT_TRUE(fs::exists(Target + "/corvantide"));
  EXPECT_TRUE(fs::exists(HomePath() + "/keep"));
  fs::remove(HomePath() + "/" + InstallManifestName);
  fs::remove(HomePath() + "/keep");
}

TEST_F(InstallTest, AManifestCannotReachOutsideTheDirectory) {
  ASSERT_TRUE(InstallBundle(Bundle, Target, "corvantide", Outcome));
  const std::string outside = Dir.Path + "/outside";
  ASSERT_TRUE(test::WriteBytes(outside, "keep"));
  std::string manifest = test::ReadBytes(Target + "/" + InstallManifestName);
  manifest += "f" + outside + std::string(1, '\0');
  manifest += "f" + Target + "/../../outside" + std::string(1, '\0');
  ASSERT_TRUE(test::WriteBytes(Target + "/" + InstallManifestName, manifest));
  EXPECT_FALSE(UninstallBundle(Target, Outcome));
  EXPECT_EQ(Outcome.Failures, 2) << Outcome.FailureText();
  EXPECT_EQ(FunStatContext.Description, "Failed to uninstall program.");
  EXPECT_EQ(test::ReadBytes(outside), "keep");
  // Everything that was its own went all the same; the manifest stays for a retry.
  EXPECT_FALSE(fs::exists(Target + "/corvantide"));
  EXPECT_TRUE(fs::exists(Target + "/" + InstallManifestName));
}

TEST_F(InstallTest, UnreadableFilesMakeAFailedInstallWithCountAndFirstPath) {
  for (const char* name : {"/a-secret", "/b-secret"}) {
    ASSERT_TRUE(test::WriteBytes(Bundle + name, "x"));
    ASSERT_EQ(::chmod((Bundle + name).c_str(), 0), 0);
  }
  const std::string target = Dir.Path + "/open/corvantide";
  const std::string failure = test::RunUnprivileged({Dir.Path}, [&]() -> std::string {
    TInstallOutcome outcome;
    if (InstallBundle(Bundle, target, "corvantide", outcome)) return "installed";
    if (outcome.Failures != 2) return "failures: " + std::to_string(outcome.Failures);
    if (outcome.FirstFailure != target + "/a-secret" && outcome.FirstFailure != target + "/b-secret")
      return "first: " + outcome.FirstFailure;
    if (FunStatContext.Parameter1.find("2 paths failed, the first: ") != 0)
      return "report: " + FunStatContext.Parameter1;
    if (fs::exists(MenuEntryTitle())) return "a partial copy got a menu entry";
    if (test::ReadBytes(target + "/Plugins/caf\xe9.so") != "plugin") return "nothing copied";
    // What was copied is listed, so an uninstall takes it away.
    if (!UninstallBundle(target, outcome)) return "uninstall: " + outcome.FailureText();
    // The bundle's options were copied as the user's: they stay.
    if (test::Entries(target) != std::vector<std::string>{"Options"}) return "left behind";
    return {};
  });
  EXPECT_EQ(failure, "");
}

} // namespace
} // namespace cv
