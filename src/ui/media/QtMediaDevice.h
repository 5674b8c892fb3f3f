#pragma once
// The media device over Qt Multimedia: the file is opened by us (regular
// files only) and handed to the player by its descriptor, video frames come
// through a sink and are painted by a widget of ours.

#include "filesystem/FileHandles.h"
#include "media/MediaDevice.h"

#include <QElapsedTimer>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QWidget>

class QAudioOutput;
class QMediaPlayer;
class QVideoSink;

namespace cv {

// Before the first multimedia object: the ffmpeg back end, since the
// default one has no plug-ins on many systems. A choice in the
// environment stays.
void UseFfmpegMediaBackend();

// Paints the last video frame over its whole area.
class TVideoSurface : public QWidget {
public:
  explicit TVideoSurface(QWidget* parent = nullptr);
  void SetFrame(QImage frame);
  const QImage& Frame() const { return Image; }

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  QImage Image;
};

class TQtMediaDevice : public QObject, public TMediaDevice {
  Q_OBJECT
public:
  explicit TQtMediaDevice(QObject* parent = nullptr);
  ~TQtMediaDevice() override;
  // The widgets videos are shown in; either may be null.
  void SetDisplays(QWidget* viewer, QWidget* hover);
  // Longest wait for a file to load.
  int OpenTimeout = 10000;

  bool Open(const std::string& title, TMediaDisplay display) override;
  void Close() override;
  void Play() override;
  void Pause() override;
  void Seek(int64_t position) override;
  int64_t Position() const override;
  int64_t Length() const override;
  TMediaSize Size() const override;
  bool Ended() const override;
  std::string Error() const override { return LastError; }
  void SetVolume(double volume) override;
  double Volume() const override { return Loudness; }
  void PlaceVideo(const TMediaRect& rect) override;

  // The back end could be loaded.
  bool Available() const;
  bool HasSound() const { return Audio != nullptr; }
  TVideoSurface* Surface() const { return Video; }

private:
  QMediaPlayer* Player = nullptr;
  QAudioOutput* Audio = nullptr;
  QVideoSink* Sink = nullptr;
  QPointer<TVideoSurface> Video;
  QPointer<QWidget> ViewerDisplay, HoverDisplay;
  TFileHandle File;
  std::string LastError;
  bool AtEnd = false;
  double Loudness = 1.0;
  // Sound with nowhere to go: the back end's clock follows the audio
  // output and would stand still, so the time runs on a clock of ours.
  bool Silent = false;
  bool SilentRunning = false;
  int64_t SilentOffset = 0;
  QElapsedTimer SilentClock;
};

} // namespace cv
