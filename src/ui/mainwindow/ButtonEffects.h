#pragma once
// The skin's button effect and the bevel inside the frame of rounded and
// square panels. Colours are 0x00BBGGRR values.

#include "foundation/StockColors.h"

#include <QRect>
#include <string_view>

class QPainter;

namespace cv {

// The opacity 0..255 of a transparency 0..100 (clamped), halves rounded up:
// 30 gives 179, 50 gives 128.
int TransparencyToAlpha(int transparency);

// Paints the button effect over `rect`: a gradient from the outline of the
// shape (the rectangle for shapes 0 rounded and 1 square, the inscribed
// ellipse for 2 single oval and 3 double oval) to a tinted centre, whose
// height follows `nonOvalStyle` ("No edge", "Top edge", other) and `flash`.
// The transparencies 0..100 act only on ovals; the hot panel keeps an opaque
// body. Failures are reported under "PaintButtonFX"; nothing is drawn then.
void PaintButtonFX(QPainter& canvas, const QRect& rect, bool hot, bool flash,
                   std::string_view nonOvalStyle, int shape, int backTransparency,
                   int marginTransparency, TColor tintColor, TColor fillColor, TColor marginColor);

// Three inner lines of a rounded (0) or square (1) panel of width x height
// whose shape is inset by `shapeInset`, in shades between its fill and frame
// colours. Other shapes get none.
void PaintFrameBevel(QPainter& canvas, int width, int height, int shapeInset, int shape,
                     TColor fillColor, TColor frameColor);

} // namespace cv
