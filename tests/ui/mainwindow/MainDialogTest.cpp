#include "mainwindow/MainDialog.h"

#include "TestSupport.h"
#include "WindowSupport.h"
#include "columns/Column.h"
#include "columns/ColumnView.h"
#include "columns/MyPanel.h"
#include "filesystem/File.h"
#include "foundation/BusyCount.h"
#include "foundation/Program.h"
#include "foundation/Registry.h"
#include "mainwindow/OptionsForm.h"
#include "options/ProgramOptions.h"

#include <QApplication>
#include <QCheckBox>
#include <QLayout>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <malloc.h>

namespace cv {
namespace {

namespace fs = std::filesystem;

class MainDialogTest : public ::testing::Test {
protected:
  void SetUp() override {
    Documents = std::string(std::getenv("HOME")) + "/Documents";
    fs::create_directories(Documents + "/sub");
    std::ofstream(Documents + "/a.txt") << "x";
  }
  std::string Documents;
  test::TRecordingUserInterface Ui;
};

TEST_F(MainDialogTest, StartsActivatesTicksAndCloses) {
  const std::string options = Program.OptionsPath();
  fs::remove(options + "Corvantide.cvo");
  fs::remove(options + "Corvantide.ini");
  {
    TMainForm form;
    EXPECT_EQ(BusyCount.Value(), 1) << "busy while the window is built";
    form.Setup();
    EXPECT_EQ(BusyCount.Value(), 0);
    EXPECT_TRUE(form.Created);
    EXPECT_TRUE(fs::exists(options + "Corvantide.cvo")) << "first run creates the board file";
    EXPECT_EQ(form.windowTitle(), "Corvantide");
    EXPECT_EQ(form.minimumSize(), QSize(790, 550));

    // Column 0 lists the partitions, column 1 the documents folder.
    EXPECT_EQ(form.Column(0).ActiveTitle, ":/");
    EXPECT_GT(form.Column(0).Count(), 0);
    EXPECT_EQ(form.Column(1).ShownPath(), Documents + "/");
    EXPECT_EQ(form.Column(1).Count(), 2);
    EXPECT_EQ(form.Column(1).HeaderCaption, Documents);
    EXPECT_EQ(form.ColumnView(1)->Header->Caption(), Documents);
    EXPECT_TRUE(form.ColumnView(1)->Header->Down()) << "column 1 is fixed";
    EXPECT_TRUE(form.ColumnView(0)->isVisibleTo(&form));
    EXPECT_FALSE(form.ColumnView(2)->isVisibleTo(&form));

    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.ApplicationEventsActivate();
    EXPECT_TRUE(form.MainTimer.isActive());
    // A file created meanwhile is marked at the next monitor check and
    // read at a forced one.
    std::ofstream(Documents + "/new.txt") << "y";
    EXPECT_TRUE(form.CheckDirMonitor(true));
    EXPECT_EQ(form.Column(1).Count(), 3);
    EXPECT_FALSE(form.Column(1).HeaderChanged);
    // The timer's own monitor check (once a second, the window active) marks
    // a later change without reading it while changed directories are not
    // reloaded...
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    const TProgramOptions saved = ProgramOptions;
    // A file made a second after the last check, then the timer's tick.
    const auto tickAfter = [&](bool reload, const char* name) {
      ProgramOptions.ReloadChangedDirectories = reload;
      std::ofstream(Documents + "/" + name) << "z";
      QTest::qWait(1100);
      form.MainTimerTimer();
    };
    tickAfter(false, "newer.txt");
    EXPECT_TRUE(form.Column(1).HeaderChanged);
    EXPECT_EQ(form.Column(1).Count(), 3);
    // ... and reads the next change at once when they are.
    tickAfter(true, "newest.txt");
    EXPECT_FALSE(form.Column(1).HeaderChanged);
    EXPECT_EQ(form.Column(1).Count(), 5);
    ProgramOptions = saved;
    EXPECT_EQ(BusyCount.Value(), 0);
    form.close();
  }
  EXPECT_TRUE(fs::exists(options + "Corvantide.ini"));
  EXPECT_TRUE(Ui.Errors.empty());
  fs::remove(Documents + "/new.txt");
  fs::remove(Documents + "/newer.txt");
  fs::remove(Documents + "/newest.txt");
}

TEST_F(MainDialogTest, ResetsLayOutTheVisibleColumnsWithoutGrowingTheHeap) {
  TMainForm form;
  form.Setup();
  form.BoardModel->SetVisibleColumns(3);
  form.Column(1).WidthAttr = 2;
  auto heapInUse = [] { return static_cast<long long>(::mallinfo2().uordblks); };
  for (int i = 0; i < 20; ++i)
    form.Reset(false); // lazy caches settle first
  const long long before = heapInUse();
  for (int i = 0; i < 500; ++i)
    form.Reset(false);
  EXPECT_LT(heapInUse() - before, 16 * 1024);
  // The views sit where the board's width arithmetic puts them, edge to edge.
  const int width = form.BoardArea()->width();
  const std::vector<TColumnPlace> places = LayoutColumnWidths(
      form.BoardModel->Shares(form.ColumnView(0)->FileList->BorderWidth()), width);
  ASSERT_EQ(places.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(form.ColumnView(i)->isVisibleTo(&form)) << i;
    EXPECT_EQ(form.ColumnView(i)->geometry(),
              QRect(places[static_cast<size_t>(i)].Left, 0, places[static_cast<size_t>(i)].Width,
                    form.BoardArea()->height()))
        << i;
  }
  EXPECT_EQ(form.ColumnView(2)->geometry().right(), width - 1);
  EXPECT_GT(form.ColumnView(1)->width(), form.ColumnView(0)->width() * 3 / 2);
  for (int i = 3; i < TMainForm::BoardColumns; ++i)
    EXPECT_FALSE(form.ColumnView(i)->isVisibleTo(&form)) << i;
}

TEST_F(MainDialogTest, OptionsDirectoryFollowsTheRegistryWhenItExists) {
  TMainForm form;
  EXPECT_EQ(form.OptionsDirectory(), Program.OptionsPath());
  test::TTempDir dir;
  ASSERT_TRUE(SetProgramRegistryText("Corvantide", "", "OptionsPath", dir.Path + "/"));
  EXPECT_EQ(form.OptionsDirectory(), dir.Path + "/");
  ASSERT_TRUE(SetProgramRegistryText("Corvantide", "", "OptionsPath", dir.Path + "/deleted"));
  EXPECT_EQ(form.OptionsDirectory(), Program.OptionsPath());
  SetProgramRegistryText("Corvantide", "", "OptionsPath", "");
}

TEST_F(MainDialogTest, CaptionCarriesSystemInformationWhenAsked) {
  TMainForm form;
  EXPECT_EQ(form.CaptionText(), "Corvantide");
  ProgramOptions.ShowSystemInfo = true;
  const std::string caption = form.CaptionText();
  ProgramOptions.ShowSystemInfo = false;
  // The name comes last and once: the window system adds it to a caption not ending in it.
  const std::string name = " — Corvantide";
  ASSERT_GT(caption.size(), name.size());
  EXPECT_EQ(caption.substr(caption.size() - name.size()), name);
  EXPECT_EQ(caption.find("Corvantide"), caption.size() - std::string("Corvantide").size());
  EXPECT_NE(caption.find(" | RAM "), std::string::npos);
}

// "O" on a column opens the options; what Okay changed reaches the window
// and the file layer at once.
TEST_F(MainDialogTest, OptionsKeyOpensTheDialogAndOkayAppliesIt) {
  ProgramOptions.SetDefaults();
  TMainForm form;
  form.Setup();
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  auto* fileBar = form.findChild<QWidget*>(QStringLiteral("FileInfoBar"));
  ASSERT_NE(fileBar, nullptr);
  EXPECT_FALSE(fileBar->isVisible());
  ASSERT_TRUE(FileUnitLoader.LocalFileTimes);

  bool opened = false;
  test::WhenDialogShows(form.OptionsForm, [&] {
    opened = form.OptionsForm->isVisible();
    form.OptionsForm->findChild<QCheckBox*>(QStringLiteral("ShowFileInfo"))->setChecked(true);
    form.OptionsForm->findChild<QCheckBox*>(QStringLiteral("ShowUniversalFileTime"))
        ->setChecked(true);
    form.OptionsForm->findChild<QPushButton*>(QStringLiteral("Okay"))->click();
  });
  QTest::keyClick(form.ColumnView(0)->FileList, Qt::Key_O);
  EXPECT_TRUE(opened);
  EXPECT_TRUE(ProgramOptions.ShowFileInfo);
  EXPECT_TRUE(fileBar->isVisible());
  EXPECT_FALSE(FileUnitLoader.LocalFileTimes);

  // Cancel leaves everything as it was.
  test::WhenDialogShows(form.OptionsForm, [&] {
    form.OptionsForm->findChild<QCheckBox*>(QStringLiteral("ShowFileInfo"))->setChecked(false);
    form.OptionsForm->findChild<QPushButton*>(QStringLiteral("Cancel"))->click();
  });
  QTest::keyClick(form.ColumnView(0)->FileList, Qt::Key_O);
  EXPECT_TRUE(fileBar->isVisible());
  ProgramOptions.SetDefaults();
  ApplyFileDisplayOptions(ProgramOptions);
}

} // namespace
} // namespace cv
