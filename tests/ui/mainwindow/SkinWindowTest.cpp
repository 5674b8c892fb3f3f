#include "mainwindow/MainDialog.h"

#include "TestSupport.h"
#include "columns/Column.h"
#include "columns/MyPanel.h"
#include "filesystem/Extensions.h"
#include "foundation/Program.h"
#include "mainwindow/SkinFile.h"
#include "mainwindow/SkinOptions.h"

#include <QImage>
#include <QMenu>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace cv {
namespace {

namespace fs = std::filesystem;

class SkinWindowTest : public ::testing::Test {
protected:
  void SetUp() override {
    SkinOptions.SetDefaults(true);
    Form.Setup();
  }
  void TearDown() override { SkinOptions.SetDefaults(true); }
  test::TRecordingUserInterface Ui;
  TMainForm Form;
};

TEST_F(SkinWindowTest, AMissingSkinIsReportedAndTheCurrentOneStays) {
  SkinOptions.WindowBackColor = 0x123456;
  SkinOptions.ToolbarButtonsStyle = "Square corners";
  Ui.Errors.clear();
  Form.ApplySkinFile(Program.SkinsPath() + "Gone.cvs");
  ASSERT_EQ(Ui.Errors.size(), 1u);
  EXPECT_NE(Ui.Errors[0].Report.find("No such file or directory"), std::string::npos)
      << Ui.Errors[0].Report;
  EXPECT_EQ(SkinOptions.WindowBackColor, 0x123456u);
  EXPECT_EQ(SkinOptions.ToolbarButtonsStyle, "Square corners");
}

TEST_F(SkinWindowTest, AShippedSkinReachesTheWindowAndItsMenu) {
  const std::string shipped = std::string(CORVANTIDE_FIXTURES) + "/../../data/skins";
  ASSERT_GE(CopyPredefinedSkins(shipped, Program.SkinsPath()), 1);
  Form.ShowSkinsMenu(true);
  ASSERT_TRUE(Form.SkinsMenu);
  const QList<QAction*> actions = Form.SkinsMenu->actions();
  ASSERT_GE(actions.size(), 6);
  EXPECT_EQ(actions[0]->text(), "Skins (full load)");
  EXPECT_EQ(actions[1]->text(), "Edit");
  EXPECT_EQ(actions[2]->text(), "Save as");
  EXPECT_EQ(actions[3]->text(), "Default");
  EXPECT_TRUE(actions[4]->isSeparator());
  ASSERT_NE(actions[5]->menu(), nullptr);
  EXPECT_EQ(actions[5]->text(), "Predefined");
  QAction* slate = nullptr;
  for (QAction* item : actions[5]->menu()->actions())
    if (item->text() == "Slate") slate = item;
  ASSERT_NE(slate, nullptr);
  Form.SkinsMenu->close();
  slate->trigger();
  EXPECT_EQ(SkinOptions.FillingColor, 0x785A4Bu); // "Fade Navy"
  EXPECT_EQ(SkinOptions.WindowBackColor, 0xE6E6E6u);
  EXPECT_TRUE(Ui.Errors.empty());

  // With Ctrl only the colours load: the button style stays.
  SkinOptions.ToolbarButtonsStyle = "Square corners";
  Form.ShowSkinsMenu(false);
  EXPECT_EQ(Form.SkinsMenu->actions()[0]->text(), "Skins (only colors)");
  Form.SkinsMenu->close();
  Form.ApplySkinFile(Program.SkinsPath() + "Predefined/Meadow.cvs");
  EXPECT_EQ(SkinOptions.ToolbarButtonsStyle, "Square corners");
  EXPECT_EQ(SkinOptions.FillingColor, 0xD7EBE6u); // "Bright Olive"
}

TEST_F(SkinWindowTest, BackPicturesComeFromRegularFilesAndBrokenOnesReportOnce) {
  test::TTempDir dir;
  Form.resize(900, 600);
  SkinOptions.UseBackPicture = true;

  QImage tile(64, 32, QImage::Format_RGB32);
  tile.fill(Qt::white);
  tile.setPixel(0, 0, qRgb(255, 0, 0));
  ASSERT_TRUE(tile.save(QString::fromStdString(dir.Path + "/tile.png")));
  Form.SetupBackPicture(dir.Path + "/tile.png");
  const QImage& picture = Form.BackPicture();
  ASSERT_FALSE(picture.isNull());
  EXPECT_EQ(picture.size(), Form.size());
  EXPECT_EQ(picture.pixel(64, 32), qRgb(255, 0, 0)) << "tiled";
  // A colour turn of the skin reaches the picture; the plain one comes back
  // when it is undone.
  SkinOptions.RotateRGBackPicture = 90;
  Form.SetupBackPicture({});
  EXPECT_NE(Form.BackPicture().pixel(64, 32), qRgb(255, 0, 0));
  SkinOptions.RotateRGBackPicture = 0;
  Form.SetupBackPicture({});
  EXPECT_EQ(Form.BackPicture().pixel(64, 32), qRgb(255, 0, 0));

  const std::string fifo = dir.Path + "/pipe.png";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  Ui.Errors.clear();
  Form.SetupBackPicture(fifo); // would hang on a reader that waits for a writer
  EXPECT_TRUE(Form.BackPicture().isNull());
  Form.SetupBackPicture(dir.Path);
  EXPECT_TRUE(Form.BackPicture().isNull());

  const std::string broken = dir.Path + "/broken.png";
  std::ofstream(broken) << "not a picture";
  Ui.Errors.clear();
  for (int width : {800, 820, 840}) {
    Form.resize(width, 600);
    Form.SetupBackPicture(broken);
  }
  EXPECT_EQ(Ui.Errors.size(), 1u) << "once per file and modification time";
  EXPECT_TRUE(Form.BackPicture().isNull());
  const auto later = fs::last_write_time(broken) + std::chrono::seconds(5);
  fs::last_write_time(broken, later);
  Form.SetupBackPicture({});
  EXPECT_EQ(Ui.Errors.size(), 2u);
}

} // namespace
} // namespace cv

