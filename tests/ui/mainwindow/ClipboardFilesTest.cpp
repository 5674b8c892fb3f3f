// Cut, Copy and Paste of files through the desktop's clipboard, as other
// file managers fill and read it.

#include "mainwindow/MainDialog.h"

#include "TestSupport.h"
#include "WindowSupport.h"
#include "columns/Column.h"
#include "columns/ColumnView.h"
#include "columns/MyPanel.h"
#include "fileops/FileForm.h"
#include "foundation/Help.h"
#include "mainwindow/Commands.h"
#include "mainwindow/MainMenus.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace cv {
namespace {

namespace fs = std::filesystem;

// Not UTF-8: the clipboard carries it percent-encoded, the file keeps its bytes.
const std::string RawName = "caf\xE9.txt";

class ClipboardFilesTest : public ::testing::Test {
protected:
  void SetUp() override {
    QGuiApplication::clipboard()->clear();
    Source = Root.Path + "/source";
    Target = Root.Path + "/target";
    fs::create_directories(Source);
    fs::create_directories(Target);
    for (const std::string& name : {std::string("a.txt"), std::string("b.txt"), RawName})
      std::ofstream(Source + "/" + name) << name;
    Form.Setup();
    Form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form));
    Show(0, Source + "/a.txt");
    Show(1, Target + "/");
    Form.FocusColumn(0);
  }
  void Show(int column, const std::string& title) {
    Form.Column(column).LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, title);
  }
  void Press(int column, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier) {
    Form.FocusColumn(column);
    QTest::keyClick(Form.ColumnView(column)->FileList, key, modifiers);
  }
  // Ctrl+V in `column`, answering the file dialog with `answer`; the
  // dialog's caption, or "" when none came.
  std::string Paste(int column, QPushButton* TFileForm::*answer = &TFileForm::OkayButton) {
    std::string caption;
    const QPointer<QTimer> pending = test::WhenDialogShows(&Form, [&] {
      if (!Form.FileForm || !Form.FileForm->isVisible()) return;
      caption = Form.FileForm->windowTitle().toStdString();
      (Form.FileForm->*answer)->click();
    });
    Press(column, Qt::Key_V);
    delete pending.data(); // no dialog came: the answer must not run later
    return caption;
  }
  static QByteArray ClipboardData(const char* format) {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data ? data->data(QString::fromLatin1(format)) : QByteArray();
  }
  static QByteArray Url(const std::string& title) {
    return "file://" + QByteArray::fromStdString(title).toPercentEncoding("/");
  }

  test::TRecordingUserInterface Ui;
  test::TTempDir Root;
  std::string Source, Target;
  TMainForm Form;
};

