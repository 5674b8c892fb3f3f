// The file operations run on a thread of their own: a file system that does
// not answer holds that thread, never the window, and whatever the engine
// asks or reports is shown by the window's thread.

#include "fileops/FileForm.h"

#include "HangingMount.h"
#include "StallMeter.h"
#include "TestSupport.h"
#include "columns/Column.h"
#include "foundation/UserInterface.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace cv {
namespace {

namespace fs = std::filesystem;

// Records on which thread each box was asked for.
class TThreadRecordingUserInterface : public test::TRecordingUserInterface {
public:
  int ShowMessageBox(const std::string& caption, const std::string& text, unsigned flags) override {
    OnWindowThread.push_back(QThread::currentThread() == qApp->thread());
    return TRecordingUserInterface::ShowMessageBox(caption, text, flags);
  }
  std::vector<bool> OnWindowThread;
};

class FileRunTest : public ::testing::Test {
protected:
  void SetUp() override {
    Source = Dir.Path + "/src";
    Destination = Dir.Path + "/dst";
    fs::create_directories(Source);
    fs::create_directories(Destination);
    for (const char* name : {"a.txt", "b.txt"})
      std::ofstream(Source + "/" + name) << name;
    Column.ActiveTitle = Source + "/a.txt";
    ASSERT_TRUE(Column.LoadWithFiles(Column.ActiveTitle, "Name"));
  }
  TFileFormRequest Request(const std::string& operation) {
    TFileFormRequest request;
    request.Operation = operation;
    request.TwoColumn = true;
    request.DestinationTitle = Destination + "/";
    request.SourceTitle = Column.Items[0].Title;
    return request;
  }

  test::TTempDir Dir;
  TThreadRecordingUserInterface Ui;
  std::string Source, Destination;
  TColumn Column{0};
  TFileFormSettings Settings;
};

// The listing of the source waits ten seconds; Cancel ends the dialog at
// once and the thread the mount holds is left behind.
TEST_F(FileRunTest, CancellingACopyFromAMountThatHangsAnswersAtOnce) {
  test::THangingMount mount(10000);
  if (!mount.Available()) GTEST_SKIP() << mount.SkipReason();
  {
    TFileForm form(Settings);
    TFileFormRequest request = Request("Copy");
    request.WholeDirectory = true;
    request.SourceTitle = mount.MountPoint() + "/sub/";
    ASSERT_TRUE(form.Open(request, Column));
    form.show();
    test::TStallMeter meter;
    QElapsedTimer sinceCancel;
    QTimer::singleShot(300, &form, [&] {
      EXPECT_TRUE(form.Running());
      sinceCancel.start();
      QTest::mouseClick(form.CancelButton, Qt::LeftButton);
    });
    QTest::mouseClick(form.OkayButton, Qt::LeftButton);
    ASSERT_TRUE(sinceCancel.isValid()) << "the window was held until the engine returned";
    EXPECT_LT(sinceCancel.elapsed(), 2000) << "the dialog waited for the file system";
    EXPECT_LT(meter.Longest(), 100);
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(form.Engine().IsCancelled());
  }
  EXPECT_TRUE(fs::is_empty(Destination));
  EXPECT_TRUE(Ui.Errors.empty());
}

// A question of the engine (the overwrite window) and a box of the core
// (the comparison's result) both come to the window's thread.
TEST_F(FileRunTest, QuestionsAndBoxesOfTheRunAreShownByTheWindowThread) {
  std::ofstream(Destination + "/a.txt") << "older";
  TFileForm form(Settings);
  std::vector<bool> asked;
  form.OverwriteAsk = [&](const TOverwriteView&) {
    asked.push_back(QThread::currentThread() == qApp->thread());
    return TOverwriteChoice::OverwriteThis;
  };
  Column.SelectAll(true);
  ASSERT_TRUE(form.Open(Request("Copy"), Column));
  QTest::mouseClick(form.OkayButton, Qt::LeftButton);
  EXPECT_EQ(asked, std::vector<bool>{true});
  std::ifstream copied(Destination + "/a.txt");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(copied), {}), "a.txt");
  EXPECT_EQ(Column.SelCount, 0) << "the column was deselected";

  ASSERT_TRUE(form.Open(Request("Compare"), Column));
  QTest::mouseClick(form.OkayButton, Qt::LeftButton);
  ASSERT_EQ(Ui.Boxes.size(), 1u);
  EXPECT_TRUE(Ui.Boxes[0].Text.starts_with("There are ")) << Ui.Boxes[0].Text;
  EXPECT_EQ(Ui.OnWindowThread, std::vector<bool>{true});
  EXPECT_TRUE(Ui.Errors.empty());
}

} // namespace
} // namespace cv
