#include "media/MediaPanel.h"

#include "filesystem/File.h"
#include "foundation/Guard.h"
#include "foundation/Random.h"
#include "media/MediaPlayer.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <cmath>
#include <utility>

namespace cv {

namespace {

const char* CListHint =
    "Media play-list. [LMB x 2] or [Enter] = play this item and go on to the end of the list. "
    "[RMB] = stop and run this file. Drag an item to a column to make it the column's active "
    "file.";

QString Shown(const std::string& bytes) {
  return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

} // namespace

TMediaBar::TMediaBar(QWidget* parent) : QWidget(parent) {
  setCursor(Qt::PointingHandCursor);
}

void TMediaBar::SetFraction(double fraction) {
  if (fraction == Value) return;
  Value = fraction;
  update();
}

void TMediaBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().base());
  const int filled = static_cast<int>(std::lround(Value * height()));
  painter.fillRect(QRect(0, 0, width(), filled), palette().highlight());
  painter.setPen(palette().mid().color());
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void TMediaBar::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || height() <= 0 || !OnClick) return;
  OnClick(std::clamp(event->position().y() / height(), 0.0, 1.0));
}

TMediaPanel::TMediaPanel(MyTMediaPlayer& player, QWidget* parent)
    : QWidget(parent), Player(player) {
  setObjectName(QStringLiteral("MediaPanel"));
  Caption = new QLabel(this);
  Caption->setObjectName(QStringLiteral("MediaCaption"));
  List = new QListWidget(this);
  List->setObjectName(QStringLiteral("MediaList"));
  List->setToolTip(QString());
  List->setStatusTip(QString::fromLatin1(CListHint));
  List->viewport()->installEventFilter(this);
  ProgressBar = new TMediaBar(this);
  ProgressBar->setObjectName(QStringLiteral("MediaProgress"));
  VolumeBar = new TMediaBar(this);
  VolumeBar->setObjectName(QStringLiteral("MediaVolume"));
  const auto button = [this](const char* name, const char* caption, const char* hint) {
    auto* b = new QPushButton(QString::fromLatin1(caption), this);
    b->setObjectName(QString::fromLatin1(name));
    b->setStatusTip(QString::fromLatin1(hint));
    b->setFocusPolicy(Qt::NoFocus);
    return b;
  };
  PauseButton = button("MediaPause", "Pause", "Pause the current media");
  StopButton = button("MediaStop", "Stop", "Stop playing.");
  RandomButton = button("MediaRandom", "Rand", "Put the play-list in a random order.");
  RepeatButton = button("MediaRepeat", "Rept", "Repeat the current media.");
  FitButton = button("MediaFit", "Fit", "Fit the movie into the viewer, enlarging it.");
  RepeatButton->setCheckable(true);
  FitButton->setCheckable(true);

  connect(List, &QListWidget::itemActivated, this,
          [this](QListWidgetItem* item) { PlayRow(List->row(item)); });
  connect(List, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row >= 0) Player.FocusIndex = row;
  });
  connect(PauseButton, &QPushButton::clicked, this, [this] { Player.PauseResume(); });
  connect(StopButton, &QPushButton::clicked, this, [this] {
    Player.RememberResumePoint();
    if (!Player.Stop() && OnFailure) OnFailure("Failed to stop playing.");
  });
  connect(RandomButton, &QPushButton::clicked, this, [this] {
    if (!Player.Randomize(Random) && OnFailure) OnFailure("Failed to randomize play-list.");
  });
  connect(RepeatButton, &QPushButton::toggled, this, [this](bool on) {
    Player.Repeat = on;
    if (OnTogglesChanged) OnTogglesChanged();
  });
  connect(FitButton, &QPushButton::toggled, this, [this](bool on) {
    Player.FitMovie = on;
    if (OnTogglesChanged) OnTogglesChanged();
  });
  ProgressBar->OnClick = [this](double fraction) {
    Player.SeekFraction(fraction);
    RefreshBars();
  };
  VolumeBar->OnClick = [this](double fraction) {
    Player.SetVolume(fraction);
    RefreshBars();
  };
  Refresh();
}

bool TMediaPanel::eventFilter(QObject* watched, QEvent* event) {
  if (watched != List->viewport()) return QWidget::eventFilter(watched, event);
  const auto rowAt = [this](const QMouseEvent& mouse) {
    const int row = List->row(List->itemAt(mouse.position().toPoint()));
    return row >= 0 && row < static_cast<int>(Player.Items.size()) ? row : -1;
  };
  switch (event->type()) {
  case QEvent::MouseButtonPress: {
    const auto& mouse = static_cast<const QMouseEvent&>(*event);
    const int row = rowAt(mouse);
    Dragging = false;
    DragRow = -1;
    if (mouse.button() == Qt::RightButton && row >= 0) {
      const std::string title = Player.Items[static_cast<size_t>(row)];
      Player.FocusIndex = row;
      List->setCurrentRow(row);
      Player.RememberResumePoint();
      if (!Player.Stop() && OnFailure) OnFailure("Failed to stop playing.");
      Refresh();
      if (OnStopAndRun) OnStopAndRun(title);
      return true;
    }
    if (mouse.button() == Qt::LeftButton && row >= 0) {
      DragRow = row;
      DragStart = mouse.globalPosition().toPoint();
    }
    return false;
  }
  case QEvent::MouseMove: {
    if (DragRow < 0) return false;
    const auto& mouse = static_cast<const QMouseEvent&>(*event);
    if (!(mouse.buttons() & Qt::LeftButton)) {
      DragRow = -1;
      return false;
    }
    if (!Dragging && (mouse.globalPosition().toPoint() - DragStart).manhattanLength() >=
                         QApplication::startDragDistance()) {
      Dragging = true;
      List->viewport()->setCursor(Qt::DragCopyCursor);
    }
    // While dragging the list's own selection stays where the press was.
    return Dragging;
  }
  case QEvent::MouseButtonRelease: {
    const auto& mouse = static_cast<const QMouseEvent&>(*event);
    const bool dropped = Dragging && mouse.button() == Qt::LeftButton;
    const int row = std::exchange(DragRow, -1);
    Dragging = false;
    if (!dropped) return false;
    List->viewport()->unsetCursor();
    if (row < static_cast<int>(Player.Items.size()) && OnDropItem)
      OnDropItem(Player.Items[static_cast<size_t>(row)], mouse.globalPosition().toPoint());
    return true;
  }
  default:
    return false;
  }
}

