#include "mainwindow/MainDialog.h"

#include "TestSupport.h"
#include "WindowSupport.h"
#include "columns/BoardForm.h"
#include "columns/Column.h"
#include "columns/ColumnView.h"
#include "columns/MyPanel.h"
#include "foundation/Clipboard.h"
#include "foundation/Program.h"
#include "mainwindow/MainMenus.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

namespace cv {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Titles(const TColumn& column) {
  std::vector<std::string> titles;
  for (const TFileListData& item : column.Items)
    titles.push_back(item.Title);
  return titles;
}

class ContainerCommandsTest : public ::testing::Test {
protected:
  void SetUp() override {
    Tree = Root.Path + "/work";
    fs::create_directories(Tree);
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"})
      std::ofstream(Tree + "/" + name) << name;
    Form.Setup();
    Form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form));
    Form.Column(0).LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt,
                                 Tree + "/a.txt");
    Form.Column(1).LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt,
                                 Tree + "/a.txt");
  }
  void Key(int column, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
    Form.FocusColumn(column);
    QTest::keyClick(Form.ColumnView(column)->FileList, key, modifiers);
  }
  std::string T(const char* name) const { return Tree + "/" + name; }

  test::TTempDir Root;
  test::TRecordingUserInterface Ui;
  std::string Tree;
  TMainForm Form;
};

