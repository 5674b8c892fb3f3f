#pragma once
// A media device that plays nothing: files are known by title with their
// length and size, and the test moves the position and ends the media.

#include "media/MediaDevice.h"

#include <map>
#include <string>
#include <vector>

namespace cv::test {

class TScriptedMediaDevice : public TMediaDevice {
public:
  struct TMedia {
    int64_t Length = 1000;
    TMediaSize Size;
  };
  std::map<std::string, TMedia> Files;
  std::vector<std::string> Opened;
  std::vector<TMediaDisplay> Displays;
  std::vector<int64_t> Seeks;
  std::string Current;
  int64_t At = 0;
  bool Running = false;
  bool AtEnd = false;
  std::string LastError;
  double Loudness = 1.0;
  TMediaRect Placed;

  bool Open(const std::string& title, TMediaDisplay display) override {
    Close();
    const auto file = Files.find(title);
    if (file == Files.end()) {
      LastError = "No such file or directory";
      return false;
    }
    LastError.clear();
    Current = title;
    Opened.push_back(title);
    Displays.push_back(display);
    return true;
  }
  void Close() override {
    Current.clear();
    At = 0;
    Running = AtEnd = false;
  }
  void Play() override { Running = !Current.empty(); }
  void Pause() override { Running = false; }
  void Seek(int64_t position) override {
    Seeks.push_back(position);
    At = position;
  }
  int64_t Position() const override { return At; }
  int64_t Length() const override { return Current.empty() ? 0 : Files.at(Current).Length; }
  TMediaSize Size() const override {
    return Current.empty() ? TMediaSize{} : Files.at(Current).Size;
  }
  bool Ended() const override { return AtEnd; }
  std::string Error() const override { return LastError; }
  void SetVolume(double volume) override { Loudness = volume; }
  double Volume() const override { return Loudness; }
  void PlaceVideo(const TMediaRect& rect) override { Placed = rect; }

  // The current media reaches its end.
  void End() {
    At = Length();
    AtEnd = true;
    Running = false;
  }
};

} // namespace cv::test
