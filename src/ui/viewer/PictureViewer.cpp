#include "viewer/PictureViewer.h"

#include "foundation/Clipboard.h"
#include "foundation/Drawing.h"
#include "foundation/Error.h"
#include "foundation/OffThread.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

namespace cv {

std::function<void(const std::string& title)> TPictureViewer::BeforeDecode;

TPictureViewer::TPictureViewer(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("PictureViewer"));
  setMouseTracking(true);
  setProperty("HelpContext", 20700);
}

void TPictureViewer::View(const std::string& title, bool fitSmall, uint32_t background) {
  Shown = title;
  FitSmall = fitSmall;
  Background = background;
  Picture = {};
  Info = {};
  update();
  Start();
}

void TPictureViewer::Clear() {
  ++Request;
  Busy = false;
  Shown.clear();
  Picture = {};
  Info = {};
  RequestedSpace = {};
  setStatusTip({});
  update();
}

void TPictureViewer::Start() {
  RequestedSpace = PictureViewSpace(width(), height(), Margin);
  const uint64_t request = ++Request;
  if (Shown.empty() || RequestedSpace.Empty()) {
    Busy = false;
    return;
  }
  Busy = true;
  // A picture on a share that stopped answering holds only this thread;
  // the window goes on and a later request replaces this one.
  StartDetached([self = QPointer<TPictureViewer>(this), request, title = Shown,
                 space = RequestedSpace, fit = FitSmall, background = Background,
                 hook = BeforeDecode] {
    if (hook) hook(title);
    QImage bitmap;
    TPictureViewFacts facts;
    std::string error;
    if (!LoadViewedPicture(title, space, fit, background, bitmap, facts)) {
      error = FunStatContext.Description;
      if (FunStatContext.SystemErrorCode)
        error += " " + SystemErrorText(static_cast<int>(FunStatContext.SystemErrorCode));
    }
    FunStatContext.Reset(fsPerfect);
    if (QCoreApplication* app = QCoreApplication::instance())
      QMetaObject::invokeMethod(
          app,
          [self, request, bitmap = std::move(bitmap), facts, error]() mutable {
            if (self) self->Finished(request, std::move(bitmap), facts, error);
          },
          Qt::QueuedConnection);
  });
}

void TPictureViewer::Finished(uint64_t request, QImage bitmap, const TPictureViewFacts& facts,
                              const std::string& error) {
  if (request != Request) return; // a newer request is on its way
  Busy = false;
  Picture = std::move(bitmap);
  Info = facts;
  update();
  SetStatus(error.empty() ? PictureInfoHint(Info) : "ERROR: " + error);
}

void TPictureViewer::SetStatus(const std::string& status) {
  // Hints are "short|long" and the hint bar shows the long part; this one
  // has bars of its own, so all of it is the long part.
  const std::string hint = "|" + status;
  setStatusTip(QString::fromUtf8(hint.data(), static_cast<qsizetype>(hint.size())));
  if (OnStatus) OnStatus(hint);
}

void TPictureViewer::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), ToQColor(Background));
  if (!Picture.isNull()) painter.drawImage(Margin, Margin, Picture);
}

void TPictureViewer::resizeEvent(QResizeEvent*) {
  // A new size shows the picture decoded for it, not the old bitmap stretched.
  if (!Shown.empty() && PictureViewSpace(width(), height(), Margin) != RequestedSpace) Start();
}

bool TPictureViewer::PicturePoint(const QPoint& at, QPoint& inside) const {
  inside = at - QPoint(Margin, Margin);
  return !Picture.isNull() && Picture.rect().contains(inside);
}

void TPictureViewer::mouseMoveEvent(QMouseEvent* event) {
  QPoint inside;
  if (!PicturePoint(event->position().toPoint(), inside)) return;
  const uint32_t rgb = Picture.pixel(inside) & 0xFFFFFF;
  SetStatus(PictureMouseHint(Info, inside.x(), inside.y(), rgb));
}

void TPictureViewer::mousePressEvent(QMouseEvent* event) {
  QPoint inside;
  if (!PicturePoint(event->position().toPoint(), inside)) return;
  if (event->button() == Qt::RightButton)
    CopyTextToClipboard(PictureColorClip(Picture.pixel(inside) & 0xFFFFFF), {}, false, true);
  else if (event->button() == Qt::MiddleButton)
    CopyTextToClipboard(PictureCoordinatesClip(Info, inside.x(), inside.y()), {}, false, true);
}

} // namespace cv
