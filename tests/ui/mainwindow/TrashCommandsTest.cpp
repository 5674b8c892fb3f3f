// The commands of a column that shows the trash, as the user meets them:
// the file dialog runs them off the window's thread with Cancel.

#include "mainwindow/MainDialog.h"

#include "TestSupport.h"
#include "WindowSupport.h"
#include "columns/Column.h"
#include "fileops/FileForm.h"
#include "fileops/Overwrite.h"
#include "mainwindow/MainMenus.h"

#include <QAction>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace cv {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const std::string& title) {
  std::ifstream in(title);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class TrashCommandsTest : public ::testing::Test {
protected:
  void SetUp() override {
    Ui.BoxAnswer = mrBoxOk; // yes to the one question
    Trash = test::PrivateRoot() + "/data/Trash";
    Tree = Root.Path + "/work";
    fs::create_directories(Tree);
    fs::create_directories(Trash + "/files");
    fs::create_directories(Trash + "/info");
    Form.Setup();
    Form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form));
    Form.FocusColumn(1);
  }
  void TearDown() override {
    for (const std::string& name : Names) {
      std::error_code error;
      fs::remove_all(Trash + "/files/" + name, error);
      fs::remove(Trash + "/info/" + name + ".trashinfo", error);
    }
  }
  // An item put in the home trash by hand, as another program leaves it;
  // the name is unique to the test so other items of the trash stay apart.
  std::string PutInTrash(const std::string& base, const std::string& text) {
    const std::string name = base + "-" + fs::path(Root.Path).filename().string();
    Names.push_back(name);
    std::ofstream(Trash + "/files/" + name) << text;
    std::ofstream(Trash + "/info/" + name + ".trashinfo")
        << "[Trash Info]\nPath=" << Tree << "/" << name << "\nDeletionDate=2026-01-02T03:04:05\n";
    return name;
  }
  bool InTrash(const std::string& name) const { return fs::exists(Trash + "/files/" + name); }
  bool HasInfo(const std::string& name) const {
    return fs::exists(Trash + "/info/" + name + ".trashinfo");
  }
  // Opens the trash in column 1 and selects the named items.
  void ShowTrashSelecting(const std::vector<std::string>& names) {
    Form.Menus->Action("File/Trash/Show trash")->trigger();
    TColumn& column = Form.Column(1);
    ASSERT_TRUE(column.ShowsTrash);
    for (const std::string& name : names) {
      bool found = false;
      for (int i = 0; i < column.Count(); ++i)
        if (column.Items[static_cast<size_t>(i)].Title == Trash + "/files/" + name) {
          column.SelectItem(i);
          found = true;
        }
      ASSERT_TRUE(found) << name;
    }
  }

  test::TTempDir Root;
  test::TRecordingUserInterface Ui;
  std::string Trash, Tree;
  std::vector<std::string> Names;
  TMainForm Form;
};

TEST_F(TrashCommandsTest, DeleteRunsOffTheWindowThreadAndCancelKeepsTheRest) {
  const std::vector<std::string> names = {PutInTrash("a", "a"), PutInTrash("b", "b"),
                                          PutInTrash("c", "c")};
  ShowTrashSelecting(names);
  // The first finished item holds the engine until the window, still
  // answering events, pressed Cancel.
  std::atomic<bool> cancelled{false};
  std::atomic<int> steps{0};
  TFileForm& dialog = Form.FileDialog();
  dialog.OnEngineStep = [&] {
    if (steps++ != 0) return;
    for (int i = 0; i < 500 && !cancelled; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
  };
  QTimer press;
  QObject::connect(&press, &QTimer::timeout, [&] {
    if (steps > 0 && dialog.Running() && dialog.isVisible()) {
      dialog.CancelButton->click();
      cancelled = true;
      press.stop();
    }
  });
  press.start(5);
  Form.Menus->Action("File/Trash/Delete *")->trigger();
  dialog.OnEngineStep = {};

  EXPECT_TRUE(cancelled) << "the window answered no event during the run";
  EXPECT_FALSE(dialog.isVisible());
  int left = 0;
  for (const std::string& name : names) {
    EXPECT_EQ(InTrash(name), HasInfo(name)) << name;
    left += InTrash(name);
  }
  EXPECT_EQ(left, 2) << "one item went before Cancel, the rest stays";
  int listed = 0;
  for (const TFileListData& item : Form.Column(1).Items)
    for (const std::string& name : names)
      listed += item.Title == Trash + "/files/" + name;
  EXPECT_EQ(listed, 2) << "the column lists what is left";
  EXPECT_TRUE(Ui.Errors.empty());
}

// Restore onto a name taken again asks the overwrite question through the
// dialog; the answer decides what goes and which info file stays.
TEST_F(TrashCommandsTest, RestoreAsksTheOverwriteQuestion) {
  struct TCase {
    TOverwriteChoice Answer;
    bool Restored;
  };
  for (const TCase& c :
       {TCase{TOverwriteChoice::OverwriteThis, true}, TCase{TOverwriteChoice::SkipThis, false}}) {
    const std::string name = PutInTrash(c.Restored ? "over" : "skip", "trashed");
    std::ofstream(Tree + "/" + name) << "taken";
    ShowTrashSelecting({name});
    int asked = 0;
    Form.FileDialog().OverwriteAsk = [&](const TOverwriteView&) {
      ++asked;
      return c.Answer;
    };
    Form.Menus->Action("File/Trash/Restore *")->trigger();
    Form.FileDialog().OverwriteAsk = {};
    EXPECT_EQ(asked, 1) << name;
    EXPECT_EQ(Slurp(Tree + "/" + name), c.Restored ? "trashed" : "taken") << name;
    EXPECT_EQ(InTrash(name), !c.Restored) << name;
    EXPECT_EQ(HasInfo(name), !c.Restored) << name;
  }
  EXPECT_TRUE(Ui.Errors.empty());
}

} // namespace
} // namespace cv
