#include "mainwindow/MainDialog.h"

#include "LauncherSupport.h"
#include "TestSupport.h"
#include "WindowSupport.h"
#include "columns/Column.h"
#include "columns/ColumnView.h"
#include "columns/MyPanel.h"
#include "fileops/ActiveFileCommands.h"
#include "fileops/ManualRunForm.h"
#include "fileops/NewFileForm.h"
#include "filesystem/Links.h"
#include "foundation/Program.h"
#include "mainwindow/MainMenus.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <tuple>

namespace cv {
namespace {

namespace fs = std::filesystem;

class ColumnCommandsTest : public ::testing::Test {
protected:
  void SetUp() override {
    Tree = Root.Path + "/work";
    fs::create_directories(Tree + "/sub");
    std::ofstream(Tree + "/notes.txt") << "text";
    std::ofstream(Tree + "/script.sh") << "#!/bin/sh\n";
    ::chmod((Tree + "/script.sh").c_str(), 0755);
    TLinkFile link;
    link.Reference = Tree + "/sub";
    ASSERT_TRUE(link.Save(Tree + "/to-sub.desktop", true));
    Form.Setup();
    Form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form));
    Show(Tree + "/notes.txt");
  }
  void Show(const std::string& title) {
    Form.Column(1).LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, title);
    Form.FocusColumn(1);
  }
  void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
    QTest::keyClick(Form.ColumnView(1)->FileList, key, modifiers);
  }

  test::TTempDir Root;
  test::TRecordingUserInterface Ui;
  test::TRecordingLauncher Launch;
  std::string Tree;
  TMainForm Form;
};

TEST_F(ColumnCommandsTest, EnterRunsProgramsInTheirDirectoryOpensDocumentsAndFollowsLinks) {
  Show(Tree + "/script.sh");
  Key(Qt::Key_Return);
  ASSERT_EQ(Launch.Started.size(), 1u);
  EXPECT_EQ(Launch.Started[0].Program, Tree + "/script.sh");
  EXPECT_TRUE(Launch.Started[0].Arguments.empty());
  EXPECT_EQ(Launch.Started[0].WorkingDirectory, Tree + "/");

  Show(Tree + "/notes.txt");
  Key(Qt::Key_Return);
  EXPECT_EQ(Launch.Opened, (std::vector<std::string>{Tree + "/notes.txt"}));

  // A link to a directory is entered, not run.
  Show(Tree + "/to-sub.desktop");
  Key(Qt::Key_Return);
  EXPECT_EQ(Form.Column(1).ShownPath(), Tree + "/sub/");
  EXPECT_EQ(Launch.Started.size(), 1u);
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(ColumnCommandsTest, GoToReferenceShowsTheReferenceInItsDirectory) {
  Show(Tree + "/notes.txt");
  Key(Qt::Key_G); // not a link: nothing, no message
  EXPECT_EQ(Form.Column(1).ActiveTitle, Tree + "/notes.txt");
  Show(Tree + "/to-sub.desktop");
  Key(Qt::Key_G);
  EXPECT_EQ(Form.Column(1).ActiveTitle, Tree + "/sub");
  EXPECT_TRUE(Ui.Errors.empty());
  EXPECT_TRUE(Ui.Boxes.empty());
}

TEST_F(ColumnCommandsTest, ClipKeysPutTheirPartAndAnEmptyNameWarns) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  Key(Qt::Key_F2);
  EXPECT_EQ(clipboard->text().toStdString(), "notes.txt");
  Key(Qt::Key_F2, Qt::ControlModifier);
  EXPECT_EQ(clipboard->text().toStdString(), Tree + "/");
  Key(Qt::Key_F2, Qt::ShiftModifier);
  EXPECT_EQ(clipboard->text().toStdString(), Tree + "/notes.txt");
  Show(Tree + "/to-sub.desktop");
  Key(Qt::Key_F2, Qt::AltModifier);
  EXPECT_EQ(clipboard->text().toStdString(), Tree + "/sub");

  Show(Tree + "/sub/"); // an empty directory: no name
  Key(Qt::Key_F2);
  ASSERT_EQ(Ui.Boxes.size(), 1u);
  EXPECT_EQ(Ui.Boxes[0].Text, "There is no text to copy to clipboard.");
  EXPECT_EQ(clipboard->text().toStdString(), Tree + "/sub");
}