void TMediaPanel::PlayRow(int row) {
  if (row < 0) return;
  Player.RememberResumePoint();
  Player.FocusIndex = row;
  if (!Player.Play(row, 0) && OnFailure) OnFailure("Failed to play.");
}

void TMediaPanel::Refresh() {
  Caption->setText(Shown(Player.Caption.empty() ? std::string("Media play-list") : Player.Caption));
  const std::string hint =
      "Current media play-list (error messages are displayed here, as hint). " +
      (Player.ErrorHint.empty() ? Player.VideoHint : Player.ErrorHint);
  Caption->setStatusTip(Shown(hint));
  Caption->setToolTip(Shown(Player.ErrorHint));
  const QSignalBlocker blocker(List);
  if (List->count() != static_cast<int>(Player.Items.size())) List->clear();
  for (size_t i = 0; i < Player.Items.size(); ++i) {
    if (static_cast<int>(i) >= List->count()) List->addItem(QString());
    QListWidgetItem* item = List->item(static_cast<int>(i));
    item->setText(Shown(GetTitleName(Player.Items[i])));
    item->setStatusTip(QString::fromLatin1(CListHint) + " Current file \"" +
                       Shown(Player.Items[i]) + "\"");
    const bool current = static_cast<int>(i) == Player.Index && (Player.Playing || Player.Paused);
    QFont font = List->font();
    font.setBold(current);
    font.setItalic(current);
    item->setFont(font);
    item->setBackground(current ? palette().highlight() : QBrush());
    item->setForeground(current ? palette().highlightedText() : QBrush());
  }
  if (Player.FocusIndex >= 0 && Player.FocusIndex < List->count())
    List->setCurrentRow(Player.FocusIndex);
  PauseButton->setText(Player.Paused ? QStringLiteral("Resm") : QStringLiteral("Pause"));
  PauseButton->setStatusTip(Player.Paused ? QStringLiteral("Resume the current media")
                                          : QStringLiteral("Pause the current media"));
  {
    const QSignalBlocker repeat(RepeatButton), fit(FitButton);
    RepeatButton->setChecked(Player.Repeat);
    FitButton->setChecked(Player.FitMovie);
  }
  RefreshBars();
}

void TMediaPanel::RefreshBars() {
  ProgressBar->SetFraction(Player.Progress);
  VolumeBar->SetFraction(Player.Volume);
  const std::string progress =
      "Progress " + std::to_string(std::lround(Player.Progress * 100)) + "%; time " +
      MediaTimeText(static_cast<int64_t>(Player.PlayedTime.Elapsed() * 1000)) + " (" +
      MediaTimeText(Player.Length()) +
      "). [LMB] = set new media progress (only when playing); the top is for beginning, and the "
      "bottom is for end. \"Time\" is the real played time, not the elapsed time in media. \"]\" "
      "= fast forward with 5%. \"[\" fast backward with 5%.";
  if (progress != ProgressHint) ProgressBar->setStatusTip(Shown(ProgressHint = progress));
  const std::string volume =
      "Volume " + std::to_string(std::lround(Player.Volume * 100)) +
      "%. [LMB] = set new sound volume; the top is for low volumes, and the bottom is for high "
      "volumes. [=] = increase the sound volume with 5%. [-] = decrease the sound volume with 5%.";
  if (volume != VolumeHint) VolumeBar->setStatusTip(Shown(VolumeHint = volume));
}

void TMediaPanel::resizeEvent(QResizeEvent*) {
  const int w = width(), h = height();
  const int line = fontMetrics().height() + 6;
  const int bar = 10;
  Caption->setGeometry(2, 0, w - 4, line);
  const int buttons = 5;
  const int buttonWidth = std::max(1, (w - 4) / buttons);
  QPushButton* row[] = {PauseButton, StopButton, RandomButton, RepeatButton, FitButton};
  for (int i = 0; i < buttons; ++i)
    row[i]->setGeometry(2 + i * buttonWidth, h - line, buttonWidth, line);
  const int listHeight = std::max(0, h - 2 * line);
  List->setGeometry(0, line, std::max(0, w - 2 * bar - 4), listHeight);
  ProgressBar->setGeometry(w - 2 * bar - 2, line, bar, listHeight);
  VolumeBar->setGeometry(w - bar - 1, line, bar, listHeight);
}

} // namespace cv
