#include "viewer/PictureViewer.h"
#include "../../core/foundation/StorageTestSupport.h"
#include "../../core/pictures/PictureTestSupport.h"
#include "TestSupport.h"
#include "columns/Column.h"
#include "foundation/Help.h"
#include "foundation/Program.h"
#include "mainwindow/MainDialog.h"
#include "options/ProgramOptions.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QTest>
#include <gtest/gtest.h>

#include <future>
#include <sys/stat.h>

namespace cv {
namespace {

class PictureViewerTest : public ::testing::Test {
protected:
  void SetUp() override {
    ProgramOptions.SetDefaults();
    test::WriteFileBytes(Dir.Path + "/a.png",
                         test::EncodePicture(test::Filled(3000, 50, Qt::red), "png"));
    test::WriteFileBytes(Dir.Path + "/b.txt", "some text\n");
    test::WriteFileBytes(Dir.Path + "/c.png",
                         test::EncodePicture(test::Filled(40, 30, Qt::blue), "png"));
    Form.Setup();
    Form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form));
    Text = Form.findChild<QPlainTextEdit*>(QStringLiteral("ViewerClient"));
    ASSERT_NE(Text, nullptr);
    Show(Dir.Path + "/a.png");
  }
  void Show(const std::string& title) {
    Form.Column(1).LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, title);
    Form.FocusColumn(1);
  }
  // The picture the viewer is busy with has come.
  bool Decoded() {
    return QTest::qWaitFor([&] { return !Form.PictureViewer->Loading(); }, 10000);
  }
  test::TRecordingUserInterface Ui;
  test::TTempDir Dir;
  TMainForm Form;
  QPlainTextEdit* Text = nullptr;
};

TEST_F(PictureViewerTest, APictureIsDecodedForTheViewerWithinItsMargins) {
  Form.ViewActiveFile();
  TPictureViewer& viewer = *Form.PictureViewer;
  ASSERT_TRUE(Decoded());
  EXPECT_TRUE(viewer.isVisible());
  EXPECT_FALSE(Text->isVisible());
  EXPECT_EQ(viewer.geometry(), Text->geometry()) << "the viewer client's place";
  // The widest picture takes the client width less both margins, no more.
  const int margin = TPictureViewer::Margin;
  EXPECT_EQ(viewer.Bitmap().width(), viewer.width() - 2 * margin);
  EXPECT_EQ(viewer.Bitmap().height(), 50 * viewer.Bitmap().width() / 3000);
  EXPECT_EQ(viewer.Facts().Image, (TPictureSize{3000, 50}));
  EXPECT_TRUE(viewer.statusTip().startsWith("|File size = ")) << viewer.statusTip().toStdString();
  EXPECT_TRUE(HelpPageText(viewer.property("HelpContext").toInt()).contains("View next"));
  // The viewer grows: the picture is decoded again for the new size.
  const int before = viewer.Bitmap().width();
  Form.resize(Form.width() + 100, Form.height());
  ASSERT_TRUE(QTest::qWaitFor([&] { return viewer.width() != before + 2 * margin; }, 5000));
  ASSERT_TRUE(Decoded());
  EXPECT_EQ(viewer.Bitmap().width(), viewer.width() - 2 * margin);
}

TEST_F(PictureViewerTest, NextAndPreviousViewTheNeighboursAndStopAtTheEnds) {
  // A file no part of the viewer shows still takes the last one's place.
  test::WriteFileBytes(Dir.Path + "/d.bin", "data");
  Show(Dir.Path + "/a.png");
  const struct {
    const char* Command;
    const char* Active;
    bool Picture;
    const char* Text;
  } steps[] = {
      {"View next", "b.txt", false, "some text\n"},
      {"View next", "c.png", true, ""},
      {"View next", "d.bin", false, ""},
      {"View next", "d.bin", false, ""},
      {"View previous", "c.png", true, ""},
      {"View previous", "b.txt", false, "some text\n"},
      {"View previous", "a.png", true, ""},
      {"View previous", "a.png", true, ""},
  };
  for (const auto& step : steps) {
    ASSERT_TRUE(Form.RunCommand(std::string("File/View & Edit/") + step.Command)) << step.Command;
    EXPECT_EQ(Form.Column(1).ActiveTitle, Dir.Path + "/" + step.Active) << step.Command;
    ASSERT_TRUE(Decoded());
    EXPECT_EQ(Form.PictureViewer->isVisible(), step.Picture) << step.Active;
    EXPECT_EQ(Text->isVisible(), !step.Picture) << step.Active;
    EXPECT_EQ(Form.PictureViewer->Title(), step.Picture ? Dir.Path + "/" + step.Active : "");
    EXPECT_EQ(Text->toPlainText().toStdString(), step.Text) << step.Active;
  }
}

TEST_F(PictureViewerTest, TheClipboardPictureIsViewedFromThePrivateDirectory) {
  QGuiApplication::clipboard()->setImage(test::Filled(20, 10, QColor(0, 255, 0)));
  ASSERT_TRUE(Form.RunCommand("File/View & Edit/View clipboard picture"));
  ASSERT_TRUE(Decoded());
  TPictureViewer& viewer = *Form.PictureViewer;
  EXPECT_TRUE(viewer.isVisible());
  const std::string title = viewer.Title();
  const std::string directory = title.substr(0, title.rfind('/'));
  struct stat facts {};
  ASSERT_EQ(::lstat(directory.c_str(), &facts), 0) << directory;
  EXPECT_TRUE(S_ISDIR(facts.st_mode));
  EXPECT_EQ(facts.st_mode & 07777, 0700u);
  EXPECT_EQ(viewer.Bitmap().size(), QSize(20, 10));
  EXPECT_EQ(viewer.Bitmap().pixel(5, 5) & 0xFFFFFF, 0x00FF00u);
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(PictureViewerTest, TheWindowGoesOnWhileAPictureIsRead) {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  TPictureViewer::BeforeDecode = [released](const std::string&) {
    released.wait_for(std::chrono::seconds(5));
  };
  Form.ViewActiveFile();
  TPictureViewer::BeforeDecode = nullptr;
  // Still reading, and the window answers meanwhile.
  QTest::qWait(100);
  EXPECT_TRUE(Form.PictureViewer->Loading());
  EXPECT_TRUE(Form.PictureViewer->Bitmap().isNull());
  ASSERT_TRUE(Form.RunCommand("File/View & Edit/View next"));
  EXPECT_EQ(Form.Column(1).ActiveTitle, Dir.Path + "/b.txt");
  EXPECT_TRUE(Text->isVisible());
  release.set_value();
  // The late picture does not take the viewer back from the text.
  QTest::qWait(300);
  EXPECT_FALSE(Form.PictureViewer->isVisible());
  EXPECT_TRUE(Form.PictureViewer->Bitmap().isNull());
}

} // namespace
} // namespace cv
