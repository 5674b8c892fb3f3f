#include "foundation/ColorDialog.h"

#include "TestSupport.h"
#include "WindowSupport.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <gtest/gtest.h>

#include <vector>

namespace cv {
namespace {

int CellOf(TColor color) {
  for (int i = 0; i < static_cast<int>(CStockColors.size()); ++i)
    if (CStockColors[static_cast<size_t>(i)].Value == color) return i;
  return -1;
}

TEST(ColorDialogTest, CellsOfTheCurrentColourAreSmallerAndTheLastRowIsBlack) {
  TColorGrid grid;
  grid.resize(130, 130); // below its minimum
  EXPECT_GE(grid.minimumSize().width(), 10 + 12 * TColorGrid::MinCell);
  EXPECT_EQ(grid.minimumSize(), grid.minimumSizeHint());
  grid.resize(310, 250); // cells of 25 x 20
  grid.SetCurrent(0x000000);
  int small = 0;
  for (int i = 0; i < TColorGrid::CellCount; ++i) {
    const QRect cell = grid.CellRect(i);
    if (i >= 132) {
      EXPECT_EQ(TColorGrid::CellColor(i), 0x000000u) << i;
    }
    EXPECT_EQ(cell.topLeft(), QPoint(5 + (i % 12) * 25, 5 + (i / 12) * 20)) << i;
    if (cell.size() == QSize(16, 13)) {
      ++small;
    } else {
      EXPECT_EQ(cell.size(), QSize(23, 18)) << i;
    }
  }
  EXPECT_EQ(small, 13) << "Black and the twelve cells past the table";
  EXPECT_EQ(grid.CellAt(grid.CellRect(CellOf(0x0000D2)).center()), CellOf(0x0000D2));
  EXPECT_EQ(TColorGrid::CellHint(CellOf(0x0000D2)),
            "Red (RGB 210-0-0; Decimal = 13762560; Hexadecimal = 0xD20000)");
}

TEST(ColorDialogTest, RightPressPreviewsWithoutRebuildingTheGrid) {
  TColorForm form;
  std::vector<TColor> previewed;
  form.Preview = [&](TColor color) { previewed.push_back(color); };
  form.SetColor(0xFFFFFF);
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  const QPointer<TColorGrid> grid = form.Grid;
  const int red = CellOf(0x0000D2), navy = CellOf(0x820000);
  QTest::mouseClick(grid, Qt::RightButton, {}, grid->CellRect(red).center());
  ASSERT_TRUE(grid);
  EXPECT_EQ(form.Grid, grid.data());
  QTest::mouseClick(grid, Qt::RightButton, {}, grid->CellRect(navy).center());
  EXPECT_EQ(previewed, (std::vector<TColor>{0x0000D2, 0x820000}));
  EXPECT_EQ(form.Color(), 0x820000u);
  EXPECT_LT(grid->CellRect(navy).width(), grid->CellRect(red).width());
  EXPECT_TRUE(form.isVisible());
  EXPECT_FALSE(form.Chosen);
  EXPECT_TRUE(form.PreviewText->text().startsWith("Navy (RGB 0-0-130"));
  QTest::mouseClick(grid, Qt::LeftButton, {}, grid->CellRect(red).center());
  EXPECT_TRUE(form.Chosen);
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(form.Color(), 0x0000D2u);
}

TEST(ColorDialogTest, EscapeAfterAPreviewHandsBackThePreviewedColour) {
  QWidget owner;
  TColor color = 0xFFFFFF;
  int previews = 0;
  test::WhenDialogShows(&owner, [&] {
    auto* form = qobject_cast<TColorForm*>(QApplication::activeModalWidget());
    ASSERT_NE(form, nullptr);
    QTest::mouseClick(form->Grid, Qt::RightButton, {},
                      form->Grid->CellRect(CellOf(0x820000)).center());
    QTest::keyClick(form, Qt::Key_Escape);
  });
  EXPECT_FALSE(ColorFormDialog(color, [&](TColor) { ++previews; }));
  EXPECT_EQ(color, 0x820000u);
  EXPECT_EQ(previews, 1);
}

TEST(ColorDialogTest, PanelHintsAndTheMiddleButtonDefault) {
  TColorPanel panel(0xBEBEBE);
  panel.SetColor(0x123456);
  EXPECT_TRUE(panel.toolTip().startsWith(" (RGB 86-52-18;")) << panel.toolTip().toStdString();
  EXPECT_TRUE(ChooseColorForPanel(panel, Qt::MiddleButton, {}));
  EXPECT_EQ(panel.Color(), 0xBEBEBEu);
  EXPECT_TRUE(panel.toolTip().startsWith("Silver (RGB 190-190-190;"));
}

} // namespace
} // namespace cv
