#include "columns/ColumnPainter.h"

#include "columns/MouseOperations.h"

#include "columns/Column.h"
#include "filesystem/File.h"
#include "filesystem/Partitions.h"
#include "foundation/Drawing.h"
#include "foundation/Guard.h"
#include "foundation/QtText.h"
#include "mainwindow/ButtonEffects.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>

namespace cv {

namespace {

// 10 x 10 corner ellipses.
constexpr qreal CCornerRadius = 5.0;
constexpr int CDefaultFontSize = 9;
// A right-pointing double angle quotation mark and a blank.
constexpr const char* CDirectoryMark = "\xC2\xBB ";

struct TTypeColors {
  TColor Back;
  TColor Text;
};

TTypeColors TypeColors(const TSkinOptions& skin, int type) {
  switch (type) {
  case fltDirectory:
    return {skin.DirsBackColor, skin.DirsTextColor};
  case fltLink:
    return {skin.LinksBackColor, skin.LinksTextColor};
  case fltProgram:
    return {skin.ProgsBackColor, skin.ProgsTextColor};
  case fltDocument:
    return {skin.DocsBackColor, skin.DocsTextColor};
  default:
    return {skin.FilesBackColor, skin.FilesTextColor};
  }
}

struct TNameColors {
  bool Highlight;
  TColor Back;
  TColor Text;
  TColor Tint;
};

TNameColors NameColors(const TSkinOptions& skin, const TItemPaint& paint, bool selected) {
  if (paint.Focused && paint.ListFocused)
    return {true, skin.ActiveFocusBackColor, skin.ActiveFocusTextColor, skin.ActiveFocusTintColor};
  if (paint.Focused)
    return {true, skin.PushedBackColor, skin.PushedTextColor, skin.PushedTintColor};
  if (selected)
    return {true, skin.SelectionBackColor, skin.SelectionTextColor, skin.SelectionTintColor};
  return {false, skin.WindowBackColor, skin.WindowTextColor, skin.WindowTintColor};
}

void FillRounded(QPainter& canvas, const QRect& rect, TColor color) {
  if (rect.isEmpty()) return;
  TPainterScope scope(canvas);
  canvas.setRenderHint(QPainter::Antialiasing, true);
  canvas.setPen(Qt::NoPen);
  canvas.setBrush(ToQColor(color));
  canvas.drawRoundedRect(QRectF(rect), CCornerRadius, CCornerRadius);
}

void HorizontalLine(QPainter& canvas, int left, int right, int y, TColor color) {
  if (right < left) return;
  canvas.fillRect(QRect(left, y, right - left + 1, 1), ToQColor(color));
}

void VerticalLine(QPainter& canvas, int x, int top, int bottom, TColor color) {
  if (bottom < top) return;
  canvas.fillRect(QRect(x, top, 1, bottom - top + 1), ToQColor(color));
}

} // namespace

// ---- Measures ------------------------------------------------------------------

namespace {

// The items font and its height, made again only when the options name
// another font: every painted row asks for them.
struct TItemsFont {
  std::string Name;
  int Size = 0;
  QFont Font;
  int Height = 0;
  // The name row's styles, made on first use (index: TNameStyle bits).
  std::array<std::optional<QFont>, 16> Styled;
};

enum TNameStyle { nsBold = 1, nsItalic = 2, nsStrikeOut = 4, nsUnderline = 8 };

TItemsFont& ItemsFont(const TProgramOptions& options) {
  // Painting happens on the GUI thread only; never destroyed, so no font
  // outlives the application object at exit.
  static TItemsFont& cached = *new TItemsFont;
  const int size = options.ItemsFontSize > 0 ? options.ItemsFontSize : CDefaultFontSize;
  if (cached.Height == 0 || cached.Size != size || cached.Name != options.ItemsFontName) {
    cached.Name = options.ItemsFontName;
    cached.Size = size;
    cached.Font = QFont(ToQString(options.ItemsFontName));
    cached.Font.setPointSize(size);
    cached.Height = QFontMetrics(cached.Font).height();
    cached.Styled = {};
  }
  return cached;
}

const QFont& NameFont(const TProgramOptions& options, int style) {
  TItemsFont& items = ItemsFont(options);
  std::optional<QFont>& font = items.Styled[static_cast<size_t>(style & 15)];
  if (!font) {
    font = items.Font;
    if (style & nsBold) font->setBold(true);
    if (style & nsItalic) font->setItalic(true);
    if (style & nsStrikeOut) font->setStrikeOut(true);
    if (style & nsUnderline) font->setUnderline(true);
  }
  return *font;
}

} // namespace

QFont ColumnItemsFont(const TProgramOptions& options) {
  return ItemsFont(options).Font;
}

int ColumnRowHeight(const TProgramOptions& options) {
  // The extra height is a stored option: add in a wider type.
  const int64_t height = int64_t{ItemsFont(options).Height} + options.ItemsExtraHeight + 1;
  return static_cast<int>(std::clamp<int64_t>(height, 1, INT32_MAX));
}

int ColumnTypeFieldWidth(int rowHeight, const TProgramOptions& options) {
  // The painted field is the mouse's type zone when it is shown.
  return options.ShowFileType ? MouseTypeWidth(rowHeight, options) : 0;
}

int ColumnItemHeight(const TColumn& column, const TProgramOptions& options) {
  const int row = ColumnRowHeight(options);
  if (!column.ThumbAttr) return row;
  const int64_t height = int64_t{row} * (int64_t{std::max(0, column.ThumbHeight)} + 2);
  return static_cast<int>(std::min<int64_t>(height, INT32_MAX));
}

TColumnItemLayout ColumnItemLayout(const QRect& item, const TProgramOptions& options) {
  TColumnItemLayout layout;
  const int h = ColumnRowHeight(options);
  const int tfw = std::min(ColumnTypeFieldWidth(h, options), std::max(0, item.width()));
  const int margin = std::max(0, options.ItemsExtraHeight) / 2;
  const int left = item.left();
  const int top = item.top();
  const int right = item.left() + item.width(); // one past the last pixel
  const int bottom = item.top() + item.height();
  const auto span = [](int l, int t, int r, int b) { return QRect(l, t, r - l, b - t); };
  layout.RowHeight = h;
  layout.TypeFieldWidth = tfw;
  layout.TypeField = span(left, top, left + tfw, top + h);
  layout.NameArea = span(left + tfw + 1, top, right - 1, top + h - 1);
  layout.Text = span(layout.NameArea.left() + 3, top + margin, right - 1 - 2, top + h - 1 - margin);
  layout.ThumbArea = span(left + 1, top + h, right - 1, bottom - 1);
  layout.InfoLine = span(left + 3, top + h + margin, right - 3, top + 2 * h - margin);
  layout.Picture = span(left + 1, top + 2 * h, right - 1, bottom - 1);
  return layout;
}

// ---- Texts -----------------------------------------------------------------------

std::string ColumnItemName(const TFileListData& item, bool typeField, bool extensionInTypeField,
                           const TPartitionSuffix& partitionSuffix) {
  std::string name = GetTitleName(item.Title);
  if (IsPartitionTitle(item.Title)) {
    name = PartitionDisplayText(item.Title);
    if (partitionSuffix) name += partitionSuffix(item.Title);
  } else if (IsTrashTitle(item.Title)) {
    name = "Trash";
  } else if (extensionInTypeField && item.Type != fltDirectory) {
    name.resize(name.size() - GetExtension(name).size());
  }
  if (item.ContainerData > 1) name = std::to_string(item.ContainerData) + " - " + name;
  if (item.Type == fltDirectory && !typeField) name = CDirectoryMark + name;
  return name;
}

QString ColumnTypeFieldText(const TFileListData& item) {
  if (item.Type == fltDirectory) return ToQString(CDirectoryMark);
  return ToQString(GetExtensionNoDot(GetTitleName(item.Title))).toLower();
}

// ---- Painting --------------------------------------------------------------------

TColumnPainter::TColumnPainter(const TSkinOptions& skin, const TProgramOptions& options)
    : PartitionSuffix(&GetPartitionSuffix), Skin(skin), Options(options) {}

void TColumnPainter::DrawAnItem(QPainter& canvas, const TColumn& column,
                                const TItemPaint& paint) const {
  TGuard guard("TColumn::DrawAnItem");
  guard.Run([&] {
    const TItemListState& list = column.List;
    if (paint.Index < list.TopIndex() || paint.Index > list.LastPaintIndex()) return;
    const bool empty = column.Items.empty();
    if (!empty && paint.Index >= column.Count()) return;
    // The placeholder of an empty list: no title, a generic file that exists.
    static const TFileListData placeholder;
    const TFileListData& item =
        empty ? placeholder : column.Items[static_cast<size_t>(paint.Index)];

    const QRect& rect = paint.Rect;
    const TColumnItemLayout layout = ColumnItemLayout(rect, Options);
    const int h = layout.RowHeight;
    const bool nameRowOnly = !paint.Exposed.isNull() && paint.Exposed.bottom() < rect.top() + h;
    const QFont baseFont = ColumnItemsFont(Options);

    TPainterScope itemScope(canvas);
    canvas.setClipRect(rect, Qt::IntersectClip);

    // Background.
    if (paint.Back.Picture)
      canvas.drawImage(rect, *paint.Back.Picture, rect.translated(paint.Back.Offset));
    else
      canvas.fillRect(rect, ToQColor(Skin.WindowBackColor));

    // Type field.
    if (layout.TypeFieldWidth > 0) {
      const TTypeColors colors = TypeColors(Skin, item.Type);
      if (Options.ShowExtInType) {
        const QRect field(layout.TypeField.left(), layout.TypeField.top(), layout.TypeField.width(),
                          h - 1);
        FillRounded(canvas, field, colors.Back);
        canvas.setFont(baseFont);
        canvas.setPen(ToQColor(colors.Text));
        canvas.drawText(field, Qt::AlignCenter | Qt::TextSingleLine, ColumnTypeFieldText(item));
      } else {
        const QRect dot = layout.TypeField.adjusted(2, 2, -2, -2);
        if (!dot.isEmpty()) {
          TPainterScope scope(canvas);
          canvas.setRenderHint(QPainter::Antialiasing, true);
          canvas.setPen(Qt::NoPen);
          canvas.setBrush(ToQColor(colors.Back));
          canvas.drawEllipse(QRectF(dot));
        }
      }
    }

    // Name row.
    const TNameColors colors = NameColors(Skin, paint, item.Selected);
    if (colors.Highlight && !layout.NameArea.isEmpty()) {
      FillRounded(canvas, layout.NameArea, colors.Back);
      const QRect effect = layout.NameArea.adjusted(3, 2, -2, -2);
      if (!effect.isEmpty())
        PaintButtonFX(canvas, effect, false, false, Skin.NonOvalButtonsStyle, 0,
                      Skin.ControlBackTransp, Skin.ControlMarginTransp, colors.Tint, colors.Back,
                      colors.Back);
    }
    int style = 0;
    if (item.Selected) style |= nsBold | nsItalic;
    if (!item.Exists) style |= nsStrikeOut;
    if (paint.Hot && Options.HotTrackColumnItems)
      style |= Options.UnderlineHotTrackItems ? nsUnderline : nsBold;
    const QFont& nameFont = NameFont(Options, style);
    const std::string name =
        ColumnItemName(item, layout.TypeFieldWidth > 0,
                       layout.TypeFieldWidth > 0 && Options.ShowExtInType, PartitionSuffix);
    if (!name.empty() && !layout.Text.isEmpty()) {
      canvas.setFont(nameFont);
      canvas.setPen(ToQColor(colors.Text));
      TPainterScope scope(canvas);
      canvas.setClipRect(layout.Text, Qt::IntersectClip);
      // A name too long for the row ends in an ellipsis rather than a cut glyph.
      const QString shown = QFontMetrics(nameFont).elidedText(ToQString(name), Qt::ElideRight,
                                                              layout.Text.width());
      canvas.drawText(layout.Text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
    }

    // Grid.
    const int subcolumns = list.Subcolumns();
    if (Options.ShowGrid) {
      HorizontalLine(canvas, rect.left(), rect.right(), rect.bottom(), Skin.GridColor);
      if (layout.TypeFieldWidth > 0 || subcolumns > 1)
        VerticalLine(canvas, rect.left() + layout.TypeFieldWidth, rect.top(), rect.top() + h - 1,
                     Skin.GridColor);
    }
    if (subcolumns > 1) {
      VerticalLine(canvas, rect.left(), rect.top(), rect.bottom(), Skin.GridColor);
      VerticalLine(canvas, rect.right(), rect.top(), rect.bottom(), Skin.GridColor);
    }

    // Thumbnail area.
    if (!nameRowOnly) {
      const bool pictureRoom = layout.Picture.top() < layout.ThumbArea.bottom() + 1;
      if (pictureRoom && item.Selected && !layout.ThumbArea.isEmpty())
        canvas.fillRect(layout.ThumbArea, ToQColor(Skin.SelectionBackColor));
      if (column.ThumbAttr && !empty) {
        canvas.setFont(baseFont);
        canvas.setPen(ToQColor(Skin.ThumbTextColor));
        if (PaintThumb) {
          TPainterScope scope(canvas);
          canvas.setClipRect(layout.ThumbArea, Qt::IntersectClip);
          PaintThumb(canvas, layout.Picture, layout.InfoLine, item);
        }
        HorizontalLine(canvas, rect.left(), rect.right(), rect.bottom(), Skin.GridColor);
      }
    }
  });
}

} // namespace cv
