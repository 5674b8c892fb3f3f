#pragma once
// The viewer's picture: decoded straight at the size it is shown, the facts
// its information hint tells, the texts the mouse puts on the clipboard,
// and the private place where the clipboard's picture is written to be
// viewed.

#include "pictures/PictureSize.h"

#include <QImage>
#include <cstdint>
#include <string>

namespace cv {

struct TPictureViewFacts {
  uint64_t FileSize = 0;
  TPictureSize Image;    // the picture as oriented
  TPictureSize Rendered; // the bitmap shown
  std::string Depth;     // "24 bpp", ...
  int Frames = 0;
};

// The room a picture may take in a viewer client of this size: the margin
// is kept free on every side.
TPictureSize PictureViewSpace(int clientWidth, int clientHeight, int margin);

// Decodes the picture at its rendered size (fitted into the space, enlarged
// only with `fitSmall`) onto a bitmap filled with `background` (0x00BBGGRR)
// where the picture is transparent. Raises "Failed to load picture." on
// failure; `bitmap` is then null.
bool LoadViewedPicture(const std::string& title, TPictureSize space, bool fitSmall,
                       uint32_t background, QImage& bitmap, TPictureViewFacts& facts);

// The picture's information hint.
std::string PictureInfoHint(const TPictureViewFacts& facts);
// The hint while the mouse is at (x, y) of the bitmap, over a pixel of
// colour `rgb` (0xRRGGBB).
std::string PictureMouseHint(const TPictureViewFacts& facts, int x, int y, uint32_t rgb);
// What a right click (the colour) and a middle click (the picture's own
// coordinates) add to the clipboard's text.
std::string PictureColorClip(uint32_t rgb);
std::string PictureCoordinatesClip(const TPictureViewFacts& facts, int x, int y);

// The user's private directory for pictures to view ("/"-terminated): made
// 0700 in the runtime directory, or in the data root when there is none
// usable. A directory of that name that is a link, belongs to someone else
// or is open to others is not used. Raises "Failed to create directory.".
std::string ViewerPrivateDirectory();
// Writes the clipboard's picture as a PNG in the private directory, through
// a temporary file renamed over the old one, and gives its title.
bool SaveClipboardPicture(const QImage& picture, std::string& title);

} // namespace cv
