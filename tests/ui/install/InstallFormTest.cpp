// The install window: its two modes, the questions it asks, and an install
// and uninstall of a bundle in a temporary directory done through it.

#include "install/InstallForm.h"

#include "foundation/Help.h"
#include "foundation/Program.h"
#include "install/Install.h"

#include "../../core/filesystem/FileTestSupport.h"
#include "LauncherSupport.h"
#include "TestSupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

namespace cv {
namespace {

namespace fs = std::filesystem;

TEST(InstallForm, EachModeFillsTheWindowForItself) {
  struct TCase {
    TInstallMode Mode;
    const char *Caption, *Panel, *Label, *Button;
    bool Browse;
    std::string Directory;
  };
  std::string parent = DefaultInstallDirectory();
  parent.erase(parent.rfind('/', parent.size() - 2) + 1);
  const TCase cases[] = {
      {TInstallMode::Install, "Install Corvantide", "Welcome to Corvantide",
       "The program's installation directory will be put in directory:", "&Install", true, parent},
      {TInstallMode::Uninstall, "Uninstall Corvantide", "Bye from Corvantide",
       "The following directory will be deleted:", "Un&install", false, Program.ProgramPath()},
  };
  for (const TCase& c : cases) {
    TInstallForm form;
    form.Setup(c.Mode, "Corvantide", "File manager", "Version 1.0");
    EXPECT_EQ(form.windowTitle(), c.Caption);
    EXPECT_EQ(form.MainPanel->text(), c.Panel);
    EXPECT_EQ(form.DirectoryLabel->text(), c.Label);
    EXPECT_EQ(form.InstallButton->text(), c.Button);
    EXPECT_EQ(form.BrowseButton->isEnabled(), c.Browse) << c.Caption;
    EXPECT_EQ(form.DirectoryBox->isReadOnly(), !c.Browse) << c.Caption;
    EXPECT_EQ(form.Directory(), c.Directory) << c.Caption;
    EXPECT_EQ(form.VersionLabel->text(), "Version 1.0");
  }
}

TEST(InstallForm, F1ShowsItsHelpPage) {
  TInstallForm form;
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  QTest::keyClick(&form, Qt::Key_F1);
  auto* help = qobject_cast<QTextBrowser*>(HelpWindow());
  ASSERT_NE(help, nullptr);
  EXPECT_TRUE(help->toPlainText().contains("Installing and uninstalling"));
  help->close();
}

class InstallFormTest : public ::testing::Test {
protected:
  void SetUp() override {
    Bundle = Dir.Path + "/bundle";
    fs::create_directories(Bundle + "/Plugins");
    fs::create_directories(Bundle + "/Options");
    ASSERT_TRUE(test::WriteBytes(Bundle + "/corvantide", "#!/bin/sh\n", 0755));
    ASSERT_TRUE(test::WriteBytes(Bundle + "/Plugins/caf\xe9.so", "plugin"));
    Parent = Dir.Path + "/opt";
    Target = Parent + "/corvantide";
  }
  void TearDown() override { fs::remove(MenuEntryTitle()); }
  // A window of the mode over the temporary tree, shown as the program shows it.
  void Show(TInstallForm& form, TInstallMode mode, const std::string& directory) {
    form.Setup(mode, "Corvantide", "File manager", "Version 1.0", directory);
    form.SourceDirectory = Bundle;
    form.ProgramName = "corvantide";
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  }
  std::string ShownErrors() const {
    std::string text;
    for (const auto& error : Ui.Errors)
      text += error.Description + "\n" + error.Report + "\n";
    return text;
  }
  test::TTempDir Dir;
  test::TRecordingUserInterface Ui;
  test::TRecordingLauncher Launcher;
  std::string Bundle, Parent, Target;
};

TEST_F(InstallFormTest, NoKeepsTheWindowOpenWithoutAMessage) {
  for (TInstallMode mode : {TInstallMode::Install, TInstallMode::Uninstall}) {
    Ui.Boxes.clear();
    Ui.BoxAnswer = mrBoxNo;
    TInstallForm form;
    Show(form, mode, mode == TInstallMode::Install ? Parent : Bundle);
    QTest::mouseClick(form.InstallButton, Qt::LeftButton);
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(form.InstallButton->isEnabled());
    // The question only.
    ASSERT_EQ(Ui.Boxes.size(), 1u);
    EXPECT_EQ(Ui.Boxes[0].Flags & mbButtonsMask, mbYesNo);
  }
  EXPECT_EQ(Ui.Errors.size(), 0u);
  EXPECT_FALSE(fs::exists(Parent));
  EXPECT_TRUE(fs::exists(Bundle + "/corvantide"));
}

TEST_F(InstallFormTest, InstallsAndStartsTheProgramThenUninstallsItThroughTheWindow) {
  Ui.BoxAnswer = mrBoxOk;
  {
    TInstallForm form;
    Show(form, TInstallMode::Install, Parent);
    QTest::mouseClick(form.InstallButton, Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
    ASSERT_EQ(Ui.Boxes.size(), 1u);
    EXPECT_EQ(Ui.Boxes[0].Text, "Install the program in directory \"" + Target + "\"?");
  }
  EXPECT_EQ(Ui.Errors.size(), 0u) << ShownErrors();
  EXPECT_EQ(test::ReadBytes(Target + "/Plugins/caf\xe9.so"), "plugin");
  EXPECT_TRUE(fs::exists(MenuEntryTitle()));
  ASSERT_EQ(Launcher.Started.size(), 1u);
  EXPECT_EQ(Launcher.Started[0].Program, Target + "/corvantide");

  Ui.Boxes.clear();
  {
    TInstallForm form;
    Show(form, TInstallMode::Uninstall, Target);
    EXPECT_EQ(form.Directory(), Target + "/");
    QTest::mouseClick(form.InstallButton, Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
  }
  EXPECT_EQ(Ui.Errors.size(), 0u) << ShownErrors();
  ASSERT_EQ(Ui.Boxes.size(), 2u);
  EXPECT_EQ(Ui.Boxes[1].Text, "Uninstallation successful.");
  EXPECT_FALSE(fs::exists(Target));
  EXPECT_FALSE(fs::exists(Parent));
  EXPECT_FALSE(fs::exists(MenuEntryTitle()));
  EXPECT_TRUE(fs::exists(Bundle + "/corvantide"));
}

TEST_F(InstallFormTest, AFailedInstallShowsTheCountAndFirstPathAndStaysOpen) {
  // A file where the bundle has a directory: that part cannot be copied.
  fs::create_directories(Target);
  ASSERT_TRUE(test::WriteBytes(Target + "/Plugins", "in the way"));
  Ui.BoxAnswer = mrBoxOk;
  TInstallForm form;
  Show(form, TInstallMode::Install, Parent);
  QTest::mouseClick(form.InstallButton, Qt::LeftButton);
  EXPECT_TRUE(form.isVisible());
  ASSERT_EQ(Ui.Errors.size(), 1u);
  EXPECT_NE(ShownErrors().find("1 path failed, the first: " + Target + "/Plugins (" +
                               std::strerror(ENOTDIR) + ")."),
            std::string::npos)
      << ShownErrors();
  // A partial copy is not started and gets no menu entry.
  EXPECT_TRUE(Launcher.Started.empty());
  EXPECT_FALSE(fs::exists(MenuEntryTitle()));
}

} // namespace
} // namespace cv
