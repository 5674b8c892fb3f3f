#pragma once
// The media play-list panel: the list's caption, its items, the progress
// and volume bars and the player's buttons.

#include <QPoint>
#include <QWidget>
#include <functional>
#include <string>

class QLabel;
class QListWidget;
class QPushButton;

namespace cv {

class MyTMediaPlayer;

// A vertical bar filled from the top up to its fraction; a click gives the
// fraction of the height where it landed.
class TMediaBar : public QWidget {
public:
  explicit TMediaBar(QWidget* parent = nullptr);
  void SetFraction(double fraction);
  double Fraction() const { return Value; }
  std::function<void(double)> OnClick;

protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

private:
  double Value = 0.0;
};

class TMediaPanel : public QWidget {
public:
  TMediaPanel(MyTMediaPlayer& player, QWidget* parent = nullptr);
  // Shows the player's list, state and bars again.
  void Refresh();
  // Only the bars and their hints (the timer's step).
  void RefreshBars();
  // A toggle changed (to be stored).
  std::function<void()> OnTogglesChanged;
  // The player needs the window (stop and run, errors shown).
  std::function<void(const char* sentence)> OnFailure;
  // A right click on an item: the player stopped, the file is to run.
  std::function<void(const std::string& title)> OnStopAndRun;
  // An item dragged out of the list and released at a screen point.
  std::function<void(const std::string& title, const QPoint& global)> OnDropItem;

  QLabel* Caption = nullptr;
  QListWidget* List = nullptr;
  TMediaBar* ProgressBar = nullptr;
  TMediaBar* VolumeBar = nullptr;
  QPushButton* PauseButton = nullptr;
  QPushButton* StopButton = nullptr;
  QPushButton* RandomButton = nullptr;
  QPushButton* RepeatButton = nullptr;
  QPushButton* FitButton = nullptr;

protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void PlayRow(int row);
  MyTMediaPlayer& Player;
  std::string ProgressHint, VolumeHint;
  // A left press on an item may become a drag of it.
  int DragRow = -1;
  QPoint DragStart;
  bool Dragging = false;
};

} // namespace cv
