#include "mainwindow/SkinFile.h"

#include "foundation/StoredTextList.h"
#include "mainwindow/SystemMenus.h"

#include "SkinSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <tuple>

namespace cv {
namespace {

const std::string CPictures = "/data/Options/BackPictures/";

void WriteFile(const std::string& title, const std::string& text) {
  std::ofstream(title, std::ios::binary) << text;
}

std::string ReadFile(const std::string& title) {
  std::ifstream in(title, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TStoredTextList ListOf(const std::string& text) {
  test::TTempDir dir;
  const std::string title = dir.Path + "/skin.cvs";
  WriteFile(title, text);
  TStoredTextList list;
  list.LoadFrom(title);
  return list;
}

bool SameColors(const TSkinOptions& a, const TSkinOptions& b) {
  for (const TSkinColorField& color : SkinColorFields)
    if (a.*color.Field != b.*color.Field) return false;
  return true;
}

TEST(SkinFileTest, ListValuesOutsideTheirListsReadAsTheFirst) {
  const TStoredTextList list = ListOf("[Skin_Main]\n"
                                      "FadeBackPicture=7\n"
                                      "RotateRGBackPicture=7\n"
                                      "RotateGBBackPicture=-35\n"
                                      "RotateBRBackPicture=abc\n"
                                      "GammaBackPicture=0\n"
                                      "ControlMarginTransp=35\n"
                                      "ControlBackTransp=90\n"
                                      "ToolbarButtonsStyle=Oval\n"
                                      "NonOvalButtonsStyle=Bottom edge\n");
  TSkinOptions skin = test::ChangedSkin();
  ReadSkin(list, skin, true, CPictures);
  EXPECT_EQ(skin.FadeBackPicture, 0);
  EXPECT_EQ(skin.RotateRGBackPicture, -180);
  EXPECT_EQ(skin.RotateGBBackPicture, -35);
  EXPECT_EQ(skin.RotateBRBackPicture, -180);
  EXPECT_EQ(skin.GammaBackPicture, 1);
  EXPECT_EQ(skin.ControlMarginTransp, 0);
  EXPECT_EQ(skin.ControlBackTransp, 90);
  EXPECT_EQ(skin.ToolbarButtonsStyle, "Round corners");
  EXPECT_EQ(skin.NonOvalButtonsStyle, "Bottom edge");
  // Missing keys went back to their defaults, the empty picture into the directory.
  EXPECT_FALSE(skin.UseBackPicture);
  EXPECT_EQ(skin.BackPictureFileTitle, CPictures);
  EXPECT_TRUE(SameColors(skin, TSkinOptions()));
}

TEST(SkinFileTest, ColoursAboveThreeBytesAreRefusedAndTheOthersStillRead) {
  const TStoredTextList list = ListOf("[Skin_Colors]\n"
                                      "FillingColor=16777216\n"
                                      "ButtonBackColor=$1FFFFFF\n"
                                      "SelectionTextColor=red\n"
                                      "GridColor=$FF\n"
                                      "FilesTextColor=16777215\n");
  TSkinOptions skin = test::ChangedSkin();
  ReadSkin(list, skin, false, CPictures);
  EXPECT_EQ(FunStatContext.Description, "Invalid color value.");
  EXPECT_EQ(FunStatContext.Parameter1, "16777216") << "the first refusal is reported";
  FunStatContext.Reset(fsPerfect);
  const TSkinOptions defaults;
  EXPECT_EQ(skin.FillingColor, defaults.FillingColor);
  EXPECT_EQ(skin.ButtonBackColor, defaults.ButtonBackColor);
  EXPECT_EQ(skin.SelectionTextColor, 0x0000D2u);
  EXPECT_EQ(skin.GridColor, 0x0000FFu);
  EXPECT_EQ(skin.FilesTextColor, 0xFFFFFFu);
  // Only colours were loaded: the rest of the skin stayed.
  EXPECT_EQ(test::SkinMainValues(skin), test::SkinMainValues(test::ChangedSkin()));
}

TEST(SkinFileTest, RoundTripWritesPicturesOfTheirDirectoryByName) {
  struct TCase {
    std::string Title, Stored;
  };
  const TCase cases[] = {
      {CPictures + "sea.jpg", "sea.jpg"},
      {"/DATA/options/backpictures/Sea.jpg", "Sea.jpg"}, // compared ignoring case
      {CPictures + "sub/sea.jpg", CPictures + "sub/sea.jpg"},
      {"/elsewhere/sea.jpg", "/elsewhere/sea.jpg"},
  };
  for (const TCase& c : cases) {
    TSkinOptions skin = test::ChangedSkin();
    skin.BackPictureFileTitle = c.Title;
    TStoredTextList list;
    list.EraseAll();
    WriteSkin(list, skin, CPictures);
    const std::string* stored = list.Ini().Find("Skin_Main", "BackPictureFileTitle");
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(*stored, c.Stored);
    TSkinOptions read;
    ReadSkin(list, read, true, CPictures);
    EXPECT_FALSE(FunStatContext.Failed());
    const std::string expected =
        c.Stored.find('/') == std::string::npos ? CPictures + c.Stored : c.Title;
    EXPECT_EQ(read.BackPictureFileTitle, expected);
    read.BackPictureFileTitle = skin.BackPictureFileTitle;
    EXPECT_EQ(test::SkinMainValues(read), test::SkinMainValues(skin)) << c.Title;
    EXPECT_TRUE(SameColors(read, skin)) << c.Title;
  }
}

TEST(SkinFileTest, MissingFileIsReportedAndLeavesTheSkinAlone) {
  test::TTempDir dir;
  const std::string missing = dir.Path + "/Gone.cvs";
  TSkinOptions skin = test::ChangedSkin();
  EXPECT_FALSE(LoadSkinFile(missing, skin, true, CPictures));
  EXPECT_EQ(FunStatContext.SystemErrorCode, static_cast<uint32_t>(ENOENT));
  EXPECT_EQ(FunStatContext.Parameter1, missing);
  FunStatContext.Reset(fsPerfect);
  EXPECT_EQ(test::SkinMainValues(skin), test::SkinMainValues(test::ChangedSkin()));
  EXPECT_TRUE(SameColors(skin, test::ChangedSkin()));

  // A directory in its place cannot be read: the load shows that, the skin stays.
  test::TRecordingUserInterface ui;
  ASSERT_EQ(::mkdir(missing.c_str(), 0700), 0);
  EXPECT_FALSE(LoadSkinFile(missing, skin, true, CPictures));
  EXPECT_EQ(ui.Errors.size(), 1u);
  EXPECT_EQ(test::SkinMainValues(skin), test::SkinMainValues(test::ChangedSkin()));
}

TEST(SkinFileTest, LoadAppliesWhatReadsEvenPastARefusedColour) {
  test::TTempDir dir;
  const std::string title = dir.Path + "/Half.cvs";
  WriteFile(title, "[Skin_Main]\nToolbarButtonsStyle=Single oval\n"
                   "[Skin_Colors]\nWindowBackColor=99999999\nWindowTextColor=Navy\n");
  TSkinOptions skin = test::ChangedSkin();
  EXPECT_TRUE(LoadSkinFile(title, skin, true, CPictures));
  EXPECT_EQ(FunStatContext.Description, "Invalid color value.");
  FunStatContext.Reset(fsPerfect);
  EXPECT_EQ(skin.ToolbarButtonsStyle, "Single oval");
  EXPECT_EQ(skin.WindowBackColor, TSkinOptions().WindowBackColor);
  EXPECT_EQ(skin.WindowTextColor, 0x820000u);
}

TEST(SkinFileTest, SaveReplacesTheWholeFile) {
  test::TTempDir dir;
  const std::string title = dir.Path + "/Mine.cvs";
  WriteFile(title, "[Other]\nKey=1\n[Skin_Main]\nStray=yes\nUseBackPicture=FALSE\n");
  const TSkinOptions skin = test::ChangedSkin();
  ASSERT_TRUE(SaveSkinFile(title, skin, CPictures));
  const std::string text = ReadFile(title);
  EXPECT_EQ(text.find("Other"), std::string::npos) << text;
  EXPECT_EQ(text.find("Stray"), std::string::npos) << text;
  EXPECT_EQ(text.rfind("[Skin_Main]\nUseBackPicture=TRUE\n", 0), 0u) << text;
  TSkinOptions read;
  ASSERT_TRUE(LoadSkinFile(title, read, true, CPictures));
  EXPECT_EQ(test::SkinMainValues(read), test::SkinMainValues(skin));
  EXPECT_TRUE(SameColors(read, skin));
}

TEST(SkinFileTest, NamesOfSavedSkins) {
  EXPECT_EQ(WithSkinExtension("/s/Blue"), "/s/Blue.cvs");
  EXPECT_EQ(WithSkinExtension("/s.d/Blue"), "/s.d/Blue.cvs");
  EXPECT_EQ(WithSkinExtension("/s/Blue.ini"), "/s/Blue.ini");
  TSkinOptions skin;
  EXPECT_EQ(ProposedSkinName(skin), "White");
  skin.WindowBackColor = 0x123456;
  EXPECT_EQ(ProposedSkinName(skin), "*");
}

TEST(SkinFileTest, PredefinedSkinsAreCopiedOnlyWhenMissing) {
  test::TTempDir source, skins;
  WriteFile(source.Path + "/Blue.cvs", "[Skin_Colors]\nFillingColor=Blue\n");
  WriteFile(source.Path + "/Green.cvs", "[Skin_Colors]\nFillingColor=Green\n");
  WriteFile(source.Path + "/readme.txt", "not a skin");
  const std::string predefined = skins.Path + "/Predefined/";
  ASSERT_EQ(::mkdir(predefined.c_str(), 0700), 0);
  WriteFile(predefined + "Blue.cvs", "edited by the user");
  EXPECT_EQ(CopyPredefinedSkins(source.Path, skins.Path), 1);
  EXPECT_EQ(ReadFile(predefined + "Blue.cvs"), "edited by the user");
  EXPECT_EQ(ReadFile(predefined + "Green.cvs"), "[Skin_Colors]\nFillingColor=Green\n");
  EXPECT_NE(::access((predefined + "readme.txt").c_str(), F_OK), 0);
  EXPECT_EQ(CopyPredefinedSkins(source.Path, skins.Path), 0);
  EXPECT_FALSE(FunStatContext.Failed());
}

TEST(SkinFileTest, ShippedSkinsReadWithoutFailureAndDiffer) {
  const std::string shipped = std::string(CORVANTIDE_FIXTURES) + "/../../data/skins";
  test::TTempDir skins;
  ASSERT_GE(CopyPredefinedSkins(shipped, skins.Path), 3);
  const std::vector<TFileMenuEntry> menu = ReadFileMenu(skins.Path, TFileMenuKind::Skins);
  ASSERT_EQ(menu.size(), 1u);
  EXPECT_EQ(menu[0].Caption, "Predefined");
  std::vector<TSkinOptions> read;
  for (const TFileMenuEntry& entry : menu[0].Children) {
    EXPECT_EQ(entry.Caption.find(".cvs"), std::string::npos);
    TSkinOptions skin;
    ASSERT_TRUE(LoadSkinFile(entry.Title, skin, true, CPictures)) << entry.Title;
    EXPECT_FALSE(FunStatContext.Failed()) << entry.Title << FunStatContext.Parameter1;
    EXPECT_FALSE(SameColors(skin, TSkinOptions())) << entry.Title;
    for (const TSkinOptions& other : read)
      EXPECT_FALSE(SameColors(skin, other)) << entry.Title;
    read.push_back(skin);
  }
}

TEST(SkinFileTest, SkinsMenuTakesSkinFilesOnly) {
  test::TTempDir skins;
  WriteFile(skins.Path + "/b.cvs", "");
  WriteFile(skins.Path + "/A.CVS", "");
  WriteFile(skins.Path + "/notes.txt", "");
  WriteFile(skins.Path + "/.cvs", "");
  ASSERT_EQ(::mkdir((skins.Path + "/Empty").c_str(), 0700), 0);
  const std::vector<TFileMenuEntry> menu = ReadFileMenu(skins.Path, TFileMenuKind::Skins);
  ASSERT_EQ(menu.size(), 2u);
  EXPECT_EQ(menu[0].Caption, "A");
  EXPECT_EQ(menu[0].Title, skins.Path + "/A.CVS");
  EXPECT_EQ(menu[1].Caption, "b");
}

} // namespace
} // namespace cv
