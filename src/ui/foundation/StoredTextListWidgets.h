#pragma once
// Reading and writing widget states through a stored text list: check
// boxes, toggle buttons, combo boxes and window placement.

#include "foundation/StoredTextList.h"

#include <QRect>

#include <cstdint>
#include <string>
#include <string_view>

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QWidget;

namespace cv {

void ReadCheckBox(const TStoredTextList& list, std::string_view section, std::string_view key,
                  QCheckBox* box);
void WriteCheckBox(TStoredTextList& list, std::string_view section, std::string_view key,
                   const QCheckBox* box);
// A speed button is a checkable button; its pressed state is its checked state.
void ReadSpeedButton(const TStoredTextList& list, std::string_view section, std::string_view key,
                     QAbstractButton* button);
void WriteSpeedButton(TStoredTextList& list, std::string_view section, std::string_view key,
                      const QAbstractButton* button);

// Selects the item equal to the stored text (`defaultText` when missing), else item 0.
void ReadComboIndex(const TStoredTextList& list, std::string_view section, std::string_view key,
                    QComboBox* box, std::string_view defaultText);
void WriteComboText(TStoredTextList& list, std::string_view section, std::string_view key,
                    const QComboBox* box);
// The variable becomes the item equal to the stored text (the variable itself
// when missing), else item 0; an empty box leaves it alone.
void ReadComboText(const TStoredTextList& list, std::string_view section, std::string_view key,
                   std::string& value, const QComboBox* box);
// The same, with the chosen item as an integer (0 when it is none).
void ReadComboInt(const TStoredTextList& list, std::string_view section, std::string_view key,
                  int32_t& value, const QComboBox* box);

struct TFormBoundKeys {
  std::string_view X, Y, Width, Height;
};

// Stored bounds checked against a work area: x stays when
// left <= x <= left + 0.9 * (right - left), else it becomes left (y likewise);
// a width outside 0 .. work-area width becomes that width (height likewise).
// Taken in 64 bits: stored values need not make a valid rectangle.
QRect FitFormBounds(int64_t x, int64_t y, int64_t width, int64_t height, const QRect& workArea);
// Reads the bounds with the window's own as defaults and applies them at once.
void ReadFormBounds(const TStoredTextList& list, std::string_view section, QWidget* window,
                    const TFormBoundKeys& keys, const QRect& workArea);
// The same against the work area of the window's screen (the primary one when it has none).
void ReadFormBounds(const TStoredTextList& list, std::string_view section, QWidget* window,
                    const TFormBoundKeys& keys);
void WriteFormBounds(TStoredTextList& list, std::string_view section, const QWidget* window,
                     const TFormBoundKeys& keys);

} // namespace cv
