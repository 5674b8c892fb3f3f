#include "mainwindow/SkinEditorForm.h"

#include "SkinSupport.h"
#include "TestSupport.h"
#include "WindowSupport.h"
#include "mainwindow/SkinFile.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QImage>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <fstream>
#include <vector>

namespace cv {
namespace {

TEST(SkinEditorTest, ControlsCarryEveryValue) {
  TSkinEditorForm form;
  ASSERT_EQ(form.Pages->count(), 2);
  EXPECT_EQ(form.Pages->tabText(0), "General");
  EXPECT_EQ(form.Pages->tabText(1), "Colors");
  ASSERT_EQ(form.ColorPanels.size(), SkinColorFields.size());
  const TSkinOptions changed = test::ChangedSkin();
  form.OptionsToControls(changed);
  TSkinOptions read;
  form.ControlsToOptions(read);
  read.BackPictureFileTitle = changed.BackPictureFileTitle; // not a control's value
  EXPECT_EQ(read.UseBackPicture, changed.UseBackPicture);
  EXPECT_EQ(read.FadeBackPicture, 40);
  EXPECT_EQ(read.RotateRGBackPicture, -90);
  EXPECT_EQ(read.RotateGBBackPicture, 45);
  EXPECT_EQ(read.RotateBRBackPicture, 180);
  EXPECT_EQ(read.GammaBackPicture, 250);
  EXPECT_EQ(read.ControlMarginTransp, 30);
  EXPECT_EQ(read.ControlBackTransp, 70);
  EXPECT_EQ(read.ToolbarButtonsStyle, "Square corners");
  EXPECT_EQ(read.NonOvalButtonsStyle, "Top edge");
  EXPECT_TRUE(read.StretchBackPicture && read.FitBeforeTileBackPicture && read.TransparentColumns);
  for (const TSkinColorField& color : SkinColorFields)
    EXPECT_EQ(read.*color.Field, changed.*color.Field) << color.Key;
}

TEST(SkinEditorTest, EachChangeIsAppliedAtOnceReloadingThePictureOnlyWhenItShows) {
  TSkinEditorForm form;
  TSkinOptions skin;
  form.Skin = &skin;
  form.OptionsToControls(skin);
  std::vector<bool> applied;
  form.OnChange = [&](bool reload) { applied.push_back(reload); };

  form.Fade->setCurrentText("50"); // no picture shown: nothing to reload
  form.ToolbarStyle->setCurrentText("Single oval");
  form.UseBackPicture->setChecked(true);
  form.Gamma->setCurrentText("200");
  form.StretchBackPicture->setChecked(true);
  form.FitBeforeTile->setChecked(true); // ignored while stretching
  EXPECT_EQ(applied, (std::vector<bool>{false, false, true, true, true}));
  EXPECT_EQ(skin.FadeBackPicture, 50);
  EXPECT_EQ(skin.GammaBackPicture, 200);
  EXPECT_EQ(skin.ToolbarButtonsStyle, "Single oval");
  EXPECT_FALSE(skin.FitBeforeTileBackPicture);

  // A middle press gives a panel its default; the fade colour reloads.
  applied.clear();
  form.ColorPanels[0]->SetColor(0x123456);
  form.ColorPanels[14]->SetColor(0x654321);
  QTest::mouseClick(form.ColorPanels[14], Qt::MiddleButton);
  QTest::mouseClick(form.ColorPanels[0], Qt::MiddleButton);
  EXPECT_EQ(applied, (std::vector<bool>{false, true}));
  EXPECT_EQ(skin.WindowTextColor, TSkinOptions().WindowTextColor);
  EXPECT_EQ(skin.FadeColor, TSkinOptions().FadeColor);
  EXPECT_EQ(skin.ToolbarButtonsStyle, "Single oval") << "the rest stays";
  EXPECT_TRUE(form.ColorPanels[0]->toolTip().startsWith("White (RGB 255-255-255;"));
  EXPECT_TRUE(form.ColorPanels[0]->toolTip().endsWith("reloaded every time this is changed."));
}

TEST(SkinEditorTest, RecommendShowsTheTurnsAndLeavesTheListsAlone) {
  test::TTempDir dir;
  test::TRecordingUserInterface ui;
  QImage picture(8, 8, QImage::Format_RGB32);
  picture.fill(qRgb(200, 40, 40));
  const std::string title = dir.Path + "/red.png";
  ASSERT_TRUE(picture.save(QString::fromStdString(title)));
  TSkinEditorForm form;
  TSkinOptions skin;
  skin.BackPictureFileTitle = title;
  skin.FadeColor = 0xFF0000; // blue, as 0x00BBGGRR
  form.Skin = &skin;
  form.OptionsToControls(skin);
  QTest::mouseClick(form.RecommendRotations, Qt::LeftButton);
  ASSERT_EQ(ui.Boxes.size(), 1u);
  EXPECT_NE(ui.Boxes[0].Text.find("Background picture tint -> fade color"), std::string::npos);
  EXPECT_EQ(skin.RotateRGBackPicture, 0);
  EXPECT_EQ(skin.RotateBRBackPicture, 0);

  skin.BackPictureFileTitle = dir.Path + "/missing.png";
  QTest::mouseClick(form.RecommendRotations, Qt::LeftButton);
  ASSERT_EQ(ui.Errors.size(), 1u);
  EXPECT_EQ(ui.Errors[0].Description.rfind("Failed to recommend values.", 0), 0u)
      << ui.Errors[0].Description;
}

TEST(SkinEditorTest, SaveAsAsksBeforeOverwritingTheFinalName) {
  test::TTempDir skins;
  std::ofstream(skins.Path + "/Blue.cvs") << "[Skin_Colors]\n";
  QWidget owner;
  bool asked = false;
  test::WhenDialogShows(&owner, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    // The question comes while the dialog accepts.
    test::WhenDialogShows(&owner, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      asked = box->text().contains("Blue.cvs");
      box->button(QMessageBox::Yes)->click();
    });
    dialog->selectFile("Blue");
    QMetaObject::invokeMethod(dialog, "accept");
  });
  EXPECT_EQ(ChooseSkinFileToSave(&owner, skins.Path + "/", "White"), skins.Path + "/Blue.cvs");
  EXPECT_TRUE(asked);
}

} // namespace
} // namespace cv