TEST_F(ClipboardFilesTest, FilesCopiedInAnotherProgramArePastedIntoTheColumnsDirectory) {
  struct TCase {
    const char* Name;
    const char* Format;
    std::string Name1, Name2;
  } const cases[] = {
      {"a copy list", "x-special/gnome-copied-files", "a.txt", RawName},
      {"a list of URLs", "text/uri-list", "b.txt", RawName},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    fs::remove_all(Target);
    fs::create_directories(Target);
    Show(1, Target + "/");
    const QByteArray urls = Url(Source + "/" + c.Name1) + "\r\n" + Url(Source + "/" + c.Name2);
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(c.Format),
                  std::string_view(c.Format) == "text/uri-list" ? urls : "copy\n" + urls);
    QGuiApplication::clipboard()->setMimeData(data);

    EXPECT_EQ(Paste(1), "Copy");
    EXPECT_TRUE(fs::exists(Target + "/" + c.Name1));
    EXPECT_TRUE(fs::exists(Target + "/" + c.Name2)) << "the name's bytes came through";
    EXPECT_TRUE(fs::exists(Source + "/" + c.Name2)) << "copied, not moved";
    EXPECT_EQ(Form.Column(1).Count(), 2) << "the column shows what arrived";
    EXPECT_FALSE(ClipboardData(c.Format).isEmpty()) << "a copy list stays for the next paste";
  }
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(ClipboardFilesTest, CutHereAndPastedInAnotherColumnMovesTheFilesAndUsesTheListUp) {
  TColumn& source = Form.Column(0);
  for (int i = 0; i < source.Count(); ++i)
    if (source.Items[static_cast<size_t>(i)].Title != Source + "/b.txt") source.SelectItem(i);
  ASSERT_EQ(source.SelCount, 2);
  Press(0, Qt::Key_X);
  const QByteArray cutList = ClipboardData("x-special/gnome-copied-files");
  EXPECT_TRUE(cutList.startsWith("cut\nfile://")) << cutList.toStdString();
  EXPECT_TRUE(cutList.contains(Url(Source + "/" + RawName))) << cutList.toStdString();
  EXPECT_EQ(ClipboardData("application/x-kde-cutselection"), "1");

  // Cancelled in the dialog: nothing moves and the list stays.
  EXPECT_EQ(Paste(1, &TFileForm::CancelButton), "Move");
  EXPECT_TRUE(fs::exists(Source + "/a.txt"));
  EXPECT_EQ(ClipboardData("x-special/gnome-copied-files"), cutList);

  EXPECT_EQ(Paste(1), "Move");
  for (const std::string& name : {std::string("a.txt"), RawName}) {
    EXPECT_TRUE(fs::exists(Target + "/" + name)) << name;
    EXPECT_FALSE(fs::exists(Source + "/" + name)) << name;
  }
  EXPECT_TRUE(fs::exists(Source + "/b.txt"));
  EXPECT_EQ(Form.Column(0).Count(), 1) << "the source column follows";
  const QMimeData* left = QGuiApplication::clipboard()->mimeData();
  EXPECT_TRUE(!left || left->formats().isEmpty()) << "a cut list is used up by its move";
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(ClipboardFilesTest, AMoveThatLeavesAFileBehindKeepsTheCutList) {
  // b.txt is at the destination already and the user skips it.
  std::ofstream(Target + "/b.txt") << "older";
  Show(1, Target + "/");
  Form.FocusColumn(0);
  TColumn& source = Form.Column(0);
  source.SelectAll(true);
  Press(0, Qt::Key_X);
  const QByteArray cutList = ClipboardData("x-special/gnome-copied-files");
  ASSERT_TRUE(cutList.startsWith("cut\n"));
  bool asked = false;
  test::WhenDialogShows(&Form, [&] {
    Form.FileForm->OverwriteAsk = [&](const TOverwriteView&) {
      asked = true;
      return TOverwriteChoice::SkipThis;
    };
    Form.FileForm->OkayButton->click();
  });
  Press(1, Qt::Key_V);
  EXPECT_TRUE(asked);
  EXPECT_TRUE(fs::exists(Target + "/a.txt"));
  EXPECT_TRUE(fs::exists(Source + "/b.txt")) << "skipped";
  EXPECT_EQ(ClipboardData("x-special/gnome-copied-files"), cutList);
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(ClipboardFilesTest, CopyHereGivesOtherProgramsTheFocusedFile) {
  Show(0, Source + "/" + RawName);
  Press(0, Qt::Key_C);
  EXPECT_EQ(ClipboardData("x-special/gnome-copied-files"), "copy\n" + Url(Source + "/" + RawName));
  EXPECT_EQ(ClipboardData("text/uri-list").trimmed(), Url(Source + "/" + RawName));
  EXPECT_TRUE(ClipboardData("application/x-kde-cutselection").isEmpty());
  EXPECT_EQ(Paste(1), "Copy");
  EXPECT_TRUE(fs::exists(Target + "/" + RawName));
  EXPECT_TRUE(fs::exists(Source + "/" + RawName));
}

TEST_F(ClipboardFilesTest, PasteNeedsADirectoryAndCtrlVInAContainerAddsTitles) {
  auto* data = new QMimeData;
  data->setData("x-special/gnome-copied-files", "copy\n" + Url(Source + "/a.txt"));
  QGuiApplication::clipboard()->setMimeData(data);

  // The partitions list: the menu item is off and the key says why.
  Show(1, ":/");
  Form.FocusColumn(1);
  Form.EnableFileMenuItems({});
  EXPECT_FALSE(Form.Menus->Action("File/Paste")->isEnabled());
  EXPECT_FALSE(Form.Menus->Action("File/Cut")->isEnabled());
  EXPECT_EQ(Paste(1), "") << "no file dialog";
  ASSERT_EQ(Ui.Boxes.size(), 1u);
  EXPECT_EQ(Ui.Boxes[0].Text, TMainForm::PasteNeedsDirectory);

  // A container column: Ctrl+V adds the titles, as before.
  Form.ShowContainer(0);
  ASSERT_EQ(Form.ActiveColumn(), 1);
  Form.EnableFileMenuItems({});
  EXPECT_FALSE(Form.Menus->Action("File/Paste")->isEnabled());
  EXPECT_EQ(Paste(1), "");
  ASSERT_EQ(Form.Column(1).Count(), 1);
  EXPECT_EQ(Form.Column(1).Items[0].Title, Source + "/a.txt");
  EXPECT_FALSE(fs::exists(Target + "/a.txt"));
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST(ClipboardKeys, TheDesktopsKeysComeBeforeTheColumnsLetters) {
  // The table rows themselves are checked with the other main keys.
  for (const char* path : {"File/Cut", "File/Copy"})
    EXPECT_FALSE(FindCommand(path)->Shortcut.empty()) << path;
  EXPECT_EQ(FindCommand("File/Paste")->Shortcut, "Ctrl+V");
  EXPECT_TRUE(HelpPageText(FindCommand("File/Paste")->HelpContext).contains("Ctrl+V"));
  EXPECT_EQ(FindCommand("File/Miscellaneous/Associate extension/Generic")->Shortcut, "Alt+X");
  // The letters alone and the other sets still reach the column's table.
  for (const auto& [key, modifiers] : {std::pair{Qt::Key_C, kmNone},
                                       {Qt::Key_C, kmShift},
                                       {Qt::Key_V, kmNone},
                                       {Qt::Key_X, kmShift}})
    EXPECT_EQ(FindMainKey(key, modifiers), nullptr) << key << "/" << modifiers;
}

} // namespace
} // namespace cv
