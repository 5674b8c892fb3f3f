// The window's panels as the layout places them.

#include "mainwindow/MainDialog.h"

#include "columns/Column.h"
#include "columns/ColumnView.h"
#include "columns/MyPanel.h"
#include "filesystem/File.h"
#include "foundation/Program.h"
#include "mainwindow/InfoBar.h"
#include "options/ProgramOptions.h"
#include "TestSupport.h"

#include <QCursor>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>

namespace cv {
namespace {

class MainLayoutWindowTest : public ::testing::Test {
protected:
  void SetUp() override {
    ProgramOptions.SetDefaults();
    Form.Setup();
    Form.resize(1000, 700);
    Form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form));
    Form.Reset(false);
  }
  void TearDown() override { ProgramOptions.SetDefaults(); }
  QWidget* Find(const char* name) { return Form.findChild<QWidget*>(QString::fromLatin1(name)); }

  test::TRecordingUserInterface Ui;
  TMainForm Form;
};

TEST_F(MainLayoutWindowTest, BarsTakeTheirRoomFromTheWorkArea) {
  QWidget* work = Find("WorkArea");
  QWidget* hint = Find("HintBar");
  ASSERT_TRUE(work && hint);
  EXPECT_TRUE(hint->isVisible());
  EXPECT_EQ(work->geometry().bottom() + 1 <= hint->geometry().top(), true);
  const int height = work->height();

  EXPECT_TRUE(Form.RunCommand("Work/Layout/Toggle column info bar"));
  EXPECT_TRUE(Find("ColumnInfoBar")->isVisible());
  EXPECT_LT(work->height(), height);
  EXPECT_TRUE(Form.RunCommand("Work/Layout/Toggle column info bar"));
  EXPECT_EQ(work->height(), height);

  // Ctrl+F8 hides the hint bar and gives its room to the work area.
  QTest::keyClick(Form.ColumnView(0)->FileList, Qt::Key_F8, Qt::ControlModifier);
  EXPECT_FALSE(hint->isVisible());
  EXPECT_GT(work->height(), height);
  QTest::keyClick(Form.ColumnView(0)->FileList, Qt::Key_F8, Qt::ControlModifier);
  EXPECT_EQ(work->height(), height);

  ProgramOptions.ShowBoardsBar = true;
  Form.Reset(false);
  EXPECT_TRUE(Find("BoardsBar")->isVisible());
  EXPECT_LT(work->height(), height);
  EXPECT_GT(work->y(), Find("Toolbar")->geometry().bottom());
  EXPECT_TRUE(Form.RunCommand("Work/Layout/Maximize columns height"));
  EXPECT_FALSE(Find("BoardsBar")->isVisible());
  EXPECT_FALSE(hint->isVisible());
  EXPECT_GT(work->height(), height);
}

TEST_F(MainLayoutWindowTest, TheSizeFieldShowsTheLongestSizeUnshortened) {
  ProgramOptions.ShowFileInfo = true;
  auto* bar = Form.findChild<TInfoBar*>(QStringLiteral("FileInfoBar"));
  ASSERT_TRUE(bar);
  const bool units = FileUnitLoader.SizeUnits;
  for (const QSize size : {QSize(1000, 700), Form.minimumSize()})
    for (const bool withUnits : {true, false}) {
      FileUnitLoader.SizeUnits = withUnits;
      Form.resize(size);
      Form.Reset(false);
      // A 20-digit size; with units, the widest a unit's value gets.
      for (const uint64_t bytes : {UINT64_MAX, (uint64_t{1} << 30) - 1}) {
        const std::string text =
            "Sz " + GetSizeText(6, 0, bytes) + " (" + GetSizeText(6, 0, bytes) + ")";
        bar->Field(1)->SetCaption(text);
        EXPECT_EQ(bar->Field(1)->ShownCaption().toStdString(), text)
            << size.width() << " units " << withUnits;
      }
      // The title field gave the room, and the bar still holds every field.
      EXPECT_EQ(bar->Field(6)->geometry().right(), bar->width() - 3);
    }
  FileUnitLoader.SizeUnits = units;
}

