#pragma once
// What the player needs of a media device: the play-list logic talks only to
// this, so it runs the same over the real player and a scripted one.

#include <cstdint>
#include <string>

namespace cv {

struct TMediaSize {
  int Width = 0;
  int Height = 0;
  bool operator==(const TMediaSize&) const = default;
};

struct TMediaRect {
  int Left = 0, Top = 0, Width = 0, Height = 0;
  bool operator==(const TMediaRect&) const = default;
};

// Where the video of an opened file is painted.
enum class TMediaDisplay { Viewer, Hover };

class TMediaDevice {
public:
  virtual ~TMediaDevice() = default;
  // Opens a file for `display`; false with Error() telling why. Positions
  // and lengths are milliseconds.
  virtual bool Open(const std::string& title, TMediaDisplay display) = 0;
  virtual void Close() = 0;
  virtual void Play() = 0;
  virtual void Pause() = 0;
  virtual void Seek(int64_t position) = 0;
  virtual int64_t Position() const = 0;
  virtual int64_t Length() const = 0;
  // The video's own size; 0 x 0 for sound only.
  virtual TMediaSize Size() const = 0;
  // The opened media played to its end.
  virtual bool Ended() const = 0;
  virtual std::string Error() const = 0;
  // 0..1.
  virtual void SetVolume(double volume) = 0;
  virtual double Volume() const = 0;
  // The video's place inside its display.
  virtual void PlaceVideo(const TMediaRect& rect) = 0;
};

} // namespace cv
