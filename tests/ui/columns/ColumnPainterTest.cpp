#include "columns/ColumnPainter.h"

#include "columns/Column.h"
#include "columns/MyPanel.h"

#include "AllocationCounter.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

namespace cv {
namespace {

constexpr int Border = 5;
constexpr int ListWidth = 300;

TColor ColorAt(const QImage& image, int x, int y) {
  const QRgb pixel = image.pixel(x, y);
  return static_cast<TColor>(qRed(pixel) | qGreen(pixel) << 8 | qBlue(pixel) << 16);
}

TFileListData Item(const std::string& title, int type, bool selected = false, bool exists = true,
                   int containerData = 0) {
  TFileListData item;
  item.Title = title;
  item.Type = type;
  item.Selected = selected;
  item.Exists = exists;
  item.ContainerData = containerData;
  return item;
}

// ---- Measures and texts ----------------------------------------------------------

class ColumnPainterMeasureTest : public ::testing::Test {
protected:
  void SetUp() override { Options = TProgramOptions(); }
  TProgramOptions Options;
};

TEST_F(ColumnPainterMeasureTest, RowHeightTypeFieldAndItemHeight) {
  const int fontHeight = QFontMetrics(ColumnItemsFont(Options)).height();
  for (int extra : {0, 4, 9}) {
    Options.ItemsExtraHeight = extra;
    EXPECT_EQ(ColumnRowHeight(Options), fontHeight + extra + 1);
  }
  Options.ItemsExtraHeight = 4;
  const int h = ColumnRowHeight(Options);

  struct TCase {
    bool ShowFileType;
    bool ShowExtInType;
    int FileTypeWidth;
    int Expected;
  };
  const TCase cases[] = {
      {false, true, 150, 0},
      {true, false, 150, h},            // at most 100 without the extension
      {true, true, 150, h * 150 / 100}, // truncated
      {true, false, 37, h * 37 / 100},
      {true, true, 0, 0},
      {true, true, -20, 0},
  };
  for (const TCase& c : cases) {
    Options.ShowFileType = c.ShowFileType;
    Options.ShowExtInType = c.ShowExtInType;
    Options.FileTypeWidth = c.FileTypeWidth;
    EXPECT_EQ(ColumnTypeFieldWidth(h, Options), c.Expected)
        << c.ShowFileType << c.ShowExtInType << " " << c.FileTypeWidth;
  }

  TColumn column(0);
  EXPECT_EQ(ColumnItemHeight(column, Options), h);
  column.ThumbAttr = true;
  column.ThumbHeight = 3;
  EXPECT_EQ(ColumnItemHeight(column, Options), 5 * h);
  column.ThumbHeight = 30;
  EXPECT_EQ(ColumnItemHeight(column, Options), 32 * h);
}

// Stored values far out of range must not wrap the measures negative.
TEST_F(ColumnPainterMeasureTest, HugeStoredHeightsStayInRange) {
  const struct {
    int ExtraHeight;
    int ThumbHeight;
    int64_t Row, Item; // -1: the font's own row height
  } cases[] = {
      {INT32_MAX, 3, INT32_MAX, INT32_MAX},
      {0, INT32_MAX, -1, INT32_MAX},
      {INT32_MIN, 3, 1, 5},
  };
  const int fontRow = QFontMetrics(ColumnItemsFont(Options)).height() + 1;
  for (const auto& c : cases) {
    Options.ItemsExtraHeight = c.ExtraHeight;
    TColumn column(0);
    column.ThumbAttr = true;
    column.ThumbHeight = c.ThumbHeight;
    EXPECT_EQ(ColumnRowHeight(Options), c.Row < 0 ? fontRow : c.Row) << c.ExtraHeight;
    EXPECT_EQ(ColumnItemHeight(column, Options), c.Item) << c.ThumbHeight;
  }
}

// Every painted row asks for the font and the measures: once made they
// cost no allocation, and a new font size is still followed.
TEST_F(ColumnPainterMeasureTest, RowMeasuresAllocateNothingAndFollowTheFont) {
  const QRect row(0, 0, 200, 40);
  ColumnItemLayout(row, Options);
  long allocations = 0;
  int height = 0;
  {
    test::TAllocationCounter counter;
    for (int i = 0; i < 50; ++i) {
      const QFont font = ColumnItemsFont(Options);
      height += ColumnItemLayout(row, Options).RowHeight - ColumnRowHeight(Options);
    }
    allocations = counter.Count();
  }
  EXPECT_EQ(height, 0);
  EXPECT_EQ(allocations, 0);

  const int small = ColumnRowHeight(Options);
  Options.ItemsFontSize = 40;
  EXPECT_GT(ColumnRowHeight(Options), small);
  EXPECT_EQ(ColumnRowHeight(Options),
            QFontMetrics(ColumnItemsFont(Options)).height() + Options.ItemsExtraHeight + 1);
}

TEST(ColumnPainterTextTest, NameRowAndTypeFieldTexts) {
  const TPartitionSuffix suffix = [](const std::string& title) {
    return title == ":/media/stick" ? std::string(" (Removable)") : std::string();
  };
  struct TCase {
    TFileListData Item;
    bool TypeField;
    bool ExtInType;
    std::string Name;
    std::string TypeText;
  };
  const TCase cases[] = {
      {Item("/home/u/docs", fltDirectory), false, false, "\xC2\xBB docs", "\xC2\xBB "},
      {Item("/home/u/docs", fltDirectory), true, false, "docs", "\xC2\xBB "},
      {Item("/home/u/my.dir", fltDirectory), true, true, "my.dir", "\xC2\xBB "},
      {Item("/home/u/Report.PDF", fltDocument), true, true, "Report", "pdf"},
      {Item("/home/u/Report.PDF", fltDocument), true, false, "Report.PDF", "pdf"},
      {Item("/home/u/a.tar.GZ", fltGeneric), true, true, "a.tar", "gz"},
      {Item("/home/u/.bashrc", fltGeneric), true, true, ".bashrc", ""},
      {Item("/home/u/run", fltProgram), false, false, "run", ""},
      {Item("/x/notes.txt", fltDocument, false, true, 3), false, false, "3 - notes.txt", "txt"},
      {Item("/x/notes.txt", fltDocument, false, true, 1), false, false, "notes.txt", "txt"},
      {Item("/x/sub", fltDirectory, false, true, 5), false, false, "\xC2\xBB 5 - sub", "\xC2\xBB "},
      {Item(":/media/stick", fltDirectory), true, true, "/media/stick (Removable)", "\xC2\xBB "},
      {Item(":/", fltDirectory), false, false, "\xC2\xBB /", "\xC2\xBB "},
      {Item("/x/caf\xC3\xA9.\xC3\x89T\xC3\x89", fltGeneric), true, true, "caf\xC3\xA9",
       "\xC3\xA9t\xC3\xA9"},
      {TFileListData(), true, true, "", ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Item.Title);
    EXPECT_EQ(ColumnItemName(c.Item, c.TypeField, c.ExtInType, suffix), c.Name);
    EXPECT_EQ(ColumnTypeFieldText(c.Item), QString::fromUtf8(c.TypeText.c_str()));
  }
}

// ---- Painting a column list ----------------------------------------------------------

// Distinct colours, so every pixel tells which rule painted it.
void UseTestSkin(TSkinOptions& skin) {
  skin.WindowBackColor = 0xF0F0F0;
  skin.WindowTextColor = 0x000000;
  skin.ActiveFocusBackColor = 0x0000C0;
  skin.PushedBackColor = 0x00C000;
  skin.SelectionBackColor = 0xC00000;
  skin.GridColor = 0x808000;
  skin.DirsBackColor = 0x101080;
  skin.LinksBackColor = 0x108010;
  skin.ProgsBackColor = 0x801010;
  skin.DocsBackColor = 0x808010;
  skin.FilesBackColor = 0x108080;
  skin.FillingColor = 0x404040;
  skin.WindowMarginColor = 0x202020;
}

class ColumnPainterTest : public ::testing::Test {
protected:
  void SetUp() override {
    SavedSkin = SkinOptions;
    SavedOptions = ProgramOptions;
    UseTestSkin(SkinOptions);
    Window = std::make_unique<QWidget>();
    Window->resize(ListWidth + 50, 400);
    Column = std::make_unique<TColumn>(0);
    Column->Items = {
        Item("/d/alpha", fltDirectory),     Item("/d/beta", fltLink),
        Item("/d/gamma", fltProgram),       Item("/d/delta.txt", fltDocument),
        Item("/d/epsilon.bin", fltGeneric), Item("/d/zeta.bin", fltGeneric, true),
        Item("/d/eta", fltGeneric),         Item("/d/theta", fltGeneric),
    };
    List = new MyTPanel(Window.get(), MyTPanel::pmList);
    List->SetColorScheme(1);
    List->SetFrameScheme(2);
    List->SetListState(&Column->List);
    List->OnDrawItem = [this](QPainter& canvas, const TItemPaint& paint) {
      Painter.DrawAnItem(canvas, *Column, paint);
    };
    Other = new QLineEdit(Window.get());
    Other->setGeometry(ListWidth + 5, 0, 40, 20);
    Relayout();
    Column->List.EndUpdate(Column->Count());
    Window->show();
    QApplication::setActiveWindow(Window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(Window.get()));
  }

