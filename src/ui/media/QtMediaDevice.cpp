#include "media/QtMediaDevice.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QEventLoop>
#include <QMediaDevices>
#include <QMediaMetaData>
#include <QMediaPlayer>
#include <QPainter>
#include <QTimer>
#include <QUrl>
#include <QVideoFrame>
#include <QVideoSink>
#include <algorithm>
#include <cstring>

namespace cv {

void UseFfmpegMediaBackend() {
  if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND")) qputenv("QT_MEDIA_BACKEND", "ffmpeg");
}

TVideoSurface::TVideoSurface(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  hide();
}

void TVideoSurface::SetFrame(QImage frame) {
  Image = std::move(frame);
  update();
}

void TVideoSurface::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (Image.isNull()) {
    painter.fillRect(rect(), Qt::black);
    return;
  }
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(rect(), Image);
}

TQtMediaDevice::TQtMediaDevice(QObject* parent) : QObject(parent) {
  UseFfmpegMediaBackend();
  Player = new QMediaPlayer(this);
  Sink = new QVideoSink(this);
  Player->setVideoSink(Sink);
  // Without an output device Qt's audio path has crashed: sound only where it can go.
  if (!QMediaDevices::audioOutputs().isEmpty()) {
    Audio = new QAudioOutput(this);
    Player->setAudioOutput(Audio);
  }
  connect(Player, &QMediaPlayer::mediaStatusChanged, this,
          [this](QMediaPlayer::MediaStatus status) {
            if (status == QMediaPlayer::EndOfMedia) AtEnd = true;
          });
  connect(Sink, &QVideoSink::videoFrameChanged, this, [this](const QVideoFrame& frame) {
    if (Video && frame.isValid()) Video->SetFrame(frame.toImage());
  });
}

TQtMediaDevice::~TQtMediaDevice() {
  Player->stop();
  delete Video;
}

void TQtMediaDevice::SetDisplays(QWidget* viewer, QWidget* hover) {
  ViewerDisplay = viewer;
  HoverDisplay = hover;
}

bool TQtMediaDevice::Available() const {
  return Player->isAvailable();
}

bool TQtMediaDevice::Open(const std::string& title, TMediaDisplay display) {
  Close();
  LastError.clear();
  TFileHandle file;
  if (const int error = OpenRegularForReading(title, true, file)) {
    LastError = std::strerror(error);
    return false;
  }
  File = std::move(file);
  // The player gets the descriptor we checked, never the name: names are
  // bytes, and the file cannot be swapped under it.
  const QString source = QStringLiteral("/proc/self/fd/%1").arg(File.Get());
  QEventLoop loop;
  QTimer timeout;
  timeout.setSingleShot(true);
  connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
  const auto settled = [this] {
    const QMediaPlayer::MediaStatus status = Player->mediaStatus();
    return Player->error() != QMediaPlayer::NoError || status == QMediaPlayer::LoadedMedia ||
           status == QMediaPlayer::BufferedMedia || status == QMediaPlayer::InvalidMedia ||
           status == QMediaPlayer::EndOfMedia;
  };
  const auto check = [&] {
    if (settled()) loop.quit();
  };
  const auto statusLink = connect(Player, &QMediaPlayer::mediaStatusChanged, &loop, check);
  const auto errorLink = connect(Player, &QMediaPlayer::errorOccurred, &loop, check);
  Player->setSource(QUrl::fromLocalFile(source));
  if (!settled()) {
    timeout.start(OpenTimeout);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
  }
  disconnect(statusLink);
  disconnect(errorLink);
  AtEnd = false;
  if (!settled() || Player->error() != QMediaPlayer::NoError ||
      Player->mediaStatus() == QMediaPlayer::InvalidMedia) {
    LastError = !settled()                        ? std::string("The media did not load in time.")
                : Player->errorString().isEmpty() ? std::string("The media cannot be played.")
                                                  : Player->errorString().toStdString();
    Close();
    return false;
  }
  Silent = !Audio && !Player->hasVideo();
  SilentRunning = false;
  SilentOffset = 0;
  QWidget* parent = display == TMediaDisplay::Hover ? HoverDisplay : ViewerDisplay;
  if (parent && Player->hasVideo()) {
    if (!Video)
      Video = new TVideoSurface(parent);
    else
      Video->setParent(parent);
    Video->SetFrame({});
  }
  return true;
}

void TQtMediaDevice::Close() {
  Player->stop();
  Player->setSource({});
  File.Reset();
  AtEnd = false;
  Silent = SilentRunning = false;
  SilentOffset = 0;
  if (Video) Video->hide();
}

void TQtMediaDevice::Play() {
  AtEnd = false;
  if (Silent) {
    if (!SilentRunning) SilentClock.start();
    SilentRunning = true;
    return;
  }
  Player->play();
}

void TQtMediaDevice::Pause() {
  if (Silent) {
    SilentOffset = Position();
    SilentRunning = false;
    return;
  }
  Player->pause();
}

void TQtMediaDevice::Seek(int64_t position) {
  AtEnd = false;
  if (Silent) {
    SilentOffset = std::clamp<int64_t>(position, 0, Length());
    if (SilentRunning) SilentClock.start();
    return;
  }
  Player->setPosition(position);
}

int64_t TQtMediaDevice::Position() const {
  if (Silent)
    return std::min<int64_t>(SilentOffset + (SilentRunning ? SilentClock.elapsed() : 0), Length());
  return Player->position();
}

bool TQtMediaDevice::Ended() const {
  if (Silent) return !Player->source().isEmpty() && Position() >= Length();
  return AtEnd;
}

int64_t TQtMediaDevice::Length() const {
  return Player->duration();
}

TMediaSize TQtMediaDevice::Size() const {
  if (!Player->hasVideo()) return {};
  QSize size = Player->metaData().value(QMediaMetaData::Resolution).toSize();
  if (!size.isValid() || size.isEmpty()) size = Sink->videoSize();
  return {size.width(), size.height()};
}

void TQtMediaDevice::SetVolume(double volume) {
  Loudness = volume;
  if (Audio) Audio->setVolume(static_cast<float>(volume));
}

void TQtMediaDevice::PlaceVideo(const TMediaRect& rect) {
  if (!Video) return;
  if (rect.Width <= 0 || rect.Height <= 0 || !Player->hasVideo()) {
    Video->hide();
    return;
  }
  Video->setGeometry(rect.Left, rect.Top, rect.Width, rect.Height);
  Video->show();
  Video->raise();
}

} // namespace cv
