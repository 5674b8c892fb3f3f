#pragma once
// The media play-list player: what plays, from where, and what is
// remembered of it. It drives a TMediaDevice and tells a host what to show.

#include "foundation/MyTime.h"
#include "media/LastPlayedMPL.h"
#include "media/MediaDevice.h"

#include <cstdint>
#include <string>
#include <vector>

namespace cv {

class TRandomSource;

// What the window shows for the player.
class TMediaPlayerHost {
public:
  virtual ~TMediaPlayerHost() = default;
  // The window's caption while a file plays; empty gives the program's name.
  virtual void SetApplicationTitle(const std::string& /*title*/) {}
  // The play-list changed (items, caption, current or focused item).
  virtual void PlayListChanged() {}
  // A video is about to play: the viewer is cleared and shown.
  virtual void ShowVideoViewer() {}
  // The space the video may take in the viewer, and its margin.
  virtual TMediaSize ViewerSpace() const { return {}; }
  virtual int ViewerMargin() const { return 0; }
};

// "hh:nn:ss" of a number of milliseconds.
std::string MediaTimeText(int64_t milliseconds);
// `size` scaled to fit `box` keeping its shape; enlarged only when `enlarge`.
TMediaSize FitSizeIntoBox(TMediaSize size, TMediaSize box, bool enlarge);

class MyTMediaPlayer {
public:
  MyTMediaPlayer(TMediaDevice& device, TLastPlayedMPL& lastPlayed,
                 TMediaPlayerHost* host = nullptr);

  // The play-list and its state.
  std::vector<std::string> Items;
  int Index = 0;
  int FocusIndex = 0;
  // The play-list's caption and the hint that carries its errors.
  std::string Caption;
  std::string ErrorHint;
  // The ".mpl" file or directory being played, as remembered in LastPlayed.
  std::string ListTitle;
  bool Playing = false;
  bool Stopped = true;
  bool Paused = false;
  bool ThumbPlay = false;
  double Progress = 0.0;
  double Volume = 1.0;
  bool Repeat = false;
  bool FitMovie = true;
  // Real played time; it pauses with the media.
  TCrono PlayedTime;
  // The video's place in the viewer, and the viewer's hint about it.
  TMediaRect VideoRect;
  std::string VideoHint;

  // One file alone.
  bool PlayFile(const std::string& title);
  // A ".mpl" file from its resume point.
  bool PlayMPL(const std::string& title, const std::string& resumeTitle, int64_t position);
  // A list of titles; `caption` (a directory) names it.
  bool PlayTextList(const std::vector<std::string>& titles, const std::string& resumeTitle,
                    const std::string& caption, int64_t position);
  // The media files among `titles` (a directory's items, in its order) as
  // the play-list `directory`.
  bool ViewMediaInDirectory(const std::string& directory, const std::vector<std::string>& titles,
                            int64_t position, const std::string& resumeTitle);
  // Plays from item `index` at `position`; items that are not media are
  // skipped, and past the last one the player stops.
  bool Play(int index, int64_t position);
  // The timer's step: the next item once the current one ended.
  void PlayNext();
  bool Stop();
  void PauseResume();
  // Seeks to a fraction of the length (a click on the progress bar).
  void SeekFraction(double fraction);
  // "]" and "[": 5% of the length forward (+1) or back (-1).
  void SeekStep(int direction);
  void SetVolume(double volume);
  // "=" and "-": 5% louder (+1) or quieter (-1).
  void VolumeStep(int direction);
  // Shuffles the list in two passes of unbiased draws.
  bool Randomize(TRandomSource& random);
  // Progress from the device; false when nothing changed.
  bool UpdateProgress();
  // The current play-list remembers the current item and position.
  void RememberResumePoint();
  // Plays `title` in the hover window fitted into `box`; the play-list
  // stops (remembering its place). Length as "hh:nn:ss" and the sizes are
  // given back; false with `error` set on failure.
  bool PlayThumb(const std::string& title, const TMediaRect& box, std::string& error,
                 std::string& lengthText, TMediaSize& sourceSize, TMediaSize& shownSize);
  // Percent of the length where a thumb starts.
  int MediaStartShift = 10;

  // Fits the video into the host's viewer space again.
  void PlaceVideo();
  // The media length of the opened file.
  int64_t Length() const;
  TMediaDevice& Device() { return MediaDevice; }

private:
  void LoadItems(std::vector<std::string> titles, const std::string& resumeTitle);
  bool AnyVideo() const;
  void SetInitialInfo(bool played);

  TMediaDevice& MediaDevice;
  TLastPlayedMPL& LastPlayed;
  bool Opening = false;
  TMediaPlayerHost* Host;
  TMediaPlayerHost NoHost;
};

// The titles' audio and video files, a link standing for its target.
bool IsMediaTitle(const std::string& title);

} // namespace cv
