#pragma once
// The small window that opens beside a column item the mouse rests on: the
// item's name, path, size and times, and its thumbnail or a playing preview.
// It never takes the focus or the activation.

#include "columns/FileListData.h"
#include "mainwindow/HoverLayout.h"

#include <QFont>
#include <QWidget>

#include <functional>
#include <string>

namespace cv {

class MyTMediaPlayer;

// What an opening is given.
struct THoverOpening {
  TFileListData Item;
  bool PlayMedia = false;
  bool ShowVideoThumbnail = false;
  // The file has a thumbnail of its own (a picture, a text, a plug-in's).
  bool OwnThumb = false;
  int ItemLeft = 0;  // screen x of the item's left edge
  int RowBottom = 0; // screen y of the bottom of the item's first row
  QRect Screen;      // available geometry of the screen that holds the item
  uint32_t FrameColor = 0, TextColor = 0, WindowColor = 0;
  int RowHeight = 16;
  QFont Font;
  THoverSizes Sizes;
};

class TFileHoverForm : public QWidget {
public:
  // `player` runs the previews; it may be null (no media back end).
  explicit TFileHoverForm(MyTMediaPlayer* player, QWidget* parent = nullptr);

  // Paints a thumbnail into the area and its facts into the status line.
  std::function<void(QPainter&, const QRect& picture, const QRect& info, const TFileListData&)>
      PaintThumb;
  // A click or a wheel anywhere in the program while the window shows.
  std::function<void()> OnCloseRequest;

  void ShowHover(const THoverOpening& opening);
  // The caller stops a preview that plays here first.
  void HideHover();
  bool Shown() const { return FShown; }
  // The main timer's repaint of the status line while a preview plays;
  // false once the preview has stopped.
  bool TimerRepaint();
  // "[" and "]" while the player is idle: play the file whose preview was
  // off or shown as a thumbnail.
  void ReplayMedia();
  // A preview of this window plays.
  bool PreviewPlays() const;

  const THoverKind& Kind() const { return FKind; }
  const std::string& Title() const { return Opening.Item.Title; }
  const THoverGeometry& Geometry() const { return FGeometry; }
  const std::string& StatusText() const { return LastStatus; }
  const THoverMediaState& Media() const { return FMedia; }

protected:
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  // Paints the whole window or, with `statusOnly`, the status line.
  void FPaint(QPainter& canvas, bool statusOnly, int64_t position, int64_t length);
  void StartPreview();

  MyTMediaPlayer* Player;
  bool FShown = false;
  bool MediaStarted = false;
  THoverOpening Opening;
  THoverKind FKind;
  THoverGeometry FGeometry;
  THoverMediaState FMedia;
  std::string LastStatus;
  // Progress to paint at the next status repaint.
  int64_t StatusPosition = 0, StatusLength = 0;
  bool StatusOnly = false;
  // Bumped at every opening, so a late start belongs to its own opening.
  uint64_t Generation = 0;
};

} // namespace cv
