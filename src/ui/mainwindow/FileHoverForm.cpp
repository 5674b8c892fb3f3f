#include "mainwindow/FileHoverForm.h"

#include "foundation/Drawing.h"
#include "foundation/Guard.h"
#include "media/MediaPlayer.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QPointer>
#include <QTimer>

namespace cv {

TFileHoverForm::TFileHoverForm(MyTMediaPlayer* player, QWidget* parent)
    : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowDoesNotAcceptFocus),
      Player(player) {
  setObjectName(QStringLiteral("FileHoverForm"));
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFocusPolicy(Qt::NoFocus);
  setProperty("HelpContext", 208);
}

void TFileHoverForm::ShowHover(const THoverOpening& opening) {
  ++Generation;
  FShown = true;
  MediaStarted = false;
  Opening = opening;
  const TFileListData& item = opening.Item;
  FKind = HoverKindOf(item.Title, item.Type == fltDirectory, opening.OwnThumb, opening.PlayMedia,
                      opening.ShowVideoThumbnail);
  FMedia = {};
  FMedia.PlayMedia = opening.PlayMedia;
  LastStatus.clear();
  StatusPosition = StatusLength = 0;
  setFont(opening.Font);
  FGeometry = HoverGeometry(FKind, opening.Sizes, opening.RowHeight,
                            QFontMetrics(opening.Font).height(), opening.ItemLeft,
                            opening.RowBottom, opening.Screen);
  setGeometry(FGeometry.Window);
  qApp->installEventFilter(this);
  show();
  raise();
  update();
  // The preview starts once the window is up, never from a paint: opening a
  // file may take a while and must not hold a repaint.
  if ((FKind.Video || FKind.Audio) && !FKind.ShowThumb && opening.PlayMedia) {
    QPointer<TFileHoverForm> self(this);
    const uint64_t generation = Generation;
    QTimer::singleShot(0, this, [self, generation] {
      if (self && self->FShown && self->Generation == generation) self->StartPreview();
    });
  }
}

void TFileHoverForm::StartPreview() {
  if (!Player || MediaStarted) return;
  MediaStarted = true;
  const QRect area = FGeometry.AreaRect;
  // Audio has no area: it plays without a picture.
  const TMediaRect box{area.left(), area.top(), area.width(), FKind.Video ? area.height() : 0};
  TMediaSize source, shown;
  if (!Player->PlayThumb(Opening.Item.Title, box, FMedia.Error, FMedia.LengthText, source, shown))
    MediaStarted = false;
  FMedia.VideoWidth = source.Width;
  FMedia.VideoHeight = source.Height;
  FMedia.ShownWidth = shown.Width;
  FMedia.ShownHeight = shown.Height;
  update();
}

void TFileHoverForm::HideHover() {
  if (!FShown) return;
  FShown = false;
  ++Generation;
  qApp->removeEventFilter(this);
  hide();
}

bool TFileHoverForm::PreviewPlays() const {
  return FShown && MediaStarted && Player && Player->ThumbPlay;
}

bool TFileHoverForm::TimerRepaint() {
  if (!PreviewPlays()) return false;
  // A preview that came to its end, or whose player stopped, ends here.
  if (Player->Device().Ended()) {
    Player->Stop();
    MediaStarted = false;
    update();
    return false;
  }
  StatusPosition = Player->Device().Position();
  StatusLength = Player->Device().Length();
  StatusOnly = true;
  repaint(FGeometry.StatusRect);
  StatusOnly = false;
  return true;
}

void TFileHoverForm::ReplayMedia() {
  if (!FShown || !(FKind.Video || FKind.Audio)) return;
  MediaStarted = false;
  Opening.PlayMedia = true;
  FMedia.PlayMedia = true;
  FKind.ShowThumb = false;
  // The window keeps its size: a thumbnail's area holds the video as well.
  StartPreview();
  update();
}

bool TFileHoverForm::eventFilter(QObject*, QEvent* event) {
  switch (event->type()) {
  case QEvent::MouseButtonPress:
  case QEvent::MouseButtonDblClick:
  case QEvent::Wheel:
  case QEvent::ContextMenu:
    // The event goes on to its target; only the window closes first.
    if (FShown && OnCloseRequest) OnCloseRequest();
    break;
  default:
    break;
  }
  return false;
}

void TFileHoverForm::paintEvent(QPaintEvent*) {
  QPainter canvas(this);
  FPaint(canvas, StatusOnly, StatusPosition, StatusLength);
}

void TFileHoverForm::FPaint(QPainter& canvas, bool statusOnly, int64_t position, int64_t length) {
  TGuard guard("TFileHoverForm::FPaint");
  guard.Run([&] {
    const QColor text = ToQColor(Opening.TextColor);
    const QColor back = ToQColor(Opening.WindowColor);
    canvas.setFont(Opening.Font);
    canvas.setPen(text);
    const int r = std::max(1, Opening.RowHeight);
    if (!statusOnly) {
      canvas.fillRect(rect(), back);
      canvas.drawRect(rect().adjusted(0, 0, -1, -1));
      const std::vector<std::string> lines =
          HoverTextLines({Opening.Item.Title, Opening.Item.Size,
                          static_cast<uint64_t>(Opening.Item.Created),
                          static_cast<uint64_t>(Opening.Item.Modified)},
                         FKind.Directory);
      int top = height() - FGeometry.TextBlockHeight - 1;
      for (const std::string& line : lines) {
        const QRect row(1, top, width() - 2, r);
        canvas.fillRect(row, back);
        const QString shown = QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
        canvas.drawText(row.adjusted(4, 0, -4, 0), Qt::AlignLeft | Qt::AlignVCenter,
                        canvas.fontMetrics().elidedText(shown, Qt::ElideMiddle, row.width() - 8));
        top += r;
      }
    }
    if (FKind.ShowThumb) {
      if (!statusOnly && PaintThumb)
        PaintThumb(canvas, FGeometry.AreaRect, FGeometry.StatusRect, Opening.Item);
      return;
    }
    LastStatus = HoverStatusLine(FKind, FMedia, position, length);
    if (FKind.Video && MediaStarted && FMedia.ShownWidth > 0 && !statusOnly) {
      canvas.setPen(ToQColor(Opening.FrameColor));
      canvas.drawRect(FGeometry.AreaRect.left() - 1, FGeometry.AreaRect.top() - 1,
                      FMedia.ShownWidth + 1, FMedia.ShownHeight + 1);
      canvas.setPen(text);
    }
    if (LastStatus.empty()) return;
    canvas.fillRect(FGeometry.StatusRect, back);
    canvas.drawText(FGeometry.StatusRect, Qt::AlignLeft | Qt::AlignVCenter,
                    QString::fromUtf8(LastStatus.data(), static_cast<qsizetype>(LastStatus.size())));
  });
  // A dialog cannot open inside a paint: the failure is logged.
  bool quiet = true;
  guard.Show("Failed to paint.", &quiet);
}

} // namespace cv