TEST_F(ColumnCommandsTest, SetAsActiveFileTakesTheFirstNonBlankLine) {
  QGuiApplication::clipboard()->setText(QString::fromStdString("\n  \n" + Tree + "/script.sh\nx"));
  Key(Qt::Key_L, Qt::ShiftModifier);
  ASSERT_EQ(Ui.Boxes.size(), 1u);
  EXPECT_EQ(Ui.Boxes[0].Text, "Set \"" + Tree + "/script.sh\" as active file ?");
  EXPECT_EQ(Form.Column(1).ActiveTitle, Tree + "/script.sh");

  QGuiApplication::clipboard()->setText(" \n\n");
  Key(Qt::Key_L, Qt::ShiftModifier);
  ASSERT_EQ(Ui.Boxes.size(), 2u);
  EXPECT_EQ(Ui.Boxes[1].Text, "There is no title in the clipboard.");
  EXPECT_EQ(Form.Column(1).ActiveTitle, Tree + "/script.sh");
}

TEST_F(ColumnCommandsTest, PastePictureAsksBeforeReplacingAndRefusesThePartitionsList) {
  QImage picture(8, 6, QImage::Format_RGB32);
  picture.fill(Qt::red);
  QGuiApplication::clipboard()->setImage(picture);
  const std::string file = Tree + "/-Corvantide_ClipboardPicture.bmp";
  Key(Qt::Key_U);
  ASSERT_TRUE(fs::exists(file));
  EXPECT_EQ(QImage(QString::fromStdString(file)).size(), QSize(8, 6));
  EXPECT_TRUE(Form.Column(1).Count() == 5) << "the column shows the new file";

  picture = QImage(4, 4, QImage::Format_RGB32);
  picture.fill(Qt::blue);
  QGuiApplication::clipboard()->setImage(picture);
  Ui.BoxAnswer = mrBoxNo;
  Key(Qt::Key_U);
  ASSERT_EQ(Ui.Boxes.size(), 1u);
  EXPECT_EQ(Ui.Boxes[0].Text, "File already exists. OVERWRITE it?");
  EXPECT_EQ(QImage(QString::fromStdString(file)).size(), QSize(8, 6));
  Ui.BoxAnswer = mrBoxOk;
  Key(Qt::Key_U);
  EXPECT_EQ(QImage(QString::fromStdString(file)).size(), QSize(4, 4));
  EXPECT_TRUE(Ui.Errors.empty());

  EXPECT_FALSE(PasteClipboardPicture(""));
  ASSERT_EQ(Ui.Errors.size(), 1u);
  EXPECT_NE(Ui.Errors[0].Description.find("Failed to paste clipboard picture."), std::string::npos);
}

TEST_F(ColumnCommandsTest, RunProgramSplitsParametersBeforeTheTokensAreReplaced) {
  std::ofstream(Tree + "/x\" --flag \"y") << "odd";
  Show(Tree + "/x\" --flag \"y");
  bool shown = false;
  test::WhenDialogShows(&Form, [&] {
    shown = Form.ManualRunForm->isVisible();
    Form.ManualRunForm->ProgramBox->setCurrentText(QString::fromStdString(Tree + "/script.sh"));
    Form.ManualRunForm->ParametersBox->setCurrentText("-v %n% \"%p%\"");
    QTest::keyClick(Form.ManualRunForm->ParametersBox->lineEdit(), Qt::Key_Return);
    Form.ManualRunForm->RunNoParametersButton->click();
    Form.ManualRunForm->CancelButton->click();
  });
  Key(Qt::Key_R);
  EXPECT_TRUE(shown);
  ASSERT_EQ(Launch.Started.size(), 2u);
  EXPECT_EQ(Launch.Started[0].Arguments,
            (std::vector<std::string>{"-v", "x\" --flag \"y", Tree + "/"}));
  EXPECT_TRUE(Launch.Started[1].Arguments.empty());
  EXPECT_EQ(Form.ManualRunForm->ParametersBox->itemText(0), "-v %n% \"%p%\"");

  // An empty program warns and runs nothing.
  Form.ManualRunForm->ProgramBox->setCurrentText({});
  EXPECT_FALSE(Form.ManualRunForm->Do(true));
  ASSERT_EQ(Ui.Boxes.size(), 1u);
  EXPECT_EQ(Ui.Boxes[0].Text, "You must specify a file to run.");
}

