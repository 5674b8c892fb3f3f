#include "mainwindow/MainDialog.h"

#include "TestSupport.h"
#include "WindowSupport.h"
#include "columns/Column.h"
#include "columns/ColumnView.h"
#include "columns/MyPanel.h"
#include "fileops/FileForm.h"
#include "mainwindow/MainMenus.h"

#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace cv {
namespace {

namespace fs = std::filesystem;

QAction* FindAction(QMenu* menu, const QString& text) {
  for (QAction* action : menu->actions()) {
    if (action->text() == text) return action;
    if (action->menu())
      if (QAction* inner = FindAction(action->menu(), text)) return inner;
  }
  return nullptr;
}

class FileDragTest : public ::testing::Test {
protected:
  void SetUp() override {
    From = Root.Path + "/from";
    To = Root.Path + "/to";
    fs::create_directories(From);
    fs::create_directories(To);
    for (const char* name : {"a.txt", "b.txt", "c.txt"})
      std::ofstream(From + "/" + name) << name;
    std::ofstream(To + "/old.txt") << "old";
    Form.Setup();
    Form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form));
    Form.Column(0).LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt,
                                 To + "/old.txt");
    Form.Column(1).LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt,
                                 From + "/a.txt");
  }
  // Answers the file dialog with "&Okay" once it is open.
  void OkayTheFileDialog() {
    test::WhenDialogShows(&Form, [this] {
      ASSERT_NE(Form.FileForm, nullptr);
      Form.FileForm->OkayButton->click();
    });
  }
  QPoint ItemCentre(int column, int index) {
    MyTPanel* list = Form.ColumnView(column)->FileList;
    return Form.Column(column).List.ItemRect(index).center() + list->InnerOrigin();
  }

  test::TTempDir Root;
  test::TRecordingUserInterface Ui;
  std::string From, To;
  TMainForm Form;
};

TEST_F(FileDragTest, ADragFromOneColumnToAnotherOffersCopy) {
  MyTPanel* source = Form.ColumnView(1)->FileList;
  MyTPanel* target = Form.ColumnView(0)->FileList;
  const QPoint press = ItemCentre(1, 1); // b.txt
  const QPoint release = source->mapFromGlobal(target->mapToGlobal(ItemCentre(0, 0)));
  QTest::mousePress(source, Qt::LeftButton, {}, press);
  QTest::mouseMove(source, release);
  QTest::mouseRelease(source, Qt::LeftButton, {}, release);
  ASSERT_FALSE(Form.LastDragMenu.isNull()) << "the release over column 0 opens the menu";
  EXPECT_EQ(Form.ActiveColumn(), 0) << "the column of the drop is the destination";
  QAction* copy = FindAction(Form.LastDragMenu, "Copy *");
  ASSERT_NE(copy, nullptr);
  ASSERT_TRUE(copy->isEnabled());
  EXPECT_FALSE(FindAction(Form.LastDragMenu, "Enter this directory")->isEnabled())
      << "b.txt is no directory";
  OkayTheFileDialog();
  copy->trigger();
  EXPECT_EQ(Form.FileForm->windowTitle(), "Copy");
  EXPECT_TRUE(fs::exists(To + "/b.txt"));
  EXPECT_FALSE(fs::exists(To + "/a.txt")) << "only the dragged item";
  EXPECT_EQ(Form.Column(0).Count(), 2) << "the destination column shows the copy";
  EXPECT_TRUE(Ui.Errors.empty());

  // A click without moving is no drag.
  Form.LastDragMenu->close();
  QTest::mouseClick(source, Qt::LeftButton, {}, press);
  QApplication::processEvents();
  EXPECT_TRUE(Form.LastDragMenu.isNull() || !Form.LastDragMenu->isVisible());
}

TEST_F(FileDragTest, ThreeFilesDroppedFromAnotherProgram) {
  auto* data = new QMimeData;
  data->setUrls({QUrl::fromLocalFile(QString::fromStdString(From + "/a.txt")),
                 QUrl::fromLocalFile(QString::fromStdString(From + "/b.txt")),
                 QUrl::fromLocalFile(QString::fromStdString(From + "/c.txt"))});
  const QPoint at = Form.mapFromGlobal(Form.ColumnView(0)->FileList->mapToGlobal(ItemCentre(0, 0)));
  QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, {});
  QApplication::sendEvent(&Form, &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(at), Qt::CopyAction, data, Qt::LeftButton, {});
  QApplication::sendEvent(&Form, &drop);
  QApplication::processEvents();
  ASSERT_FALSE(Form.LastDragMenu.isNull());
  QMenu* menu = Form.LastDragMenu;
  EXPECT_EQ(menu->defaultAction()->text(), "External file-drag (3 items)");
  for (const char* item : {"Go to file", "Copy as", "Move as", "Add to this container *"})
    EXPECT_FALSE(FindAction(menu, item)->isEnabled()) << item;
  QAction* copy = FindAction(menu, "Copy *");
  ASSERT_TRUE(copy->isEnabled());
  OkayTheFileDialog();
  copy->trigger();
  for (const char* name : {"a.txt", "b.txt", "c.txt"})
    EXPECT_TRUE(fs::exists(To + "/" + name)) << name;
  EXPECT_TRUE(fs::exists(From + "/a.txt"));
  EXPECT_TRUE(Ui.Errors.empty());
  delete data;
}

TEST_F(FileDragTest, TheMarkedSourceColumnCopiesIntoTheActiveOne) {
  Form.FocusColumn(0);
  Form.EnableFileMenuItems({});
  QAction* heading = Form.Menus->Action("File/Inter-board/Inter-board");
  EXPECT_EQ(heading->text(), "No marked column");
  EXPECT_FALSE(Form.Menus->Action("File/Inter-board/Show File-drag menu")->isEnabled());

  Form.FocusColumn(1);
  QTest::keyClick(Form.ColumnView(1)->FileList, Qt::Key_B, Qt::ControlModifier);
  Form.FocusColumn(0);
  Form.EnableFileMenuItems({});
  EXPECT_EQ(heading->text(), "Directory \"from\"");
  OkayTheFileDialog();
  ASSERT_TRUE(Form.RunCommand("File/Inter-board/Copy *"));
  EXPECT_TRUE(fs::exists(To + "/a.txt"));
  EXPECT_TRUE(Ui.Errors.empty());
}

} // namespace
} // namespace cv
