#include "foundation/StoredTextListWidgets.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QToolButton>
#include <QWidget>

#include <fstream>

namespace cv {
namespace {

class StoredTextListWidgetsTest : public ::testing::Test {
protected:
  void SetUp() override {
    FunStatContext.Reset(fsPerfect);
    ASSERT_TRUE(List.LoadFrom(Dir.Path + "/missing.ini"));
  }
  void Store(const std::string& key, const std::string& value) { List.WriteText("S", key, value); }

  test::TRecordingUserInterface Ui;
  test::TTempDir Dir;
  TStoredTextList List;
};

TEST_F(StoredTextListWidgetsTest, CheckBoxesAndSpeedButtons) {
  QCheckBox box;
  QToolButton button;
  button.setCheckable(true);
  box.setChecked(true);
  button.setChecked(true);
  ReadCheckBox(List, "S", "Box", &box);
  ReadSpeedButton(List, "S", "Button", &button);
  EXPECT_TRUE(box.isChecked());
  EXPECT_TRUE(button.isChecked());

  Store("Box", "true"); // only "TRUE" is true
  Store("Button", "FALSE");
  ReadCheckBox(List, "S", "Box", &box);
  ReadSpeedButton(List, "S", "Button", &button);
  EXPECT_FALSE(box.isChecked());
  EXPECT_FALSE(button.isChecked());

  box.setChecked(true);
  button.setChecked(true);
  WriteCheckBox(List, "S", "Box", &box);
  WriteSpeedButton(List, "S", "Button", &button);
  EXPECT_EQ(*List.Ini().Find("S", "Box"), "TRUE");
  EXPECT_EQ(*List.Ini().Find("S", "Button"), "TRUE");
}

TEST_F(StoredTextListWidgetsTest, ComboBoxes) {
  QComboBox box;
  box.addItems({"10", "Twenty", QString::fromUtf8("Grün 30")});
  struct {
    const char* Stored; // nullptr: missing
    int Index;          // ReadComboIndex with default "Twenty"
    std::string Text;   // ReadComboText starting from "10"
    int32_t Number;     // ReadComboInt starting from 10
  } const cases[] = {
      {nullptr, 1, "10", 10},
      {"Twenty", 1, "Twenty", 0},
      {"Grün 30", 2, "Grün 30", 0},
      {"twenty", 0, "10", 10}, // items compare exactly
      {"10", 0, "10", 10},
      {"", 0, "10", 10},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Stored ? c.Stored : "(missing)");
    if (c.Stored) Store("Combo", c.Stored);
    else List.EraseKey("S", "Combo");
    box.setCurrentIndex(2);
    ReadComboIndex(List, "S", "Combo", &box, "Twenty");
    EXPECT_EQ(box.currentIndex(), c.Index);
    std::string text = "10";
    ReadComboText(List, "S", "Combo", text, &box);
    EXPECT_EQ(text, c.Text);
    int32_t number = 10;
    ReadComboInt(List, "S", "Combo", number, &box);
    EXPECT_EQ(number, c.Number);
  }
  // The variable itself is the default when the key is missing.
  List.EraseKey("S", "Combo");
  std::string text = "Twenty";
  ReadComboText(List, "S", "Combo", text, &box);
  EXPECT_EQ(text, "Twenty");

  box.setCurrentIndex(2);
  WriteComboText(List, "S", "Combo", &box);
  EXPECT_EQ(*List.Ini().Find("S", "Combo"), "Grün 30");

  QComboBox empty;
  text = "kept";
  int32_t number = 7;
  ReadComboText(List, "S", "Combo", text, &empty);
  ReadComboInt(List, "S", "Combo", number, &empty);
  ReadComboIndex(List, "S", "Combo", &empty, "x");
  EXPECT_EQ(text, "kept");
  EXPECT_EQ(number, 7);
  EXPECT_EQ(empty.currentIndex(), -1);
}

TEST_F(StoredTextListWidgetsTest, FormBoundsOnAWorkAreaAwayFromTheOrigin) {
  // Left 100, top 50, 1000 x 700: x may reach 100 + 900, y 50 + 630.
  const QRect area(100, 50, 1000, 700);
  struct {
    QRect Stored, Expected;
  } const cases[] = {
      {{300, 200, 400, 300}, {300, 200, 400, 300}},
      {{100, 50, 1000, 700}, {100, 50, 1000, 700}},
      {{1000, 680, 10, 10}, {1000, 680, 10, 10}},
      {{1001, 681, 10, 10}, {100, 50, 10, 10}},
      {{99, 49, 10, 10}, {100, 50, 10, 10}},
      {{5000, 5000, 10, 10}, {100, 50, 10, 10}},
      {{-20, -20, 10, 10}, {100, 50, 10, 10}},
      // A coordinate compared with a width would refuse these two.
      {{950, 640, 10, 10}, {950, 640, 10, 10}},
      {{300, 200, 1001, 701}, {300, 200, 1000, 700}},
      {{300, 200, 0, 0}, {300, 200, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(QString("%1,%2").arg(c.Stored.x()).arg(c.Stored.y()).toStdString());
    EXPECT_EQ(FitFormBounds(c.Stored.x(), c.Stored.y(), c.Stored.width(), c.Stored.height(), area),
              c.Expected);
  }

  QWidget window;
  window.setGeometry(150, 100, 320, 240);
  const TFormBoundKeys keys{"Left", "Top", "Width", "Height"};
  List.WriteInt("Form", "Left", 5000);
  List.WriteInt("Form", "Top", 300);
  List.WriteInt("Form", "Width", 640);
  ReadFormBounds(List, "Form", &window, keys, area); // "Height" missing: keeps 240
  EXPECT_EQ(window.pos(), QPoint(100, 300));
  EXPECT_EQ(window.size(), QSize(640, 240));

  // Edges beyond the int range are refused like any other, never wrapped.
  struct {
    int64_t Left, Top, Width, Height;
    QRect Expected;
  } const extremes[] = {
      {2000000000, 2000000000, 2000000000, 2000000000, {100, 50, 1000, 700}},
      {INT32_MAX, 60, INT32_MAX, 10, {100, 60, 1000, 10}},
      {INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN, {100, 50, 1000, 700}},
      {INT64_MAX, INT64_MIN, INT64_MAX, INT64_MIN, {100, 50, 1000, 700}},
  };
  for (const auto& e : extremes) {
    SCOPED_TRACE(std::to_string(e.Left) + "," + std::to_string(e.Width));
    EXPECT_EQ(FitFormBounds(e.Left, e.Top, e.Width, e.Height, area), e.Expected);
    if (e.Left < INT32_MIN || e.Left > INT32_MAX) continue; // no stored int holds it
    List.WriteInt("Form", "Left", static_cast<int32_t>(e.Left));
    List.WriteInt("Form", "Top", static_cast<int32_t>(e.Top));
    List.WriteInt("Form", "Width", static_cast<int32_t>(e.Width));
    List.WriteInt("Form", "Height", static_cast<int32_t>(e.Height));
    QWidget stored;
    ReadFormBounds(List, "Form", &stored, keys, area);
    EXPECT_EQ(QRect(stored.pos(), stored.size()), e.Expected);
  }

  window.move(222, 333);
  window.resize(444, 155);
  WriteFormBounds(List, "Form", &window, keys);
  QWidget other;
  ReadFormBounds(List, "Form", &other, keys, area);
  EXPECT_EQ(other.pos(), QPoint(222, 333));
  EXPECT_EQ(other.size(), QSize(444, 155));
}

} // namespace
} // namespace cv