TEST_F(ColumnCommandsTest, TheSendMenuListsItsLinksAndSendsTheActiveFile) {
  TLinkFile link;
  link.Reference = Tree + "/script.sh";
  link.Arguments = "\"%t%\"";
  fs::create_directories(Program.SendPath());
  ASSERT_TRUE(link.Save(Program.SendPath() + "Viewer.desktop", true));
  Form.EnableFileMenuItems({});
  QAction* send = Form.Menus->Action("File/Send");
  ASSERT_NE(send, nullptr);
  ASSERT_TRUE(send->isEnabled());
  Q_EMIT send->menu()->aboutToShow();
  const auto actions = send->menu()->actions();
  // The bold heading names what is sent and does nothing itself.
  ASSERT_EQ(actions.size(), 3);
  EXPECT_EQ(actions[0]->text(), "Send: Active title");
  EXPECT_EQ(send->menu()->defaultAction(), actions[0]);
  actions[0]->trigger();
  EXPECT_TRUE(Launch.Started.empty());
  EXPECT_EQ(actions[2]->text(), "Viewer");
  actions[2]->trigger();
  ASSERT_EQ(Launch.Started.size(), 1u);
  EXPECT_EQ(Launch.Started[0].Arguments, (std::vector<std::string>{Tree + "/notes.txt"}));
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(ColumnCommandsTest, NewFileOpensTheEditorNewDirectoryDoesNot) {
  for (const auto& [key, name, title] : {std::tuple{Qt::Key_F, "fresh", Tree + "/fresh.txt"},
                                         std::tuple{Qt::Key_D, "folder", Tree + "/folder"}}) {
    test::WhenDialogShows(&Form, [&] {
      Form.NewFileForm->NameEdit->setText(name);
      Form.NewFileForm->NewButton->click();
    });
    Key(key);
    EXPECT_TRUE(fs::exists(title));
    EXPECT_EQ(Form.Column(1).ActiveTitle, title) << "the new item is the active one";
  }
  // Without an editor link the new file opens in its default application.
  EXPECT_EQ(Launch.Opened, (std::vector<std::string>{Tree + "/fresh.txt"}));
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(ColumnCommandsTest, PropertiesShowTheFileOrWhatItLinksTo) {
  struct TCase {
    Qt::KeyboardModifiers Modifiers;
    std::string Expected;
  };
  Show(Tree + "/to-sub.desktop");
  for (const TCase& c : {TCase{{}, "to-sub.desktop"}, TCase{Qt::ControlModifier, "sub"}}) {
    std::string shown;
    test::WhenDialogShows(&Form, [&] {
      QWidget* dialog = QApplication::activeModalWidget();
      ASSERT_NE(dialog, nullptr);
      EXPECT_EQ(dialog->windowTitle(), "Properties");
      for (const QLabel* label : dialog->findChildren<QLabel*>())
        if (label->text().toStdString() == c.Expected) shown = c.Expected;
      dialog->close();
    });
    Key(Qt::Key_P, c.Modifiers);
    EXPECT_EQ(shown, c.Expected);
  }
  EXPECT_TRUE(Ui.Errors.empty());
}

} // namespace
} // namespace cv
