// Closing the main window while a file operation runs: the user is asked
// once whether to cancel it, a close from outside cancels without asking,
// and nothing half-written stays behind.

#include "mainwindow/MainDialog.h"

#include "TestSupport.h"
#include "WindowSupport.h"
#include "columns/Column.h"
#include "fileops/FileForm.h"
#include "foundation/Program.h"
#include "options/ProgramOptions.h"
#include "security/FileStreamsForm.h"

#include <QGuiApplication>
#include <QPushButton>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <sys/xattr.h>

namespace cv {
namespace {

namespace fs = std::filesystem;

constexpr const char* CloseQuestion = "Cancel the running operation and close?";

class CloseDuringOperationTest : public ::testing::Test {
protected:
  void SetUp() override {
    OldHome = std::getenv("CORVANTIDE_HOME");
    ::setenv("CORVANTIDE_HOME", (Root.Path + "/data").c_str(), 1);
    Tree = Root.Path + "/tree";
    fs::create_directories(Tree + "/to");
    for (const char* name : {"one.txt", "two.txt", "three.txt"})
      std::ofstream(Tree + "/" + name) << name;
    ProgramOptions.SetDefaults();
    Program.CreateProgramDirectories();
  }
  void TearDown() override { ::setenv("CORVANTIDE_HOME", OldHome.c_str(), 1); }

  int Asked() const {
    return static_cast<int>(std::count_if(Ui.Boxes.begin(), Ui.Boxes.end(), [](const auto& box) {
      return box.Text == CloseQuestion;
    }));
  }

  test::TTempDir Root;
  test::TRecordingUserInterface Ui;
  std::string OldHome, Tree;
};

TEST_F(CloseDuringOperationTest, TheUserIsAskedOnceAndASignalIsNot) {
  enum class TClose { UserYes, UserNo, Outside };
  for (const TClose how : {TClose::UserYes, TClose::UserNo, TClose::Outside}) {
    SCOPED_TRACE(static_cast<int>(how));
    fs::remove_all(Tree + "/to");
    fs::create_directories(Tree + "/to");
    std::ofstream(Tree + "/to/one.txt") << "there already";
    Ui.Boxes.clear();
    Ui.BoxAnswer = how == TClose::UserNo ? mrBoxNo : mrBoxOk;
    TMainForm form;
    form.Setup();
    form.show();
    form.Column(0).LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt,
                                 Tree + "/one.txt");
    form.Column(0).SelectAll(true);
    form.FocusColumn(0);
    bool modalWhileRunning = true;
    test::WhenDialogShows(&form, [&] {
      ASSERT_NE(form.FileForm, nullptr);
      // The close comes at the first file's question, as from the window manager.
      form.FileForm->OverwriteAsk = [&](const TOverwriteView&) {
        // A modal window would keep the window manager's close away.
        modalWhileRunning = QGuiApplication::modalWindow() != nullptr;
        if (how == TClose::Outside) {
          form.CloseFromOutside();
        } else {
          form.windowHandle()->close();
          // Closing again while the cancel is on its way asks nothing more.
          if (how == TClose::UserYes) form.windowHandle()->close();
        }
        return TOverwriteChoice::SkipThis;
      };
      form.FileForm->OkayButton->click();
    });
    TFileFormRequest request;
    request.Operation = "Copy";
    request.TwoColumn = true;
    request.DestinationTitle = Tree + "/to/";
    request.SourceTitle = form.Column(0).ActiveTitle;
    form.RunFileOperation(request, 0);
    EXPECT_FALSE(modalWhileRunning);
    EXPECT_EQ(Asked(), how == TClose::Outside ? 0 : 1);
    if (how == TClose::UserNo) {
      EXPECT_TRUE(form.isVisible());
      EXPECT_TRUE(fs::exists(Tree + "/to/two.txt")) << "the operation went on";
      EXPECT_TRUE(fs::exists(Tree + "/to/three.txt"));
      form.close();
    } else {
      EXPECT_TRUE(QTest::qWaitFor([&] { return !form.isVisible(); }, 5000));
      // Files are taken in name order: the cancel came before "three" and "two".
      for (const auto& entry : fs::directory_iterator(Tree + "/to"))
        EXPECT_EQ(entry.path().filename(), "one.txt") << "nothing else, no temporary";
    }
    EXPECT_FALSE(form.isVisible());
  }
  EXPECT_TRUE(Ui.Errors.empty());
}

// Text typed in the streams editor is not dropped by closing the main window:
// the editor's own question decides, and Cancel keeps the window open.
TEST_F(CloseDuringOperationTest, UnsavedStreamTextIsAskedAboutBeforeTheWindowCloses) {
  const std::string file = Tree + "/one.txt";
  if (::setxattr(file.c_str(), "user.Note", "old", 3, 0) != 0)
    GTEST_SKIP() << "no user attributes here: " << errno;
  TMainForm form;
  form.Setup();
  form.show();
  ASSERT_NE(form.FileStreamsForm, nullptr);
  form.FileStreamsForm->Open(file, TFileStreamsForm::OpenOnly);
  form.FileStreamsForm->SelectStream("Note");
  ASSERT_TRUE(form.FileStreamsForm->LoadStream());
  form.FileStreamsForm->Editor->moveCursor(QTextCursor::End);
  QTest::keyClicks(form.FileStreamsForm->Editor, " new");

  Ui.BoxAnswer = mrBoxCancel;
  form.windowHandle()->close();
  EXPECT_TRUE(form.isVisible()) << "Cancel keeps the window and the text";
  ASSERT_EQ(Ui.Boxes.size(), 1u);
  EXPECT_NE(Ui.Boxes[0].Text.find("Do you want to save the stream?"), std::string::npos);

  Ui.BoxAnswer = mrBoxOk;
  form.windowHandle()->close();
  EXPECT_TRUE(QTest::qWaitFor([&] { return !form.isVisible(); }, 5000));
  char value[16] = {};
  ASSERT_EQ(::getxattr(file.c_str(), "user.Note", value, sizeof value), 7);
  EXPECT_STREQ(value, "old new");
}

} // namespace
} // namespace cv
