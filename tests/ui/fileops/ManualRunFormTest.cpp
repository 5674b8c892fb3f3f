#include "fileops/ManualRunForm.h"

#include "LauncherSupport.h"
#include "TestSupport.h"
#include "filesystem/File.h"
#include "foundation/Program.h"

#include <QComboBox>
#include <QLabel>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace cv {
namespace {

namespace fs = std::filesystem;

TEST(ManualRunFormTest, TheProgramStartsInTheWorkingPathTheDialogShows) {
  test::TTempDir dir;
  test::TRecordingUserInterface ui;
  test::TRecordingLauncher launch;
  fs::create_directories(dir.Path + "/tools");
  fs::create_directories(dir.Path + "/work");
  const std::string tool = dir.Path + "/tools/tool.sh";
  std::ofstream(tool) << "#!/bin/sh\n";
  ::chmod(tool.c_str(), 0755);
  const std::string previous = TProgram::ProgramWorkingPath();
  ASSERT_TRUE(TProgram::SetProgramWorkingPath(dir.Path + "/work/a.txt"));

  TManualRunForm form;
  form.Prepare(dir.Path + "/work/a.txt");
  EXPECT_EQ(form.WorkingPathLabel->text().toStdString(), dir.Path + "/work");
  form.ProgramBox->setCurrentText(QString::fromStdString(tool));
  form.ParametersBox->setCurrentText("%n%");
  EXPECT_TRUE(form.Do(true));
  TProgram::SetProgramWorkingPath(IncludeDelimiter(previous));

  // "%n%" names the file the dialog's working path holds, not one beside the tool.
  ASSERT_EQ(launch.Started.size(), 1u);
  EXPECT_EQ(launch.Started[0].Program, tool);
  EXPECT_EQ(launch.Started[0].Arguments, std::vector<std::string>{"a.txt"});
  EXPECT_EQ(launch.Started[0].WorkingDirectory, dir.Path + "/work/");
  EXPECT_TRUE(ui.Errors.empty());
}

} // namespace
} // namespace cv
