// The main window's commands on the active column's active file: running,
// references, clip texts, pictures, links as menu items, the send and tool
// menus. The column's side is in the core; this file only picks the column
// and shows.

#include "mainwindow/MainDialog.h"

#include "columns/Column.h"
#include "fileops/ActiveFileCommands.h"
#include "fileops/ManualRunForm.h"
#include "fileops/NameCommands.h"
#include "fileops/NewFileForm.h"
#include "fileops/OpenWithForm.h"
#include "fileops/OverwriteForm.h"
#include "fileops/PropertiesForm.h"
#include "fileops/RenameForm.h"
#include "fileops/Run.h"
#include "filesystem/Extensions.h"
#include "filesystem/File.h"
#include "filesystem/Links.h"
#include "foundation/BusyCount.h"
#include "foundation/Clipboard.h"
#include "foundation/Guard.h"
#include "foundation/Program.h"
#include "foundation/ShiftState.h"
#include "foundation/UserInterface.h"
#include "foundation/Utilities.h"
#include "mainwindow/MainMenus.h"

#include <QMenu>
#include <QPointer>

namespace cv {

void TMainForm::BusyBracket(const std::function<void()>& body) {
  {
    TBusyScope busy;
    body();
  }
  // Every column that shows a changed directory reads it again.
  CheckDirMonitor(true);
}

void TMainForm::ClipActivePart(TClipPart part) {
  TGuard guard("TMainForm::ClipActivePart");
  guard.Run([&] {
    CopyTextToClipboard(ClipPartText(Column(ActiveColumn()).ActiveTitle, part),
                        ClipPartFailure(part));
    guard.TakeOver();
  });
  guard.Show(ClipPartFailure(part));
}

void TMainForm::GoToReference() {
  TColumn& column = Column(ActiveColumn());
  const TFileListData* item = column.FocusedItem();
  if (!item || item->Type != fltLink) return;
  TGuard guard("TColumn::Com_GoToReference");
  guard.Run([&] {
    std::string reference;
    if (IsLinkTitle(column.ActiveTitle)) {
      TLinkFile link;
      link.Load(column.ActiveTitle, true);
      guard.TakeOver();
      reference = link.Reference;
    } else {
      reference = GetWhenReference(column.ActiveTitle, nullptr, nullptr, nullptr, true);
      guard.TakeOver();
    }
    column.LoadDirectory(true, -1, std::nullopt, std::nullopt, std::nullopt, reference);
  });
  guard.Show("Failed to go to reference.");
  FocusColumn(ActiveColumn());
}

void TMainForm::SetActiveFileFromClipboard() {
  TColumn& column = Column(ActiveColumn());
  TGuard guard("TColumn::Com_LoadActiveTitle");
  guard.Run([&] {
    const std::string text = CopyTextFromClipboard();
    guard.TakeOver();
    const std::string title = TitleFromClipboardText(text);
    if (title.empty()) {
      ShowWarning("There is no title in the clipboard.");
      return;
    }
    if (!AskYesNo("Set \"" + title + "\" as active file ?")) return;
    column.LoadDirectory(true, -1, std::nullopt, std::nullopt, std::nullopt, title);
  });
  guard.Show("Failed to load as active title.");
  FocusColumn(ActiveColumn());
}

void TMainForm::SetAsWallpaper() {
  const std::string reference =
      ClipPartText(Column(ActiveColumn()).ActiveTitle, TClipPart::Reference);
  if (!IsPictureFile(reference)) {
    ShowWarning("File must be a picture.");
    return;
  }
  if (SetPictureAsWallpaper(reference)) RunCommand("Work/Hide");
}

void TMainForm::ClipSelection(bool references) {
  TColumn& column = Column(ActiveColumn());
  std::vector<std::string> titles;
  for (const TFileListData& item : column.Items)
    if (item.Selected) titles.push_back(item.Title);
  if (titles.empty() && column.FocusedItem()) titles.push_back(column.ActiveTitle);
  std::string text;
  for (std::string& title : titles) {
    if (references) title = ClipPartText(title, TClipPart::Reference);
    text += title + "\n";
  }
  SetClipboardFiles(titles, text);
  FunStatContext.Reset(fsPerfect);
}

void TMainForm::NewItem(int kind) {
  TColumn& column = Column(ActiveColumn());
  const std::string directory = column.ShownPath();
  if (directory.empty()) return;
  if (!NewFileForm) NewFileForm = new TNewFileForm(this);
  std::string title;
  bool created = false;
  BusyBracket([&] {
    if (!NewFileForm->Dialog(directory, kind)) return;
    title = NewFileForm->Title();
    created = NewFileForm->Created();
  });
  if (title.empty()) return;
  // The new item becomes the active one.
  column.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, title);
  FocusColumn(ActiveColumn());
  // Only a new file goes to the editor; a directory or an old file does not.
  if (created && kind == nkFile) EditFile(title);
}

void TMainForm::RenameActiveItem() {
  TColumn& column = Column(ActiveColumn());
  if (column.Count() == 0 || (column.ShowsDirectory() && column.ShownPath().empty())) return;
  if (!RenameForm) RenameForm = new TRenameForm(this);
  // In a container column the renamed files' items follow them.
  const int container = column.ContainerIndex;
  const int focused = column.List.FocusIndex();
  bool changed = false;
  BusyBracket(
      [&] { changed = RenameForm->Dialog(column, false, ContainerItemRenamer(container)); });
  if (changed && container >= 0) RefreshContainer(container);
  // The focus stays with the active item under its new name.
  if (changed && focused >= 0) {
    const std::string renamed = RenameForm->TitleAt(focused);
    if (renamed != column.ActiveTitle)
      column.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, renamed);
  }
  FocusColumn(ActiveColumn());
}