namespace cv {
namespace {

TEST(SkinSettingsTest, TheCurrentSkinLivesInTheSettingsFile) {
  test::TRecordingUserInterface ui;
  SkinOptions.SetDefaults(true);
  {
    TMainForm form;
    form.Setup();
    SkinOptions.WindowBackColor = 0x123456;
    SkinOptions.ToolbarButtonsStyle = "Single oval";
    SkinOptions.BackPictureFileTitle = Program.BackPicturesPath() + "sea.jpg";
    form.close();
  }
  std::ifstream in(Program.OptionsPath() + "Corvantide.ini");
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("BackPictureFileTitle=sea.jpg\n"), std::string::npos);
  EXPECT_LT(text.find("[Skin_Main]"), text.find("[Skin_Colors]"));
  SkinOptions.SetDefaults(true);
  {
    TMainForm form;
    form.Setup();
    EXPECT_EQ(SkinOptions.WindowBackColor, 0x123456u);
    EXPECT_EQ(SkinOptions.ToolbarButtonsStyle, "Single oval");
    EXPECT_EQ(SkinOptions.BackPictureFileTitle, Program.BackPicturesPath() + "sea.jpg");
    form.close();
  }
  SkinOptions.SetDefaults(true);
  EXPECT_TRUE(ui.Errors.empty());
}

} // namespace
} // namespace cv

namespace cv {
namespace {

TEST(SkinSettingsTest, SetAsBackgroundShowsTheActivePicture) {
  test::TRecordingUserInterface ui;
  SkinOptions.SetDefaults(true);
  const std::string documents = std::string(std::getenv("HOME")) + "/Documents";
  fs::create_directories(documents);
  QImage tile(40, 30, QImage::Format_RGB32);
  tile.fill(qRgb(0, 0, 255));
  ASSERT_TRUE(tile.save(QString::fromStdString(documents + "/tile.png")));
  PictureFileExtensions.Add(".png");
  {
    TMainForm form;
    form.Setup();
    TColumn& column = form.Column(1);
    int index = -1;
    for (int i = 0; i < column.Count(); ++i)
      if (column.Items[static_cast<size_t>(i)].Title == documents + "/tile.png") index = i;
    ASSERT_GE(index, 0);
    column.FocusByIndex(index, 0);
    form.FocusColumn(1);
    ASSERT_TRUE(form.RunCommand("File/Miscellaneous/Set as background"));
    EXPECT_TRUE(SkinOptions.UseBackPicture);
    EXPECT_EQ(SkinOptions.BackPictureFileTitle, documents + "/tile.png");
    ASSERT_FALSE(form.BackPicture().isNull());
    EXPECT_EQ(form.BackPicture().pixel(45, 35), qRgb(0, 0, 255));
  }
  PictureFileExtensions.Delete(".png");
  fs::remove(documents + "/tile.png");
  SkinOptions.SetDefaults(true);
  EXPECT_TRUE(ui.Errors.empty());
}

} // namespace
} // namespace cv
