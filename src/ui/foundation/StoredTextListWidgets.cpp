#include "foundation/StoredTextListWidgets.h"

#include "foundation/QtText.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <climits>

namespace cv {

namespace {

// Index of the item whose text is exactly `text`, else 0 (-1 for an empty box).
int ComboItemFor(const QComboBox* box, const std::string& text) {
  if (box->count() == 0) return -1;
  for (int i = 0; i < box->count(); ++i)
    if (FromQString(box->itemText(i)) == text) return i;
  return 0;
}

std::string StoredOr(const TStoredTextList& list, std::string_view section, std::string_view key,
                     std::string fallback) {
  list.ReadText(section, key, fallback, true, INT32_MAX);
  return fallback;
}

} // namespace

namespace {

void ReadButtonState(const TStoredTextList& list, std::string_view section, std::string_view key,
                     QAbstractButton* button) {
  bool checked = button->isChecked();
  list.ReadBool(section, key, checked);
  button->setChecked(checked);
}

} // namespace

void ReadCheckBox(const TStoredTextList& list, std::string_view section, std::string_view key,
                  QCheckBox* box) {
  ReadButtonState(list, section, key, box);
}

void WriteCheckBox(TStoredTextList& list, std::string_view section, std::string_view key,
                   const QCheckBox* box) {
  list.WriteBool(section, key, box->isChecked());
}

void ReadSpeedButton(const TStoredTextList& list, std::string_view section, std::string_view key,
                     QAbstractButton* button) {
  ReadButtonState(list, section, key, button);
}

void WriteSpeedButton(TStoredTextList& list, std::string_view section, std::string_view key,
                      const QAbstractButton* button) {
  list.WriteBool(section, key, button->isChecked());
}

void ReadComboIndex(const TStoredTextList& list, std::string_view section, std::string_view key,
                    QComboBox* box, std::string_view defaultText) {
  const int index = ComboItemFor(box, StoredOr(list, section, key, std::string(defaultText)));
  if (index >= 0) box->setCurrentIndex(index);
}

void WriteComboText(TStoredTextList& list, std::string_view section, std::string_view key,
                    const QComboBox* box) {
  list.WriteText(section, key, FromQString(box->currentText()));
}

void ReadComboText(const TStoredTextList& list, std::string_view section, std::string_view key,
                   std::string& value, const QComboBox* box) {
  const int index = ComboItemFor(box, StoredOr(list, section, key, value));
  if (index >= 0) value = FromQString(box->itemText(index));
}

void ReadComboInt(const TStoredTextList& list, std::string_view section, std::string_view key,
                  int32_t& value, const QComboBox* box) {
  const int index = ComboItemFor(box, StoredOr(list, section, key, std::to_string(value)));
  if (index < 0) return;
  int32_t chosen = 0;
  if (!ParseStoredInt(FromQString(box->itemText(index)), chosen)) chosen = 0;
  value = chosen;
}

QRect FitFormBounds(int64_t x, int64_t y, int64_t width, int64_t height, const QRect& workArea) {
  const int64_t left = workArea.left();
  const int64_t top = workArea.top();
  const int64_t areaWidth = workArea.width();
  const int64_t areaHeight = workArea.height();
  auto fitCoordinate = [](int64_t value, int64_t start, int64_t extent) {
    return value >= start && static_cast<double>(value) <= static_cast<double>(start) + 0.9 * static_cast<double>(extent)
               ? value
               : start;
  };
  auto fitExtent = [](int64_t value, int64_t extent) {
    return value >= 0 && value <= extent ? value : extent;
  };
  return QRect(static_cast<int>(fitCoordinate(x, left, areaWidth)),
               static_cast<int>(fitCoordinate(y, top, areaHeight)),
               static_cast<int>(fitExtent(width, areaWidth)),
               static_cast<int>(fitExtent(height, areaHeight)));
}

void ReadFormBounds(const TStoredTextList& list, std::string_view section, QWidget* window,
                    const TFormBoundKeys& keys, const QRect& workArea) {
  int32_t x = window->x();
  int32_t y = window->y();
  int32_t width = window->width();
  int32_t height = window->height();
  list.ReadInt(section, keys.X, x, INT32_MAX, INT32_MIN);
  list.ReadInt(section, keys.Y, y, INT32_MAX, INT32_MIN);
  list.ReadInt(section, keys.Width, width, INT32_MAX, INT32_MIN);
  list.ReadInt(section, keys.Height, height, INT32_MAX, INT32_MIN);
  // No QRect before the fit: stored values may overflow its right edge.
  const QRect bounds = FitFormBounds(x, y, width, height, workArea);
  // Position and size as the window reports them (frame corner, client size).
  window->move(bounds.topLeft());
  window->resize(bounds.size());
}

void ReadFormBounds(const TStoredTextList& list, std::string_view section, QWidget* window,
                    const TFormBoundKeys& keys) {
  QScreen* screen = window->screen();
  if (!screen) screen = QGuiApplication::primaryScreen();
  const QRect workArea = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
  ReadFormBounds(list, section, window, keys, workArea);
}

void WriteFormBounds(TStoredTextList& list, std::string_view section, const QWidget* window,
                     const TFormBoundKeys& keys) {
  list.WriteInt(section, keys.X, window->x());
  list.WriteInt(section, keys.Y, window->y());
  list.WriteInt(section, keys.Width, window->width());
  list.WriteInt(section, keys.Height, window->height());
}

} // namespace cv
