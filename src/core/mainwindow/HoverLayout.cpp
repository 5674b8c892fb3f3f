#include "mainwindow/HoverLayout.h"

#include "filesystem/Extensions.h"
#include "filesystem/File.h"
#include "foundation/MyMath.h"
#include "foundation/MyTime.h"
#include "foundation/Text.h"

#include <algorithm>

namespace cv {

THoverKind HoverKindOf(const std::string& title, bool directory, bool ownThumb, bool playMedia,
                       bool showVideoThumbnail) {
  THoverKind kind;
  kind.Directory = directory;
  if (directory) return kind;
  kind.Video = IsExtensionInList(title, &VideoFileExtensions);
  kind.Audio = !kind.Video && IsExtensionInList(title, &AudioFileExtensions);
  kind.ShowThumb = ownThumb || (kind.Video && (!playMedia || showVideoThumbnail));
  return kind;
}

THoverGeometry HoverGeometry(const THoverKind& kind, const THoverSizes& sizes, int rowHeight,
                             int textHeight, int itemLeft, int rowBottom, const QRect& screen) {
  const int r = std::max(1, rowHeight);
  THoverGeometry geometry;
  geometry.TextBlockHeight = (kind.Directory ? 4 : 5) * r;
  const bool hasArea = kind.ShowThumb || kind.Video || kind.Audio;
  const int statusRow = hasArea ? r : 0;
  const int areaRows = kind.ShowThumb ? sizes.PictureHeight : kind.Video ? sizes.MovieHeight : 0;
  const int width = kind.ShowThumb ? sizes.PictureWidth
                    : kind.Video   ? sizes.MovieWidth
                                   : sizes.GenericWidth;
  const int height = statusRow + areaRows * r + geometry.TextBlockHeight + 2;
  // Room is measured from the screen that holds the item, whose origin may
  // be negative on a multi-monitor desktop.
  int left = itemLeft - width;
  if (left < screen.left()) left = itemLeft + 5 * r;
  int top = rowBottom - height;
  if (top < screen.top()) top = screen.top();
  // Never off the screen's right or bottom edge either.
  left = std::max(screen.left(), std::min(left, screen.left() + screen.width() - width));
  top = std::max(screen.top(), std::min(top, screen.top() + screen.height() - height));
  geometry.Window = QRect(left, top, width, height);
  if (hasArea) {
    const int d = (r - textHeight) / 2;
    geometry.StatusRect = QRect(QPoint(5, d + 1), QPoint(width - 5, r - d + 1));
    geometry.AreaRect = QRect(QPoint(5, statusRow + 1), QPoint(width - 5, statusRow + areaRows * r));
  }
  return geometry;
}

std::vector<std::string> HoverTextLines(const THoverFacts& facts, bool directory) {
  std::vector<std::string> lines;
  lines.push_back("Name \"" + GetTitleName(facts.Title) + "\"");
  lines.push_back("Path \"" + GetTitlePath(facts.Title) + "\"");
  if (!directory) {
    const uint64_t size = static_cast<uint64_t>(std::max<int64_t>(0, facts.Size));
    lines.push_back("Size " + GetSizeText(6, 0, size) + " (" + IntToGroupedText(facts.Size) +
                    " bytes)");
  }
  lines.push_back("Created " + ShortDateTimeText("; ", ConvertFileTime(facts.Created)));
  lines.push_back("Modified " + ShortDateTimeText("; ", ConvertFileTime(facts.Modified)));
  return lines;
}

std::string HoverStatusLine(const THoverKind& kind, const THoverMediaState& media,
                            int64_t position, int64_t length) {
  if (kind.ShowThumb || !(kind.Video || kind.Audio)) return {};
  if (!media.Error.empty()) return "Error \"" + media.Error + "\"";
  std::string suffix;
  if ((kind.Video || kind.Audio) && length >= 1) {
    const double percent = RoundHalfUp(static_cast<double>(position) * 100.0 /
                                       static_cast<double>(length));
    suffix = " (" + std::to_string(static_cast<int64_t>(percent)) + "%)";
  }
  std::string line;
  if (kind.Video) {
    // A video that reports no height has no zoom figure to give.
    const std::string zoom =
        media.VideoHeight > 0 ? std::to_string(media.ShownHeight * 100 / media.VideoHeight) : "?";
    line = "W " + std::to_string(media.VideoWidth) + " * H " + std::to_string(media.VideoHeight) +
           " | Z " + zoom + "% | D " + media.LengthText;
  } else if (kind.Audio) {
    line = media.PlayMedia ? "D " + media.LengthText : "Not playing";
  }
  return line.empty() ? line : line + suffix;
}

} // namespace cv