  void TearDown() override {
    Window.reset();
    Column.reset();
    SkinOptions = SavedSkin;
    ProgramOptions = SavedOptions;
  }

  // Item height and list size for the current options.
  void Relayout(int rows = 10) {
    Column->List.SetSubcolumns(Column->SubcolumnsAttr);
    Column->List.SetItemHeight(ColumnItemHeight(*Column));
    List->setGeometry(0, 0, ListWidth, 2 * Border + rows * Column->List.ItemHeight());
  }

  QImage Grab() { return List->grab().toImage(); }

  // Where the highlight's own colour shows: inside the name area's rounded
  // rectangle, left of the button effect.
  QPoint HighlightPoint(int index) const {
    const QRect item = Column->List.ItemRect(index);
    const TColumnItemLayout layout = ColumnItemLayout(item);
    return QPoint(layout.NameArea.left() + 1, layout.NameArea.center().y());
  }

  TSkinOptions SavedSkin;
  TProgramOptions SavedOptions;
  std::unique_ptr<QWidget> Window;
  std::unique_ptr<TColumn> Column;
  MyTPanel* List = nullptr;
  QLineEdit* Other = nullptr;
  TColumnPainter Painter;
};

TEST_F(ColumnPainterTest, FocusedAndSelectedRowsShowTheSkinColours) {
  Column->List.SetFocusIndex(2);
  List->setFocus();
  QImage image = Grab();
  const auto at = [&](int index) {
    const QPoint p = HighlightPoint(index);
    return ColorAt(image, p.x(), p.y());
  };
  EXPECT_EQ(at(2), SkinOptions.ActiveFocusBackColor);
  EXPECT_EQ(at(5), SkinOptions.SelectionBackColor);
  EXPECT_EQ(at(0), SkinOptions.WindowBackColor);
  EXPECT_EQ(at(7), SkinOptions.WindowBackColor);

  // Without the keyboard focus the focused row looks pressed.
  Other->setFocus();
  image = Grab();
  EXPECT_EQ(at(2), SkinOptions.PushedBackColor);
  // The focus wins over the selection.
  Column->List.SetFocusIndex(5);
  image = Grab();
  EXPECT_EQ(at(5), SkinOptions.PushedBackColor);
  EXPECT_EQ(at(2), SkinOptions.WindowBackColor);
}

TEST_F(ColumnPainterTest, PaintingLeavesTheColumnAlone) {
  int activeFileUpdates = 0;
  Column->OnActiveFileChanged = [&] { ++activeFileUpdates; };
  List->setFocus();
  const std::string title = Column->ActiveTitle;
  Grab();
  List->repaint();
  EXPECT_EQ(activeFileUpdates, 0);
  EXPECT_EQ(Column->ActiveTitle, title);
}

TEST_F(ColumnPainterTest, TypeFieldTakesTheColoursOfTheItemsType) {
  ProgramOptions.ShowFileType = true;
  ProgramOptions.ShowExtInType = false;
  Relayout();
  const TColor expected[] = {SkinOptions.DirsBackColor, SkinOptions.LinksBackColor,
                             SkinOptions.ProgsBackColor, SkinOptions.DocsBackColor,
                             SkinOptions.FilesBackColor};
  Column->List.SetFocusIndex(7);
  QImage image = Grab();
  for (int index = 0; index < 5; ++index) {
    const TColumnItemLayout layout = ColumnItemLayout(Column->List.ItemRect(index));
    ASSERT_GT(layout.TypeFieldWidth, 4);
    const QPoint centre = layout.TypeField.center();
    EXPECT_EQ(ColorAt(image, centre.x(), centre.y()), expected[index]) << index;
    // The ellipse leaves the field's corner to the background.
    EXPECT_EQ(ColorAt(image, layout.TypeField.left(), layout.TypeField.top()),
              SkinOptions.WindowBackColor);
  }

  // With the extension shown: a rounded field, filled out to its sides.
  ProgramOptions.ShowExtInType = true;
  Relayout();
  image = Grab();
  const TColumnItemLayout layout = ColumnItemLayout(Column->List.ItemRect(3));
  EXPECT_GT(layout.TypeFieldWidth, layout.RowHeight);
  EXPECT_EQ(ColorAt(image, layout.TypeField.left() + 1, layout.TypeField.center().y()),
            SkinOptions.DocsBackColor);
}

TEST_F(ColumnPainterTest, AnEmptyListPaintsItsPlaceholderRow) {
  ProgramOptions.ShowFileType = true;
  Column->Items.clear();
  Column->List.EndUpdate(0);
  List->setFocus();
  const QImage image = Grab();
  const TColumnItemLayout row0 = ColumnItemLayout(Column->List.ItemRect(0));
  const QPoint p = HighlightPoint(0);
  EXPECT_EQ(ColorAt(image, p.x(), p.y()), SkinOptions.ActiveFocusBackColor);
  EXPECT_EQ(ColorAt(image, row0.TypeField.center().x(), row0.TypeField.center().y()),
            SkinOptions.FilesBackColor);
  // Nothing below it but the list's own background.
  const int below = row0.TypeField.top() + 2 * row0.RowHeight;
  EXPECT_EQ(ColorAt(image, p.x(), below), SkinOptions.WindowBackColor);
  EXPECT_EQ(ColorAt(image, row0.TypeField.center().x(), below), SkinOptions.WindowBackColor);
}

TEST_F(ColumnPainterTest, AMissingItemIsStruckOut) {
  // A name of blanks draws no glyphs; only the strike line puts ink there.
  Column->Items = {Item("/c/        ", fltGeneric), Item("/c/        ", fltGeneric, false, false),
                   Item("/c/focused", fltGeneric)};
  Column->List.EndUpdate(3);
  Column->List.SetFocusIndex(2);
  const QImage image = Grab();
  const auto ink = [&](int index) {
    const TColumnItemLayout layout = ColumnItemLayout(Column->List.ItemRect(index));
    int count = 0;
    for (int y = layout.Text.top(); y <= layout.Text.bottom(); ++y)
      for (int x = layout.Text.left(); x <= layout.Text.right(); ++x)
        count += ColorAt(image, x, y) == SkinOptions.WindowTextColor ? 1 : 0;
    return count;
  };
  EXPECT_EQ(ink(0), 0);
  EXPECT_GT(ink(1), 10);
}

TEST_F(ColumnPainterTest, ANameTooLongForItsSubcolumnEndsInAnEllipsis) {
  // Four narrow subcolumns; the name is not valid UTF-8, so only the shown text is shortened.
  Column->SubcolumnsAttr = 4;
  Column->Items = {Item("/n/" + std::string(60, 'W') + "\xff", fltGeneric),
                   Item("/n/focused", fltGeneric)};
  Column->List.EndUpdate(2);
  Column->List.SetFocusIndex(1);
  Relayout();
  const QImage image = Grab();
  const QRect text = ColumnItemLayout(Column->List.ItemRect(0)).Text;
  ASSERT_LT(text.width(), QFontMetrics(ColumnItemsFont()).horizontalAdvance(QString(60, 'W')));
  const auto ink = [&](int x, int y) { return qGray(image.pixel(x, y)) < 160; };
  // The rightmost inked pixel column: an ellipsis' last dot is a few rows
  // tall, a cut "W" stroke spans most of the row.
  int last = -1;
  for (int x = text.right(); x >= text.left() && last < 0; --x)
    for (int y = text.top(); y <= text.bottom(); ++y)
      if (ink(x, y)) last = x;
  ASSERT_GE(last, 0);
  int rows = 0;
  for (int y = text.top(); y <= text.bottom(); ++y)
    rows += ink(last, y) || ink(last - 1, y) ? 1 : 0;
  EXPECT_LE(rows, 3);
}

TEST_F(ColumnPainterTest, GridLinesFollowTheOptionAndTheSubcolumns) {
  Other->setFocus();
  const QRect item0 = Column->List.ItemRect(0);
  QImage image = Grab();
  EXPECT_NE(ColorAt(image, item0.center().x(), item0.bottom()), SkinOptions.GridColor);

  ProgramOptions.ShowGrid = true;
  image = Grab();
  EXPECT_EQ(ColorAt(image, item0.center().x(), item0.bottom()), SkinOptions.GridColor);
  EXPECT_EQ(ColorAt(image, item0.left(), item0.center().y()), SkinOptions.WindowBackColor);

  // Several subcolumns get side lines whatever the option says.
  ProgramOptions.ShowGrid = false;
  Column->SubcolumnsAttr = 2;
  Relayout();
  image = Grab();
  const QRect right = Column->List.ItemRect(1);
  ASSERT_EQ(right.top(), Column->List.ItemRect(0).top());
  EXPECT_EQ(ColorAt(image, right.left(), right.center().y()), SkinOptions.GridColor);
  EXPECT_EQ(ColorAt(image, right.right(), right.center().y()), SkinOptions.GridColor);
  EXPECT_NE(ColorAt(image, right.center().x(), right.bottom()), SkinOptions.GridColor);
}

TEST_F(ColumnPainterTest, ThumbnailRowsLeaveAClearSeamForThePictures) {
  Column->ThumbAttr = true;
  Column->ThumbHeight = 3;
  Relayout(3);
  Other->setFocus();
  struct TCall {
    QRect Picture;
    QRect Info;
    std::string Title;
  };
  std::vector<TCall> calls;
  Painter.PaintThumb = [&](QPainter&, const QRect& picture, const QRect& info,
                           const TFileListData& item) {
    calls.push_back({picture, info, item.Title});
  };
  QImage image = Grab();
  ASSERT_EQ(calls.size(), 3u);
  const int h = ColumnRowHeight();
  const int extra = ProgramOptions.ItemsExtraHeight / 2;
  for (int index = 0; index < 3; ++index) {
    const QRect item = Column->List.ItemRect(index);
    ASSERT_EQ(item.height(), 5 * h);
    const TCall& call = calls[static_cast<size_t>(index)];
    EXPECT_EQ(call.Title, Column->Items[static_cast<size_t>(index)].Title);
    // A name row, an information row, then the picture rows.
    EXPECT_EQ(call.Picture, QRect(item.left() + 1, item.top() + 2 * h, item.width() - 2,
                                  item.height() - 2 * h - 1));
    EXPECT_EQ(call.Info,
              QRect(item.left() + 3, item.top() + h + extra, item.width() - 6, h - 2 * extra));
    EXPECT_EQ(ColorAt(image, item.center().x(), item.bottom()), SkinOptions.GridColor);
  }

  // A selected item's thumbnail area is filled, under what the thumbnail paints.
  Painter.PaintThumb = nullptr;
  Column->List.SetTopIndex(4);
  image = Grab();
  const QRect selected = Column->List.ItemRect(5);
  const QRect plain = Column->List.ItemRect(4);
  EXPECT_EQ(ColorAt(image, selected.center().x(), selected.top() + 3 * h),
            SkinOptions.SelectionBackColor);
  EXPECT_EQ(ColorAt(image, plain.center().x(), plain.top() + 3 * h), SkinOptions.WindowBackColor);
}

TEST_F(ColumnPainterTest, ItemsOverABackPictureShowThePicture) {
  QImage picture(600, 600, QImage::Format_RGB32);
  picture.fill(QColor(10, 200, 30));
  const QRect item = Column->List.ItemRect(7);
  TItemPaint paint;
  paint.Index = 7;
  paint.Rect = item;
  paint.Back = {&picture, QPoint(0, 0)};
  QImage canvasImage(List->size(), QImage::Format_RGB32);
  canvasImage.fill(Qt::black);
  {
    QPainter canvas(&canvasImage);
    Painter.DrawAnItem(canvas, *Column, paint);
  }
  EXPECT_EQ(ColorAt(canvasImage, item.right() - 2, item.center().y()), 0x1EC80Au);
  // Items outside the view are not painted.
  paint.Index = 40;
  QImage untouched = canvasImage;
  {
    QPainter canvas(&untouched);
    Painter.DrawAnItem(canvas, *Column, paint);
  }
  EXPECT_EQ(untouched, canvasImage);
}

} // namespace
} // namespace cv
