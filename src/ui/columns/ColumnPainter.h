#pragma once
// Paints the items of a column's list: the type field, the name row with
// its highlight, the grid and the thumbnail area below the name row.
//
// Painting only reads the column. The bookkeeping that follows a focus
// change (active file, working path, information bars) runs from the
// column's focus event, never from here.

#include "columns/MyPanel.h"
#include "mainwindow/SkinOptions.h"
#include "options/ProgramOptions.h"

#include <QFont>
#include <QRect>
#include <QString>

#include <functional>
#include <string>

class QPainter;

namespace cv {

class TColumn;
struct TFileListData;

// The items font of the options.
QFont ColumnItemsFont(const TProgramOptions& options = ProgramOptions);
// Height of one text row: items font height + `ItemsExtraHeight` + 1.
int ColumnRowHeight(const TProgramOptions& options = ProgramOptions);
// Width of the type field at the left of the name row; 0 when it is off.
int ColumnTypeFieldWidth(int rowHeight, const TProgramOptions& options = ProgramOptions);
// The list's item height for the column: one row, or in thumbnail mode a
// name row, an information row and `ThumbHeight` picture rows.
int ColumnItemHeight(const TColumn& column, const TProgramOptions& options = ProgramOptions);

// Suffix shown after a partition title.
using TPartitionSuffix = std::function<std::string(const std::string& title)>;

// The name row's text: the name (a partition title with its suffix; without
// the extension when the type field shows it), the container value when it
// is above 1, and "» " before a directory when there is no type field.
std::string ColumnItemName(const TFileListData& item, bool typeField, bool extensionInTypeField,
                           const TPartitionSuffix& partitionSuffix);
// The type field's text with `ShowExtInType`: "» " for a directory or
// partition, else the extension without its dot in lower case.
QString ColumnTypeFieldText(const TFileListData& item);

// The layout of one item, in the coordinates of the item's rectangle.
struct TColumnItemLayout {
  int RowHeight = 0;
  int TypeFieldWidth = 0;
  QRect TypeField;
  QRect NameArea;
  QRect Text;
  QRect ThumbArea;
  QRect InfoLine;
  QRect Picture;
};

TColumnItemLayout ColumnItemLayout(const QRect& item,
                                   const TProgramOptions& options = ProgramOptions);

class TColumnPainter {
public:
  explicit TColumnPainter(const TSkinOptions& skin = SkinOptions,
                          const TProgramOptions& options = ProgramOptions);

  // Paints the thumbnail of an item into `picture` and its facts into
  // `infoLine`; the pen is already `ThumbTextColor`. Unset: nothing.
  std::function<void(QPainter&, const QRect& picture, const QRect& infoLine,
                     const TFileListData& item)>
      PaintThumb;
  // Defaults to the partition layer's suffix.
  TPartitionSuffix PartitionSuffix;

  // One item of `column`, as the list's draw item event hands it over.
  void DrawAnItem(QPainter& canvas, const TColumn& column, const TItemPaint& paint) const;

private:
  const TSkinOptions& Skin;
  const TProgramOptions& Options;
};

} // namespace cv
