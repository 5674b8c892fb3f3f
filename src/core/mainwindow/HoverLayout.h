#pragma once
// What the file hover window shows and where: its size and place beside the
// item, its rows, its text lines and its status line. The window itself
// only paints what this works out.

#include <QRect>

#include <cstdint>
#include <string>
#include <vector>

namespace cv {

// The kind of preview an opening has.
struct THoverKind {
  bool Directory = false;
  bool Video = false;
  bool Audio = false;
  // A thumbnail is painted (the file's own picture, or a video's thumbnail).
  bool ShowThumb = false;
};

// The file has a thumbnail of its own (`ownThumb`: a picture, a text, an
// icon, a plug-in's picture), or is a video shown as a thumbnail because
// its preview is off.
THoverKind HoverKindOf(const std::string& title, bool directory, bool ownThumb, bool playMedia,
                       bool showVideoThumbnail);

struct THoverSizes {
  int GenericWidth = 150;
  int PictureWidth = 250;
  int PictureHeight = 8; // rows
  int MovieWidth = 250;
  int MovieHeight = 8; // rows
};

struct THoverGeometry {
  QRect Window;     // in screen coordinates
  QRect StatusRect; // client coordinates; empty without a status row
  QRect AreaRect;   // the thumbnail or video area
  int TextBlockHeight = 0;
};

// `itemLeft` is the screen x of the item's left edge, `rowBottom` the screen
// y of the bottom of its first row; `screen` the available geometry of the
// screen that holds the item. The window's bottom is level with the row's
// bottom and its right edge with the item's left edge; with no room at the
// left it opens 5 rows right of the item, with no room above at the
// screen's top, and it never leaves the screen.
THoverGeometry HoverGeometry(const THoverKind& kind, const THoverSizes& sizes, int rowHeight,
                             int textHeight, int itemLeft, int rowBottom, const QRect& screen);

struct THoverFacts {
  std::string Title;
  int64_t Size = 0;
  uint64_t Created = 0;  // file times
  uint64_t Modified = 0;
};

// The text block's lines, top to bottom.
std::vector<std::string> HoverTextLines(const THoverFacts& facts, bool directory);

struct THoverMediaState {
  std::string Error;      // the preview's error text
  std::string LengthText; // "hh:nn:ss"
  int VideoWidth = 0, VideoHeight = 0;
  int ShownWidth = 0, ShownHeight = 0;
  bool PlayMedia = false;
};

// The status line of a window without a thumbnail; `position` and `length`
// (milliseconds) add the progress while a preview plays.
std::string HoverStatusLine(const THoverKind& kind, const THoverMediaState& media,
                            int64_t position, int64_t length);

} // namespace cv