TEST_F(ContainerCommandsTest, TwoColumnsOnOneContainerStayInStep) {
  // Shift+3 adds the selection of column 0 to container 3.
  Form.Column(0).SelectItem(0);
  Form.Column(0).SelectItem(2);
  Key(0, Qt::Key_3, Qt::ShiftModifier);
  EXPECT_EQ(Form.Column(0).SelCount, 0) << "each added item is deselected";
  // Ctrl+3 shows it, in both columns.
  Key(1, Qt::Key_3, Qt::ControlModifier);
  Key(0, Qt::Key_3, Qt::ControlModifier);
  EXPECT_EQ(Form.Column(1).ContainerIndex, 2);
  EXPECT_EQ(Titles(Form.Column(1)), (std::vector<std::string>{T("a.txt"), T("c.txt")}));
  // Adding the same file again keeps two items.
  Form.Column(0).ContainerIndex = -1;
  Form.Column(0).LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, T("a.txt"));
  Key(0, Qt::Key_3, Qt::ShiftModifier);
  EXPECT_EQ(Titles(Form.Column(1)), (std::vector<std::string>{T("a.txt"), T("c.txt"), T("a.txt")}));

  // Recycling an item in one column shows in the other; the file stays.
  Form.Column(0).LoadDirectory(false, 2);
  Form.Column(1).FocusByIndex(1, 0);
  Key(1, Qt::Key_Delete);
  ASSERT_EQ(Ui.Boxes.size(), 1u);
  EXPECT_EQ(Ui.Boxes[0].Text, "Recycle the focused file from the container?\n\nThe file itself is "
                              "NOT recycled, but only the container item.");
  EXPECT_EQ(Titles(Form.Column(1)), (std::vector<std::string>{T("a.txt"), T("a.txt")}));
  EXPECT_EQ(Titles(Form.Column(0)), Titles(Form.Column(1)));
  EXPECT_TRUE(fs::exists(T("c.txt")));

  // Remove duplicates: the first stays.
  ASSERT_TRUE(Form.RunCommand("File/Container/Remove duplicates"));
  EXPECT_EQ(Titles(Form.Column(0)), (std::vector<std::string>{T("a.txt")}));
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(ContainerCommandsTest, RelocatePasteAndGoToFile) {
  TContainer& container = Form.Containers.Container(0);
  for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"})
    container.AddItem(T(name));
  Key(1, Qt::Key_1, Qt::ControlModifier);
  TColumn& column = Form.Column(1);
  ASSERT_EQ(column.Count(), 4);
  column.SelectItem(0);
  column.SelectItem(2);
  column.FocusByIndex(3, 0);
  Key(1, Qt::Key_V);
  EXPECT_EQ(Ui.Boxes.back().Text,
            "Relocate 2 selected items in the container\n(before item \"d.txt\")?");
  EXPECT_EQ(Titles(column),
            (std::vector<std::string>{T("b.txt"), T("a.txt"), T("c.txt"), T("d.txt")}));

  // Paste titles from another program's file list; blank lines count for nothing.
  SetClipboardFiles({T("d.txt"), T("b.txt")}, "");
  Key(1, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(Ui.Boxes.back().Text, "Paste 2 file titles in the container?");
  EXPECT_EQ(column.Count(), 6);
  QGuiApplication::clipboard()->setText("\n \nnot a title\n");
  Key(1, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(Ui.Boxes.back().Text, "The clipboard doesn't contain valid file titles.");
  EXPECT_EQ(column.Count(), 6);

  // Go to file: the column shows the file's directory with the file focused.
  column.FocusByIndex(2, 0);
  Key(1, Qt::Key_G, Qt::ControlModifier);
  EXPECT_EQ(column.ContainerIndex, -1);
  EXPECT_EQ(column.ActiveTitle, T("c.txt"));
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(ContainerCommandsTest, RenamesFollowFilesAndNamesComeBackAfterARestart) {
  TContainer& container = Form.Containers.Container(4);
  container.AddItem(T("a.txt"));
  container.AddItem(T("b.txt"));
  Key(1, Qt::Key_5, Qt::ControlModifier);
  // Renaming the file in a container column renames the item too.
  test::WhenDialogShows(&Form, [&] {
    Form.RenameForm->NameEdit->setText("renamed.txt");
    QTest::keyClick(Form.RenameForm->NameEdit, Qt::Key_Return);
  });
  Key(1, Qt::Key_N);
  EXPECT_TRUE(fs::exists(T("renamed.txt")));
  EXPECT_EQ(container.Items()[0].Title, T("renamed.txt"));
  EXPECT_EQ(Form.Column(1).Items[0].Title, T("renamed.txt"));

  test::WhenDialogShows(&Form, [&] {
    Form.BoardForm->NameBox->setCurrentText("Kept");
    Form.BoardForm->RenameButton->click();
  });
  ASSERT_TRUE(Form.RunCommand("File/Container/Rename"));
  EXPECT_EQ(container.DisplayName(), "Kept (5)");
  EXPECT_EQ(Form.Column(1).HeaderCaption, "Container \"Kept (5)\"");
  Form.close();

  TMainForm again;
  again.Setup();
  EXPECT_EQ(again.Containers.Container(4).Name(), "Kept");
  ASSERT_EQ(again.Containers.Container(4).Count(), 2);
  EXPECT_EQ(again.Containers.Container(4).Items()[0].Title, T("renamed.txt"));
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(ContainerCommandsTest, AChangeIsWrittenWithinASecond) {
  const std::string file = Program.ContainersPath() + "07.txt";
  fs::remove(file);
  // The application's activation starts the window's timer; the offscreen
  // platform never reports one.
  Form.ApplicationEventsActivate();
  Form.Column(1).SelectItem(1);
  QElapsedTimer sinceEdit;
  sinceEdit.start();
  Key(1, Qt::Key_7, Qt::ShiftModifier);
  EXPECT_FALSE(fs::exists(file)) << "bursts are coalesced";
  // Only the window's own timer writes it, from the event loop.
  EXPECT_TRUE(QTest::qWaitFor([&] { return fs::exists(file); }, 5000));
  // The save delay, then at most one tick of the timer (200 ms) and some slack.
  const qint64 took = sinceEdit.elapsed();
  EXPECT_GE(took, static_cast<qint64>(1000 * TContainerSet::SaveDelay) - 50);
  EXPECT_LE(took, static_cast<qint64>(1000 * TContainerSet::SaveDelay) + 200 + 300);
  std::ifstream in(file);
  std::string line;
  ASSERT_TRUE(std::getline(in, line));
  EXPECT_EQ(line, T("b.txt"));
}

TEST_F(ContainerCommandsTest, TitlesAContainerCannotKeepAreWarnedOfAndStaySelected) {
  // A name with a line break cannot be one line of the container's file.
  // A board an earlier test saved may name a directory gone since: not ours.
  const size_t errorsBefore = Ui.Errors.size();
  std::ofstream(Tree + "/two\nlines") << "x";
  TColumn& from = Form.Column(0);
  from.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, T("a.txt"));
  const auto indexOf = [&](const std::string& title) {
    for (int i = 0; i < from.Count(); ++i)
      if (from.Items[static_cast<size_t>(i)].Title == title) return i;
    return -1;
  };
  const int bad = indexOf(T("two\nlines"));
  ASSERT_GE(bad, 0);
  struct TCase {
    const char* Name;
    int Container;
    std::function<void()> Add;
  };
  const TCase cases[] = {
      {"Add to container", 2, [&] { Key(0, Qt::Key_3, Qt::ShiftModifier); }},
      {"Copy to the container a column shows", 3,
       [&] {
         Form.Column(1).LoadDirectory(false, 3);
         Form.CopyToContainer(0, 1, -1);
       }},
      {"Copy and insert", 4,
       [&] {
         Form.Column(1).LoadDirectory(false, 4);
         Form.CopyToContainer(0, 1, 0);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    Form.Containers.Container(c.Container).ClearItems();
    from.DeselectAll(false);
    from.SelectItem(indexOf(T("b.txt")));
    from.SelectItem(bad);
    c.Add();
    ASSERT_FALSE(Ui.Boxes.empty());
    EXPECT_EQ(Ui.Boxes.back().Text, RefusedTitlesWarning(1));
    EXPECT_EQ(from.SelCount, 1) << "what was added is deselected, the rest stays";
    EXPECT_TRUE(from.Items[static_cast<size_t>(bad)].Selected);
    std::vector<std::string> kept;
    for (const TContainerItem& item : Form.Containers.Container(c.Container).Items())
      kept.push_back(item.Title);
    EXPECT_EQ(kept, std::vector<std::string>{T("b.txt")});
  }
  EXPECT_EQ(Ui.Errors.size(), errorsBefore);
}

TEST_F(ContainerCommandsTest, ARenamedBoardKeepsWholeCharacters) {
  // 200 characters of two bytes each: within the dialog's 255 characters.
  QString name;
  for (int i = 0; i < 200; ++i)
    name += QChar(0xE9);
  test::WhenDialogShows(&Form, [&] {
    Form.BoardForm->NameBox->setCurrentText(name);
    Form.BoardForm->RenameButton->click();
  });
  ASSERT_TRUE(Form.RunCommand("File/Inter-board/Rename board"));
  EXPECT_EQ(Form.Boards.Active().Name, name.toStdString());
  // Past the limit the cut falls between characters, never inside one.
  test::WhenDialogShows(&Form, [&] {
    Form.BoardForm->NameBox->lineEdit()->setMaxLength(400);
    Form.BoardForm->NameBox->setCurrentText(name + name);
    Form.BoardForm->RenameButton->click();
  });
  ASSERT_TRUE(Form.RunCommand("File/Inter-board/Rename board"));
  EXPECT_EQ(Form.Boards.Active().Name, (name + name).left(255).toStdString());
}

} // namespace
} // namespace cv
