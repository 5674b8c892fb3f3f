#include "columns/MouseMenu.h"

#include "columns/ColumnPainter.h"
#include "foundation/Drawing.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QImage>
#include <QPalette>
#include <QWidget>

#include <cstdlib>
#include <memory>

namespace cv {
namespace {

constexpr TColor Back = 0x87AAB9;
constexpr TColor Text = 0xEBF5FA;
constexpr TColor Window = 0x000000;

TColor ColorAt(const QImage& image, QPoint point) {
  const QRgb pixel = image.pixel(point);
  return static_cast<TColor>(qRed(pixel) | qGreen(pixel) << 8 | qBlue(pixel) << 16);
}

// How many pixels of the rectangle have the colour.
int CountColor(const QImage& image, const QRect& rect, TColor color) {
  int count = 0;
  for (int y = rect.top(); y <= rect.bottom(); ++y)
    for (int x = rect.left(); x <= rect.right(); ++x)
      count += ColorAt(image, {x, y}) == color ? 1 : 0;
  return count;
}

class MouseMenuTest : public ::testing::Test {
protected:
  void SetUp() override {
    Parent = std::make_unique<QWidget>();
    Parent->resize(500, 400);
    QPalette palette;
    palette.setColor(QPalette::Window, ToQColor(Window));
    Parent->setPalette(palette);
    Parent->setAutoFillBackground(true);
    Parent->show();
  }

  TMouseMenu* Open(const TProgramOptions& options) {
    const QFont font = ColumnItemsFont(options);
    TMouseMenuModel model;
    EXPECT_TRUE(model.Prepare({Qt::RightButton, 0, 2, TMouseZone::Name, false}, Press,
                              QFontMetrics(font).height(), options));
    return new TMouseMenu(Parent.get(), model, Back, Text, font);
  }

  // The menu's pixels as the parent shows them.
  QImage Shot(const TMouseMenu& menu) const { return Parent->grab(menu.geometry()).toImage(); }

  QPoint GlobalOfCell(const TMouseMenu& menu, int cell) const {
    return Parent->mapToGlobal(menu.geometry().topLeft() + menu.Model().CellInner(cell).center());
  }

  std::unique_ptr<QWidget> Parent;
  QPoint Press{250, 200};
};

TEST_F(MouseMenuTest, PaintsTheNamesAndSwapsTheColoursOfTheHighlightedCell) {
  TProgramOptions options;
  options.MouseMenuOperation[6] = ""; // an empty cell shows no text
  TMouseMenu* menu = Open(options);
  const TMouseMenuModel& model = menu->Model();
  EXPECT_EQ(menu->geometry(), model.Geometry());
  EXPECT_EQ(menu->geometry().center(), Press);

  menu->Highlight(GlobalOfCell(*menu, 3));
  ASSERT_EQ(menu->Highlighted(), 3);
  const QImage image = Shot(*menu);
  ASSERT_EQ(image.size(), menu->size());

  const int w = model.CellWidth(), h = model.RowHeight();
  EXPECT_EQ(ColorAt(image, {0, 0}), Text);         // grid
  EXPECT_EQ(ColorAt(image, {w, 3 * h + 1}), Text); // middle line
  EXPECT_EQ(ColorAt(image, {2 * w, 6 * h}), Text); // last corner
  EXPECT_EQ(ColorAt(image, {1, 1}), Back);         // between the grid and the inner rectangle

  for (int cell = 0; cell < MouseMenuCells; ++cell) {
    const QRect inner = model.CellInner(cell);
    const QRect clip = model.TextClip(cell);
    const bool lit = cell == 3;
    const TColor back = lit ? Text : Back;
    const TColor ink = lit ? Back : Text;
    // The inner rectangle's last column lies right of the clipped text.
    EXPECT_EQ(ColorAt(image, inner.bottomRight()), back) << cell;
    EXPECT_EQ(ColorAt(image, inner.topLeft()), back) << cell;
    // The name: in the text colour inside its clip, nothing beyond it.
    EXPECT_EQ(CountColor(image, clip, ink) > 0, cell != 6) << cell;
    const QRect beyond(QPoint(clip.right() + 1, inner.top()), inner.bottomRight());
    EXPECT_EQ(CountColor(image, beyond, back), beyond.width() * beyond.height()) << cell;
  }
}

TEST_F(MouseMenuTest, HighlightFollowsThePointAndReleasesChooseTheCell) {
  TProgramOptions options;
  TMouseMenu* menu = Open(options);
  const QRect inner = menu->Model().CellInner(8);

  menu->Highlight(GlobalOfCell(*menu, 8));
  EXPECT_EQ(menu->Highlighted(), 8);
  EXPECT_EQ(ColorAt(Shot(*menu), inner.topLeft()), Text);
  menu->Highlight(GlobalOfCell(*menu, 1));
  EXPECT_EQ(menu->Highlighted(), 1);
  EXPECT_EQ(ColorAt(Shot(*menu), inner.topLeft()), Back); // drawn normally again
  EXPECT_EQ(menu->CellAt(GlobalOfCell(*menu, 1)), 1);

  const QPoint outside = Parent->mapToGlobal(menu->geometry().bottomRight() + QPoint(1, 1));
  menu->Highlight(outside);
  EXPECT_EQ(menu->Highlighted(), -1);
  EXPECT_EQ(menu->CellAt(outside), -1);
  EXPECT_EQ(menu->CellAt(Parent->mapToGlobal(menu->geometry().bottomRight())), 11);
}

TEST_F(MouseMenuTest, TransparencyLetsTheWindowShowThrough) {
  TProgramOptions options;
  options.MouseMenuTransparency = 40;
  TMouseMenu* menu = Open(options);
  const TColor seen = ColorAt(Shot(*menu), {1, 1});
  // 60 % of the menu's back colour over black.
  for (int shift : {0, 8, 16}) {
    const int expected = static_cast<int>((Back >> shift) & 0xFF) * 153 / 255;
    EXPECT_LE(std::abs(static_cast<int>((seen >> shift) & 0xFF) - expected), 2) << shift;
  }
}

} // namespace
} // namespace cv
