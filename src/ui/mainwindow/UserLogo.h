#pragma once
// The user's logo in the toolbar: the picture "UserLogo.*" of the options
// directory, painted as a thumbnail from the picture cache, so a large
// picture is decoded once, at the logo's size, off the window's thread.

#include "columns/FileListData.h"

#include <QWidget>

#include <functional>

namespace cv {

class TUserLogo : public QWidget {
public:
  explicit TUserLogo(QWidget* parent = nullptr);

  // Paints a thumbnail into the rectangle; unset, the logo stays empty.
  std::function<void(QPainter&, const QRect&, const TFileListData&)> PaintThumb;
  uint32_t BackColor = 0;

  // The picture to show, or none (an empty title).
  void SetPicture(const std::string& title);
  const TFileListData& Picture() const { return Item; }
  bool HasPicture() const { return !Item.Title.empty(); }

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  TFileListData Item;
};

} // namespace cv
