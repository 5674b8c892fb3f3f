#include "mainwindow/DragMenu.h"

#include "columns/Column.h"
#include "filesystem/Extensions.h"

#include "../filesystem/FileTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <unistd.h>

namespace cv {
namespace {

namespace fs = std::filesystem;

// The enabled items of the "File-drag" menu by caption, whether built or not.
std::set<std::string> Enabled(uint32_t terms) {
  std::set<std::string> enabled;
  for (const TDragItem& item : FileDragItems())
    if ((item.Kind == TDragItemKind::Item || item.Kind == TDragItemKind::Menu) &&
        item.Rule.Holds(terms))
      enabled.insert(std::string(item.Caption));
  return enabled;
}

bool On(uint32_t terms, const char* caption) {
  return Enabled(terms).contains(caption);
}

class DragMenuTest : public ::testing::Test {
protected:
  void SetUp() override {
    Dir = Temp.Path;
    fs::create_directories(Dir + "/src/sub");
    fs::create_directories(Dir + "/dst");
    fs::create_directories(Dir + "/empty");
    ASSERT_TRUE(test::WriteBytes(Dir + "/src/a.txt", "alpha"));
    ASSERT_TRUE(test::WriteBytes(Dir + "/dst/b.txt", "bravo"));
    ASSERT_TRUE(test::WriteBytes(Dir + "/dst/photo.png", "png"));
    PictureFileExtensions.Add(".png");
  }
  void TearDown() override { PictureFileExtensions.Delete(".png"); }
  void Show(TColumn& column, const std::string& title) {
    column.ActiveTitle = title;
    ASSERT_TRUE(column.LoadWithFiles(title, "Name"));
    column.FocusByTitle(title, -1, false, "Name", 0, 0);
  }
  uint32_t Terms(int sourceIndex = -1) {
    return DragTerms({.Source = &Source, .Destination = &Destination, .SourceIndex = sourceIndex});
  }

  test::TTempDir Temp;
  test::TRecordingUserInterface Ui;
  std::string Dir;
  TColumn Source{0}, Destination{1};
};

TEST(DragMenuTableTest, SubmenusCloseWhereTheyShould) {
  for (const auto* items : {&FileDragItems(), &ExternalDragItems()}) {
    int depth = 0;
    std::vector<std::string> topLevel;
    for (const TDragItem& item : *items) {
      if (depth == 0 && item.Kind != TDragItemKind::Separator &&
          item.Kind != TDragItemKind::EndMenu)
        topLevel.emplace_back(item.Caption);
      if (item.Kind == TDragItemKind::Menu) ++depth;
      if (item.Kind == TDragItemKind::EndMenu) --depth;
      ASSERT_GE(depth, 0);
    }
    EXPECT_EQ(depth, 0);
    // The last items are always in the top menu, never inside a submenu.
    EXPECT_EQ(topLevel.back(), items == &FileDragItems() ? "Enter this directory" : "Move as");
  }
}

TEST_F(DragMenuTest, AFileDraggedToAnotherDirectory) {
  Show(Source, Dir + "/src/a.txt");
  Show(Destination, Dir + "/dst/b.txt");
  const uint32_t terms = Terms();
  for (const char* item : {"Copy *", "Move *", "Compare *", "Copy as", "Move as", "Insert item *",
                           "Copy as link *", "Send", "Copy as hard-link"})
    EXPECT_TRUE(On(terms, item)) << item;
  for (const char* item :
       {"Drop-copy *", "Drop-move *", "Send to program", "Steg-in", "Enter this directory"})
    EXPECT_FALSE(On(terms, item)) << item;
}

TEST_F(DragMenuTest, EdgeCasesOfTheRules) {
  // An empty source column: nothing but what needs no item; "Send" is off.
  Show(Source, Dir + "/empty/");
  Show(Destination, Dir + "/dst/b.txt");
  EXPECT_FALSE(On(Terms(), "Send"));
  EXPECT_FALSE(On(Terms(), "Copy *"));

  // A drop on the entry of the directory that holds the source.
  Show(Source, Dir + "/src/a.txt");
  Show(Destination, Dir + "/src");
  EXPECT_FALSE(On(Terms(), "Drop-copy *"));
  EXPECT_FALSE(On(Terms(), "Drop-move *"));
  EXPECT_TRUE(On(Terms(), "Drop-convert picture *"));
  Show(Destination, Dir + "/empty");
  EXPECT_TRUE(On(Terms(), "Drop-copy *"));

  // A directory is never hard-linked, nor hidden in a picture.
  Show(Source, Dir + "/src/sub");
  Show(Destination, Dir + "/dst/photo.png");
  EXPECT_FALSE(On(Terms(), "Copy as hard-link"));
  EXPECT_FALSE(On(Terms(), "Steg-in"));

  // Steg-in takes at most 1,000,000 bytes.
  for (const auto& [size, enabled] : {std::pair{1000000, true}, std::pair{1000001, false}}) {
    ASSERT_EQ(::truncate((Dir + "/src/a.txt").c_str(), size), 0);
    Show(Source, Dir + "/src/a.txt");
    EXPECT_EQ(On(Terms(), "Steg-in"), enabled) << size;
  }

  // Into a container column: "Copy *" adds items, "Move *" is not offered.
  Show(Source, Dir + "/src/a.txt");
  Destination.ContainerIndex = 3;
  EXPECT_TRUE(On(Terms(), "Copy *"));
  EXPECT_FALSE(On(Terms(), "Move *"));
  EXPECT_FALSE(On(Terms(), "Send"));
}

TEST_F(DragMenuTest, ExternalDropTerms) {
  Show(Destination, Dir + "/dst/b.txt");
  const std::vector<std::string> three = {Dir + "/src/a.txt", Dir + "/dst/b.txt",
                                          Dir + "/dst/photo.png"};
  const uint32_t terms = DropTerms(three, Destination);
  std::set<std::string> enabled;
  for (const TDragItem& item : ExternalDragItems())
    if (item.Kind == TDragItemKind::Item && item.Rule.Holds(terms))
      enabled.insert(std::string(item.Caption));
  EXPECT_EQ(enabled, (std::set<std::string>{"Copy *", "Convert picture *", "Move *"}));
  EXPECT_TRUE(DropTerms({Dir + "/dst/photo.png"}, Destination) & drPicture);
}

} // namespace
} // namespace cv
