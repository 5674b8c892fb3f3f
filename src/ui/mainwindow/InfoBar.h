#pragma once
// A bar of short captions with long hints (the column, file and description
// bars below the board).

#include "columns/Column.h"

#include <QRect>
#include <QFontMetrics>
#include <QWidget>
#include <array>
#include <vector>

namespace cv {

class MyTPanel;

class TInfoBar : public QWidget {
  Q_OBJECT
public:
  explicit TInfoBar(int fields, QWidget* parent = nullptr);
  // Shows the fields in order; missing ones are emptied.
  void SetFields(const std::vector<const TInfoField*>& fields);
  // Places the fields (rectangles inside the bar).
  void Place(const std::vector<QRect>& fields);
  MyTPanel* Field(int index) const { return Fields.at(static_cast<size_t>(index)); }
  // Per bar (column, file, description, reference), the outer width each
  // field needs to show its longest usual text in `caption` unshortened.
  static std::array<std::vector<int>, 4> FieldMinWidths(const QFontMetrics& caption);
  int FieldCount() const { return static_cast<int>(Fields.size()); }

private:
  std::vector<MyTPanel*> Fields;
};

} // namespace cv
