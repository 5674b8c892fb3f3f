#pragma once
// The viewer's picture surface: the picture of a file decoded at the size
// it is shown, away from the window's thread, with its information hint;
// the mouse reads colours and coordinates and puts them on the clipboard.

#include "pictures/PictureView.h"

#include <QImage>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>

namespace cv {

class TPictureViewer : public QWidget {
public:
  // Kept free around the picture.
  static constexpr int Margin = 4;

  explicit TPictureViewer(QWidget* parent = nullptr);
  // Shows the picture of `title`; it appears once decoded, and a newer
  // request (another file, a new size) makes an older one void.
  void View(const std::string& title, bool fitSmall, uint32_t background);
  void Clear();
  bool Loading() const { return Busy; }
  const std::string& Title() const { return Shown; }
  const QImage& Bitmap() const { return Picture; }
  const TPictureViewFacts& Facts() const { return Info; }
  // The hint to show ("|" and the information hint, the mouse's hint or
  // "ERROR: ..."), as the hint bar takes it.
  std::function<void(const std::string& status)> OnStatus;
  // Runs on the decoding thread before it reads the file (tests hold it there).
  static std::function<void(const std::string& title)> BeforeDecode;

protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

private:
  void Start();
  void Finished(uint64_t request, QImage bitmap, const TPictureViewFacts& facts,
                const std::string& error);
  void SetStatus(const std::string& status);
  // The bitmap's pixel under a widget point; false outside the picture.
  bool PicturePoint(const QPoint& at, QPoint& inside) const;

  std::string Shown;
  bool FitSmall = false;
  uint32_t Background = 0;
  TPictureSize RequestedSpace;
  uint64_t Request = 0;
  bool Busy = false;
  QImage Picture;
  TPictureViewFacts Info;
};

} // namespace cv
