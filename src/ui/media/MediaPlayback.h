#pragma once
// The window's media player: the device, the play-list player, the lists
// played lately and the panel, held together for the main window.

#include "media/LastPlayedMPL.h"
#include "media/MediaPanel.h"
#include "media/MediaPlayer.h"
#include "media/QtMediaDevice.h"

#include <QGuiApplication>
#include <QPointer>
#include <algorithm>
#include <functional>

namespace cv {

struct TMediaPlayback : public TMediaPlayerHost {
  TMediaPlayback() = default;
  TQtMediaDevice Device;
  TLastPlayedMPL LastPlayed;
  MyTMediaPlayer Player{Device, LastPlayed, this};
  QPointer<TMediaPanel> Panel;
  // The viewer's video area; videos are placed inside it.
  QPointer<QWidget> VideoPanel;
  // A video occupies the viewer (the text area is hidden).
  bool VideoShown = false;
  static constexpr int Margin = 4;
  std::function<void()> OnShowVideoViewer;

  void SetApplicationTitle(const std::string& title) override {
    QGuiApplication::setApplicationDisplayName(
        title.empty() ? QStringLiteral("Corvantide")
                      : QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size())));
  }
  void PlayListChanged() override {
    if (Panel) Panel->Refresh();
  }
  void ShowVideoViewer() override {
    if (OnShowVideoViewer) OnShowVideoViewer();
  }
  TMediaSize ViewerSpace() const override {
    if (!VideoPanel) return {};
    return {std::max(0, VideoPanel->width() - 2 * Margin),
            std::max(0, VideoPanel->height() - 2 * Margin)};
  }
  int ViewerMargin() const override { return Margin; }
};

} // namespace cv