void TMainForm::FillLinkMenu(QMenu& menu, const std::string& directory, bool send) {
  const int active = ActiveColumn();
  TSendMenuRequest request;
  request.Kind = send ? TFileMenuKind::Send : TFileMenuKind::Tools;
  request.Shift = send ? ShiftStateFrom(MenuShift) : 0;
  request.SourceTitle = Column(active).ActiveTitle;
  // "%F" / "%U" of an entry take the selection of the moment the menu opened.
  const std::vector<std::string> selection =
      send ? SelectedTitles(active) : std::vector<std::string>{};
  FillFileMenu(menu, request, directory,
               [send, selection](const std::string& item, const TSendMenuState& state) {
                 TGuard guard("TMainForm::SendMenuClick");
                 guard.Run([&] {
                   if (send)
                     SendToItem(item, state.Source, selection);
                   else
                     MyRunFile(item, {}, {}, false, false);
                   guard.TakeOver();
                 });
                 guard.Show("Failed to run file.");
               });
}

void TMainForm::RegisterColumnCommands() {
  TMainMenus& m = *Menus;
  ClipSelectedFiles = [this](bool references) { ClipSelection(references); };
  ShowProperties = [this](const std::string& title) { ShowPropertiesDialog(title, this); };
  const auto properties = [this](bool reference) {
    TGuard guard("TColumn::Com_Properties");
    guard.Run([&] {
      const std::string title = Column(ActiveColumn()).ActiveTitle;
      RunVerb(reference ? ClipPartText(title, TClipPart::Reference) : title, "Properties", {});
      guard.TakeOver();
    });
    guard.Show("Failed to show properties.");
  };
  m.On("File/Often/Properties", [properties] { properties(false); });
  m.On("File/Often/Reference properties", [properties] { properties(true); });
  const std::pair<const char*, TClipPart> clips[] = {{"Name", TClipPart::Name},
                                                     {"Path", TClipPart::Path},
                                                     {"Title", TClipPart::Title},
                                                     {"Reference", TClipPart::Reference}};
  for (const auto& [caption, part] : clips)
    m.On(std::string("File/Miscellaneous/Clip active file/") + caption,
         [this, part] { ClipActivePart(part); });
  m.On("File/Attributes/Show hidden files", [this] {
    TColumn& column = Column(ActiveColumn());
    column.SetShowHidden(!column.ShowHidden);
    Menus->SetChecked("File/Attributes/Show hidden files", column.ShowHidden);
    FocusColumn(ActiveColumn());
  });
  // The check mark shows the active column's state whenever the submenu opens.
  if (QAction* attributes = m.Action("File/Attributes"))
    if (QMenu* menu = attributes->menu<QMenu*>())
      connect(menu, &QMenu::aboutToShow, this, [this] {
        Menus->SetChecked("File/Attributes/Show hidden files", Column(ActiveColumn()).ShowHidden);
      });
  m.On("File/Miscellaneous/Go to reference", [this] { GoToReference(); });
  m.On("File/Navigate/Set as active file", [this] { SetActiveFileFromClipboard(); });
  m.On("File/Navigate/Go to path", [this] { GoToPath(); });
  m.On("File/Miscellaneous/Set as wallpaper", [this] { SetAsWallpaper(); });
  m.On("File/Miscellaneous/Paste picture", [this] {
    BusyBracket([this] { PasteClipboardPicture(Column(ActiveColumn()).ShownPath()); });
  });
  m.On("File/Miscellaneous/Print", [this] {
    TGuard guard("TColumn::Com_print");
    guard.Run([&] {
      const std::string reference =
          ClipPartText(Column(ActiveColumn()).ActiveTitle, TClipPart::Reference);
      RunVerb(reference, "Print", GetTitlePath(reference));
      guard.TakeOver();
    });
    guard.Show("Failed to print.");
  });
  m.On("File/Miscellaneous/Manual run", [this] {
    if (!ManualRunForm) ManualRunForm = new TManualRunForm(this);
    const TColumn& column = Column(ActiveColumn());
    ManualRunForm->Dialog(column.FocusedItem() ? column.ActiveTitle : std::string());
  });
  // Outlives no window: a form gone leaves the offer without a parent.
  OfferOpenWith = [form = QPointer<QWidget>(this)](const std::string& title,
                                                   const std::string& sentence) {
    OfferOpenWithFor(title, sentence, form.data());
  };
  m.On("File/Miscellaneous/Open with", [this] {
    OpenFileWith(ClipPartText(Column(ActiveColumn()).ActiveTitle, TClipPart::Reference), this);
  });
  for (const auto& [caption, kind] :
       {std::pair{"New directory", int(nkDirectory)}, std::pair{"New file", int(nkFile)}})
    m.On(std::string("File/Often/") + caption, [this, kind] { NewItem(kind); });
  m.On("File/Often/Rename file", [this] { RenameActiveItem(); });
  m.On("File/View & Edit/Edit", [this] { EditFile(Column(ActiveColumn()).ActiveTitle); });
  for (const char* item : {"Tool", "Location", "Send", "Send-drag", "Desktop", "Startup"})
    m.On(std::string("File/Miscellaneous/Link as item in/") + item, [this, item] {
      LinkActiveFileAs(item, Column(ActiveColumn()).ActiveTitle, &AskOverwrite);
    });
  m.OnFill("File/Send", [this](QMenu& menu) { FillLinkMenu(menu, Program.SendPath(), true); });
  m.OnFill("Work/Tools", [this](QMenu& menu) { FillLinkMenu(menu, Program.ToolsPath(), false); });
}

} // namespace cv
