// The viewer's dispatch by type and its pictures: the active file, the next
// and previous ones of the column, and the clipboard's picture.

#include "columns/Column.h"
#include "filesystem/Extensions.h"
#include "filesystem/File.h"
#include "filesystem/Links.h"
#include "foundation/Guard.h"
#include "mainwindow/MainDialog.h"
#include "mainwindow/MainMenus.h"
#include "mainwindow/SkinOptions.h"
#include "media/MediaPlayback.h"
#include "options/ProgramOptions.h"
#include "security/StegForm.h"
#include "viewer/PictureViewer.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <algorithm>

namespace cv {

namespace {

QString Shown(const std::string& bytes) {
  return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

} // namespace

void TMainForm::CreatePictureViewer() {
  PictureViewer = new TPictureViewer(Viewer);
  PictureViewer->hide();
  PictureViewer->OnStatus = [this](const std::string& status) { ShowHint(Shown(status)); };
}

void TMainForm::ResetViewer() {
  Media->VideoShown = false;
  PictureShown = false;
  PictureViewer->Clear();
  ViewerClient->clear();
}

void TMainForm::ViewPicture(const std::string& title, uint32_t background) {
  ResetViewer();
  PictureShown = true;
  ViewerShown = true;
  // Laid out first: the picture is decoded for the size it gets.
  Reset(false);
  PictureViewer->View(title, ProgramOptions.ViewerFitSmallImages, background);
}

void TMainForm::ViewActiveFile() {
  const TColumn& column = Column(ActiveColumn());
  const TFileListData* item = column.FocusedItem();
  if (!item || item->Type == fltDirectory) return;
  ViewTitle(column.ActiveTitle);
}

void TMainForm::ViewTitle(const std::string& title) {
  if (title.empty() || GetExtension(title).empty()) return;
  TGuard guard("TFileViewer::View");
  MyTMediaPlayer& player = Media->Player;
  const std::string resolved = GetWhenReference(title, nullptr, nullptr, nullptr, true);
  // What was viewed goes, also when nothing takes its place; a playing video stays.
  PictureShown = false;
  PictureViewer->Clear();
  ViewerClient->clear();
  ShowHint({});
  if (ViewerShown) Reset(false);
  if (IsPlayListExtension(GetExtension(title))) {
    if (!player.PlayMPL(title, {}, 0)) guard.Show("Failed to play.");
    return;
  }
  if (StegForm) {
    std::string hidden, name;
    const bool found = StegForm->Session.AutoStegOut(resolved, true, hidden, name);
    FunStatContext.Reset(fsPerfect);
    if (found) {
      if (hidden.empty()) {
        // Hidden data other than text: the carrier stays in sight.
        ViewPicture(resolved, SkinOptions.WindowBackColor);
        return;
      }
      ResetViewer();
      ViewerShown = true;
      Reset(false);
      ViewerClient->setPlainText(Shown(hidden));
      const std::string status = "Stegged-out size = " + GetSizeText(3, 0, hidden.size());
      ViewerClient->setStatusTip(Shown(status));
      ShowHint(Shown(status));
      return;
    }
  }
  if (IsPictureFile(resolved)) {
    ViewPicture(resolved, SkinOptions.WindowBackColor);
  } else if (IsAudioFile(resolved) || IsVideoFile(resolved)) {
    if (IsVideoFile(resolved)) ResetViewer();
    if (!player.PlayFile(title)) guard.Show("Failed to play.");
  } else if (IsTextFile(resolved)) {
    ViewText(resolved);
  }
}

void TMainForm::ViewStep(int step) {
  TColumn& column = Column(ActiveColumn());
  if (column.Items.empty()) return;
  // At either end the focus stays and that file is viewed again.
  column.List.SetFocusIndex(std::clamp(column.List.FocusIndex() + step, 0, column.Count() - 1));
  ViewActiveFile();
}

void TMainForm::ViewClipboardPicture() {
  TGuard guard("TFileViewer::ViewClipboardPicture");
  guard.Run([&] {
    ResetViewer();
    auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    const QImage picture = application ? QGuiApplication::clipboard()->image() : QImage();
    if (picture.isNull()) {
      Reset(false);
      ShowHint(QStringLiteral("There is no picture in the clipboard."));
      return;
    }
    std::string title;
    if (!SaveClipboardPicture(picture, title)) guard.TakeOver();
    ViewPicture(title, 0x000000);
  });
  guard.Show("Failed to view clipboard picture.");
}

void TMainForm::RegisterViewerCommands() {
  TMainMenus& m = *Menus;
  m.On("File/View & Edit/View next", [this] { ViewStep(1); });
  m.On("File/View & Edit/View previous", [this] { ViewStep(-1); });
  m.On("File/View & Edit/View clipboard picture", [this] { ViewClipboardPicture(); });
}

} // namespace cv
