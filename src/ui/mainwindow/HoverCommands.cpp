// The main window's side of the file hover window: it opens for the hot
// item with the item's facts and the "FileHover" options, and closes with
// the preview that plays in it.

#include "mainwindow/MainDialog.h"

#include "columns/Column.h"
#include "columns/ColumnPainter.h"
#include "columns/ColumnThumbs.h"
#include "columns/ColumnView.h"
#include "columns/MyPanel.h"
#include "filesystem/Extensions.h"
#include "mainwindow/FileHoverForm.h"
#include "mainwindow/SkinOptions.h"
#include "media/MediaPlayback.h"
#include "options/ProgramOptions.h"
#include "plugins/ViewerPlugins.h"

#include <QGuiApplication>
#include <QScreen>

namespace cv {
namespace {

// A picture, a text or a plug-in's file shows its thumbnail.
bool HoverHasOwnThumb(const std::string& title) {
  return IsExtensionInList(title, &PictureFileExtensions) ||
         IsExtensionInList(title, &TextFileExtensions) || ViewerPlugins.Claims(title);
}

} // namespace

void TMainForm::OpenHoverWindow(const THotItem& hot) {
  if (hot.None() || hot.Column >= VisibleColumns()) return;
  const TColumn& column = Column(hot.Column);
  if (hot.Index >= static_cast<int>(column.Items.size())) return;
  MyTPanel* list = ColumnView(hot.Column)->FileList;
  if (!HoverForm) {
    HoverForm = new TFileHoverForm(Media ? &Media->Player : nullptr, this);
    HoverForm->OnCloseRequest = [this] { ApplyHover(Hover.Close()); };
    if (Media) Media->Device.SetDisplays(Media->VideoPanel, HoverForm);
    // The hover window paints its thumbnail as a column does, from the cache.
    QPointer<TFileHoverForm> form = HoverForm;
    HoverForm->PaintThumb = [this](QPainter& canvas, const QRect& picture, const QRect& info,
                                   const TFileListData& item) {
      Thumbs->PaintThumb(canvas, picture, info, item);
    };
    Thumbs->AddClient(
        {.Shows =
             [form](const std::string& title, TPictureSize box) {
               return form && form->Shown() && form->Kind().ShowThumb && form->Title() == title &&
                      box == TPictureSize{form->Geometry().AreaRect.width(),
                                          form->Geometry().AreaRect.height()};
             },
         .Repaint =
             [form](const std::string& title) {
               if (form && form->Shown() && form->Title() == title) form->update();
             }});
  }
  THoverOpening opening;
  opening.Item = column.Items[static_cast<size_t>(hot.Index)];
  const std::string& title = opening.Item.Title;
  opening.PlayMedia = ProgramOptions.FileHoverPlayMedia && Media;
  opening.ShowVideoThumbnail = ProgramOptions.FileHoverShowVideoThumbnail;
  opening.OwnThumb = opening.Item.Type != fltDirectory && HoverHasOwnThumb(title);
  const QRect item = column.List.ItemRect(hot.Index).translated(list->InnerOrigin());
  const QPoint topLeft = list->mapToGlobal(item.topLeft());
  opening.RowHeight = ColumnRowHeight();
  opening.ItemLeft = topLeft.x();
  opening.RowBottom = topLeft.y() + opening.RowHeight;
  // The screen that holds the item, not the primary one.
  QScreen* screen = QGuiApplication::screenAt(topLeft);
  if (!screen) screen = list->screen();
  opening.Screen = screen ? screen->availableGeometry() : QRect(0, 0, 1 << 15, 1 << 15);
  opening.FrameColor = SkinOptions.GridColor;
  opening.TextColor = SkinOptions.MouseMenuTextColor;
  opening.WindowColor = SkinOptions.MouseMenuBackColor;
  opening.Font = ColumnItemsFont();
  opening.Sizes = {ProgramOptions.FileHoverGenericWidth, ProgramOptions.FileHoverPictureWidth,
                   ProgramOptions.FileHoverPictureHeight, ProgramOptions.FileHoverMovieWidth,
                   ProgramOptions.FileHoverMovieHeight};
  if (Media) Media->Player.MediaStartShift = ProgramOptions.FileHoverMediaStartShift;
  HoverForm->ShowHover(opening);
}

void TMainForm::CloseHoverWindow() {
  if (!HoverForm || !HoverForm->Shown()) return;
  // A preview that plays in the window stops with it.
  if (HoverForm->PreviewPlays()) Media->Player.Stop();
  HoverForm->HideHover();
}

void TMainForm::HoverTimerStep() {
  if (HoverForm && MediaCrono.IsPeriod(0.5)) HoverForm->TimerRepaint();
}

bool TMainForm::HoverReplay() {
  if (!HoverForm || !HoverForm->Shown() || HoverForm->PreviewPlays()) return false;
  if (Media && (Media->Player.Playing || Media->Player.Paused)) return false;
  HoverForm->ReplayMedia();
  return true;
}

} // namespace cv