TEST_F(MainLayoutWindowTest, TheTreeSplitterResizesWithinItsLimits) {
  Form.Boards.Active().ShowTreeNavigator = true;
  Form.Reset(false);
  auto* tree = Find("TreePanel");
  auto* splitter = qobject_cast<MyTPanel*>(Find("TreeSplitter"));
  ASSERT_TRUE(tree && splitter);
  EXPECT_TRUE(tree->isVisible());
  EXPECT_EQ(tree->width(), Form.TreeNavigatorWidth);
  const int third = Form.width() / 3;
  struct TDrag {
    int Offset;
    int Width;
  } const drags[] = {{-40, 260}, {-500, 100}, {+1000, third}, {-1, third - 1}};
  for (const TDrag& drag : drags) {
    splitter->OnSplitterClick(drag.Offset);
    EXPECT_EQ(Form.TreeNavigatorWidth, drag.Width) << drag.Offset;
    EXPECT_EQ(tree->width(), drag.Width) << drag.Offset;
    EXPECT_EQ(Find("BoardArea")->x(), drag.Width) << "the board area follows";
  }
  // A right click on the splitter hides the navigator.
  QTest::mouseClick(splitter, Qt::RightButton, {}, QPoint(3, 20));
  EXPECT_FALSE(Form.Boards.Active().ShowTreeNavigator);
  EXPECT_FALSE(tree->isVisible());
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(MainLayoutWindowTest, TheItemUnderTheMouseIsHotWhenAsked) {
  ProgramOptions.HotTrackColumnItems = true;
  Form.ApplyOptions();
  MyTPanel* list = Form.ColumnView(0)->FileList;
  ASSERT_GT(Form.Column(0).Count(), 0);
  const QPoint item = Form.Column(0).List.ItemRect(0).center() + list->InnerOrigin();
  ASSERT_TRUE(list->OnMouseMove);
  QMouseEvent move(QEvent::MouseMove, item, list->mapToGlobal(item), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  list->OnMouseMove(move, item - list->InnerOrigin());
  EXPECT_EQ(list->HotItem(), 0);
  // The mouse is no longer over it (the cursor is elsewhere): the main
  // timer's check takes the hot mark away.
  QCursor::setPos(Form.mapToGlobal(QPoint(Form.width() - 2, Form.height() - 2)));
  Form.MainTimerTimer();
  EXPECT_EQ(list->HotItem(), -1);
}

TEST_F(MainLayoutWindowTest, TheUserLogoIsTheFirstUserLogoPicture) {
  const std::string title = Program.OptionsPath() + "UserLogo.png";
  QImage logo(40, 20, QImage::Format_RGB32);
  logo.fill(Qt::red);
  ASSERT_TRUE(logo.save(QString::fromStdString(title)));
  ProgramOptions.ShowUserLogo = true;
  Form.ApplyOptions();
  QWidget* shown = Find("UserLogo");
  ASSERT_NE(shown, nullptr);
  EXPECT_TRUE(shown->isVisible());
  EXPECT_GT(shown->x(), Find("HelpButton")->geometry().right()) << "at the toolbar's right end";
  // The picture is rendered off the window's thread, then painted from the cache.
  const auto red = [&] {
    const QImage painted = shown->grab().toImage();
    return painted.pixelColor(2, 2) == QColor(Qt::red); // drawn at the top-left, not enlarged
  };
  EXPECT_TRUE(QTest::qWaitFor(red, 5000));
  ProgramOptions.ShowUserLogo = false;
  Form.ApplyOptions();
  EXPECT_FALSE(shown->isVisible());
  std::remove(title.c_str());
}

} // namespace
} // namespace cv
