// The main window loads the viewer plug-ins each time it applies the options.

#include "mainwindow/MainDialog.h"

#include "TestSupport.h"
#include "options/ProgramOptions.h"
#include "plugins/ViewerPlugins.h"

#include <gtest/gtest.h>

namespace cv {
namespace {

TEST(ViewerPluginLoading, ApplyingTheOptionsLoadsThePlugins) {
  ProgramOptions.SetDefaults();
  test::TRecordingUserInterface ui;
  TMainForm form;
  form.Setup();
  ASSERT_TRUE(ui.Errors.empty()) << "no slot is on by default";

  ProgramOptions.ActivatePlugin[1] = true;
  ProgramOptions.PluginName[1] = "Missing.so";
  form.ApplyOptions();
  ASSERT_EQ(ui.Errors.size(), 1u);
  EXPECT_EQ(ui.Errors[0].Description, "Failed to load viewer plugin.");
  EXPECT_NE(ui.Errors[0].Report.find("Missing.so"), std::string::npos) << ui.Errors[0].Report;

  // The main switch off: nothing is loaded, so nothing can fail.
  ProgramOptions.ActivatePlugins = false;
  form.ApplyOptions();
  EXPECT_EQ(ui.Errors.size(), 1u);
  EXPECT_FALSE(ViewerPlugins.Claims("a.tpv"));
  ProgramOptions.SetDefaults();
}

} // namespace
} // namespace cv
