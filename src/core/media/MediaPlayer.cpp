#include "media/MediaPlayer.h"

#include "filesystem/Extensions.h"
#include "filesystem/File.h"
#include "filesystem/Links.h"
#include "foundation/Guard.h"
#include "foundation/Random.h"
#include "media/PlayListFile.h"

#include <algorithm>
#include <cstdio>

namespace cv {

namespace {

std::string Resolved(const std::string& title) {
  return GetWhenReference(title, nullptr, nullptr, nullptr, true);
}

bool IsMediaFile(const std::string& resolved) {
  return IsAudioFile(resolved) || IsVideoFile(resolved);
}

// The item equal to `title`: the same bytes first, else equal but for ASCII case.
int FindItem(const std::vector<std::string>& items, const std::string& title) {
  if (title.empty()) return -1;
  for (size_t i = 0; i < items.size(); ++i)
    if (items[i] == title) return static_cast<int>(i);
  for (size_t i = 0; i < items.size(); ++i)
    if (SameTextFolded(items[i], title)) return static_cast<int>(i);
  return -1;
}

} // namespace

bool IsMediaTitle(const std::string& title) {
  return IsMediaFile(Resolved(title));
}

std::string MediaTimeText(int64_t milliseconds) {
  const int64_t seconds = std::max<int64_t>(milliseconds, 0) / 1000;
  char text[32];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  return text;
}

TMediaSize FitSizeIntoBox(TMediaSize size, TMediaSize box, bool enlarge) {
  if (size.Width <= 0 || size.Height <= 0 || box.Width <= 0 || box.Height <= 0) return {};
  if (!enlarge && size.Width <= box.Width && size.Height <= box.Height) return size;
  const int64_t w = size.Width, h = size.Height;
  if (w * box.Height > h * box.Width)
    return {box.Width, static_cast<int>(std::max<int64_t>(1, h * box.Width / w))};
  return {static_cast<int>(std::max<int64_t>(1, w * box.Height / h)), box.Height};
}

MyTMediaPlayer::MyTMediaPlayer(TMediaDevice& device, TLastPlayedMPL& lastPlayed,
                               TMediaPlayerHost* host)
    : MediaDevice(device), LastPlayed(lastPlayed), Host(host ? host : &NoHost) {}

int64_t MyTMediaPlayer::Length() const {
  return MediaDevice.Length();
}

bool MyTMediaPlayer::AnyVideo() const {
  return std::any_of(Items.begin(), Items.end(),
                     [](const std::string& item) { return IsVideoFile(Resolved(item)); });
}

void MyTMediaPlayer::LoadItems(std::vector<std::string> titles, const std::string& resumeTitle) {
  Items = std::move(titles);
  Index = 0;
  FocusIndex = std::max(FindItem(Items, resumeTitle), 0);
}

bool MyTMediaPlayer::PlayFile(const std::string& title) {
  TGuard guard("MyTMediaPlayer::PlayFile");
  return guard.Run(false, [&] {
    RememberResumePoint();
    Stop();
    ListTitle.clear();
    LoadItems({title}, {});
    if (IsVideoFile(Resolved(title))) Host->ShowVideoViewer();
    Caption = title;
    return Play(0, 0);
  });
}

bool MyTMediaPlayer::PlayMPL(const std::string& title, const std::string& resumeTitle,
                             int64_t position) {
  TGuard guard("MyTMediaPlayer::PlayMPL");
  return guard.Run(false, [&] {
    RememberResumePoint();
    Stop();
    std::vector<std::string> titles;
    if (!ReadPlayListFile(title, titles)) guard.TakeOver();
    ListTitle.clear();
    const int resumeIndex = FindItem(titles, resumeTitle);
    LoadItems(std::move(titles), resumeTitle);
    Caption = title;
    if (Items.empty()) {
      Host->PlayListChanged();
      return true;
    }
    LastPlayed.Add(title);
    ListTitle = title;
    if (AnyVideo()) Host->ShowVideoViewer();
    // A resume title no longer listed starts the list from its beginning.
    return Play(FocusIndex, resumeIndex < 0 ? 0 : position);
  });
}

bool MyTMediaPlayer::PlayTextList(const std::vector<std::string>& titles,
                                  const std::string& resumeTitle, const std::string& caption,
                                  int64_t position) {
  TGuard guard("MyTMediaPlayer::PlayTextList");
  return guard.Run(false, [&] {
    Stop();
    const int resumeIndex = FindItem(titles, resumeTitle);
    LoadItems(titles, resumeTitle);
    if (!caption.empty()) Caption = caption.size() > 1 ? ExcludeDelimiter(caption) : caption;
    return Play(FocusIndex, resumeIndex < 0 ? 0 : position);
  });
}

bool MyTMediaPlayer::ViewMediaInDirectory(const std::string& directory,
                                          const std::vector<std::string>& titles, int64_t position,
                                          const std::string& resumeTitle) {
  TGuard guard("MyTMediaPlayer::ViewMediaInDirectory");
  return guard.Run(false, [&] {
    RememberResumePoint();
    std::vector<std::string> media;
    bool video = false;
    for (const std::string& title : titles) {
      const std::string resolved = Resolved(title);
      if (!IsMediaFile(resolved)) continue;
      video = video || IsVideoFile(resolved);
      media.push_back(title);
    }
    if (media.empty()) return true;
    if (video) Host->ShowVideoViewer();
    LastPlayed.Add(directory);
    Stop();
    ListTitle = directory;
    return PlayTextList(media, resumeTitle, directory, position);
  });
}

bool MyTMediaPlayer::Play(int index, int64_t position) {
  TGuard guard("MyTMediaPlayer::Play");
  return guard.Run(false, [&] {
    MediaDevice.Close();
    ThumbPlay = false;
    Index = index;
    bool played = false, opened = true;
    std::string name;
    while (Index >= 0 && Index < static_cast<int>(Items.size())) {
      const std::string title = Resolved(Items[static_cast<size_t>(Index)]);
      name = GetTitleName(Items[static_cast<size_t>(Index)]);
      if (IsMediaFile(title)) {
        Opening = true;
        const bool openedNow = MediaDevice.Open(title, TMediaDisplay::Viewer);
        Opening = false;
        if (!openedNow) {
          opened = false;
          break;
        }
        PlaceVideo();
        if (position > 0) MediaDevice.Seek(position);
        MediaDevice.Play();
        Playing = true;
        Stopped = false;
        Paused = false;
        PlayedTime.Start();
        ErrorHint.clear();
        UpdateProgress();
        played = true;
        break;
      }
      ++Index;
      position = 0;
    }
    if (!played) {
      const std::string error = MediaDevice.Error();
      Stop();
      if (!opened) {
        ErrorHint = "Failed to play media \"" + name + "\". " + error;
      } else {
        // Past the last item: the list starts over next time.
        Index = 0;
        FocusIndex = 0;
        if (!ListTitle.empty() && !Items.empty())
          LastPlayed.SetLastPlayed(ListTitle, Items.front(), 0);
      }
    }
    SetInitialInfo(played);
    return played || opened;
  });
}

void MyTMediaPlayer::SetInitialInfo(bool played) {
  if (played)
    Host->SetApplicationTitle("#" + std::to_string(Index + 1) + " (" +
                              std::to_string(Items.size()) + ") " +
                              GetTitleName(Items[static_cast<size_t>(Index)]));
  Host->PlayListChanged();
}

void MyTMediaPlayer::PlaceVideo() {
  const TMediaSize size = MediaDevice.Size();
  const TMediaSize space = Host->ViewerSpace();
  const int margin = Host->ViewerMargin();
  const TMediaSize shown = FitSizeIntoBox(size, space, FitMovie);
  VideoRect = {margin + (space.Width - shown.Width) / 2, margin + (space.Height - shown.Height) / 2,
               shown.Width, shown.Height};
  MediaDevice.PlaceVideo(VideoRect);
  VideoHint = "Space width = " + std::to_string(space.Width) +
              " | Space height = " + std::to_string(space.Height);
}

void MyTMediaPlayer::PlayNext() {
  // Opening a file may wait in an event loop where the timer ticks again.
  if (Stopped || ThumbPlay || Opening) return;
  UpdateProgress();
  if (!MediaDevice.Ended()) return;
  if (Repeat) {
    Play(Index, 0);
  } else if (Index + 1 < static_cast<int>(Items.size())) {
    FocusIndex = Index + 1;
    Play(Index + 1, 0);
  } else {
    Index = 0;
    FocusIndex = 0;
    if (!ListTitle.empty()) LastPlayed.SetLastPlayed(ListTitle, Items.front(), 0);
    Stop();
  }
}

bool MyTMediaPlayer::Stop() {
  TGuard guard("MyTMediaPlayer::Stop");
  return guard.Run(false, [&] {
    Playing = false;
    Stopped = true;
    Paused = false;
    ThumbPlay = false;
    Progress = 0.0;
    PlayedTime = TCrono();
    MediaDevice.Close();
    Host->SetApplicationTitle({});
    Host->PlayListChanged();
    return true;
  });
}

void MyTMediaPlayer::PauseResume() {
  if (!Playing && !Paused) return;
  if (Paused) {
    MediaDevice.Play();
    PlayedTime.Continue();
    Paused = false;
    Playing = true;
  } else {
    MediaDevice.Pause();
    PlayedTime.Stop();
    Paused = true;
    Playing = false;
  }
  Host->PlayListChanged();
}

void MyTMediaPlayer::SeekFraction(double fraction) {
  if (!Playing && !Paused) return;
  const int64_t length = MediaDevice.Length();
  MediaDevice.Seek(
      static_cast<int64_t>(std::clamp(fraction, 0.0, 1.0) * static_cast<double>(length)));
  if (Paused) PauseResume();
  UpdateProgress();
}

void MyTMediaPlayer::SeekStep(int direction) {
  if (!Playing && !Paused) return;
  const int64_t length = MediaDevice.Length();
  if (length <= 0) return;
  const int64_t position =
      std::clamp<int64_t>(MediaDevice.Position() + direction * length / 20, 0, length);
  MediaDevice.Seek(position);
  UpdateProgress();
}

void MyTMediaPlayer::SetVolume(double volume) {
  Volume = std::clamp(volume, 0.05, 1.0);
  MediaDevice.SetVolume(Volume);
}

void MyTMediaPlayer::VolumeStep(int direction) {
  SetVolume(Volume + 0.05 * direction);
}

bool MyTMediaPlayer::Randomize(TRandomSource& random) {
  if (Items.size() < 2) return true;
  const uint32_t count = static_cast<uint32_t>(Items.size());
  const bool current = Playing || Paused;
  for (int pass = 0; pass < 2; ++pass)
    for (uint32_t i = 0; i < count; ++i) {
      const uint32_t j = random.NextBelow(count);
      if (i == j) continue;
      std::swap(Items[i], Items[j]);
      // The item playing stays the current one wherever it goes.
      if (current && Index == static_cast<int>(i))
        Index = static_cast<int>(j);
      else if (current && Index == static_cast<int>(j))
        Index = static_cast<int>(i);
    }
  Host->PlayListChanged();
  return true;
}

bool MyTMediaPlayer::UpdateProgress() {
  const int64_t length = MediaDevice.Length();
  const double progress =
      length > 0
          ? std::clamp(static_cast<double>(MediaDevice.Position()) / static_cast<double>(length),
                       0.0, 1.0)
          : 0.0;
  if (progress == Progress) return false;
  Progress = progress;
  return true;
}

void MyTMediaPlayer::RememberResumePoint() {
  if ((!Playing && !Paused) || ThumbPlay || ListTitle.empty() || Items.size() < 2) return;
  if (Index < 0 || Index >= static_cast<int>(Items.size())) {
    LastPlayed.SetLastPlayed(ListTitle, {}, 0);
    return;
  }
  LastPlayed.SetLastPlayed(ListTitle, Items[static_cast<size_t>(Index)], MediaDevice.Position());
}

bool MyTMediaPlayer::PlayThumb(const std::string& title, const TMediaRect& box, std::string& error,
                               std::string& lengthText, TMediaSize& sourceSize,
                               TMediaSize& shownSize) {
  error.clear();
  lengthText.clear();
  sourceSize = shownSize = {};
  // The preview takes the device from the play-list: keep its place first.
  RememberResumePoint();
  Stop();
  ThumbPlay = true;
  const std::string resolved = Resolved(title);
  if (!IsMediaFile(resolved)) {
    error = "Generic error";
  } else if (!MediaDevice.Open(resolved, TMediaDisplay::Hover)) {
    error = MediaDevice.Error();
    if (error.empty()) error = "Generic error";
  }
  if (!error.empty()) {
    Stop();
    return false;
  }
  sourceSize = MediaDevice.Size();
  shownSize = FitSizeIntoBox(sourceSize, {box.Width, box.Height}, true);
  MediaDevice.PlaceVideo({box.Left, box.Top, shownSize.Width, shownSize.Height});
  const int64_t length = MediaDevice.Length();
  MediaDevice.Seek(length * std::clamp(MediaStartShift, 0, 100) / 100);
  MediaDevice.Play();
  lengthText = MediaTimeText(length);
  return true;
}

} // namespace cv
