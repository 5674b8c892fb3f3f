#pragma once
// A bar of short captions with long hints (the column, file and description
// bars below the board).

#include "columns/Column.h"

#include <QRect>
#include <QWidget>
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
  int FieldCount() const { return static_cast<int>(Fields.size()); }

private:
  std::vector<MyTPanel*> Fields;
};

} // namespace cv
