// The main window's filtered selection, locate, find common text and
// text-to-code commands: each picks the active column and opens or repeats
// its dialog.

#include "mainwindow/MainDialog.h"

#include "columns/Column.h"
#include "foundation/BusyCount.h"
#include "foundation/Guard.h"
#include "mainwindow/MainMenus.h"
#include "search/CommonTextForm.h"
#include "search/LocateFileForm.h"
#include "search/SelectionForm.h"
#include "search/TextToCodeForm.h"

namespace cv {

void TMainForm::RegisterSearchToolCommands() {
  SelectionForm = new TSelectionForm(this);
  LocateFileForm = new TLocateFileForm(this);
  TextToCodeForm = new TTextToCodeForm(this);
  IniSteps.Add(
      TIniStep::LocateFile,
      [this](const TStoredTextList& ini) { LocateFileForm->ReadSettings(ini); },
      [this](TStoredTextList& ini) { LocateFileForm->WriteSettings(ini); });
  TMainMenus& m = *Menus;
  const auto filtered = [this](bool select) {
    return [this, select] {
      TColumn& column = Column(ActiveColumn());
      SelectionForm->Dialog(column, select);
      FocusColumn(ActiveColumn());
    };
  };
  m.On("File/Select/Filtered select all", filtered(true));
  m.On("File/Select/Filtered deselect all", filtered(false));
  m.On("File/Search/Locate file", [this] {
    TColumn& column = Column(ActiveColumn());
    LocateFileForm->Dialog(column, column.TopOffset);
    FocusColumn(ActiveColumn());
  });
  const auto again = [this](bool forward) {
    return [this, forward] {
      TColumn& column = Column(ActiveColumn());
      LocateFileForm->LocateNext(column, column.TopOffset, forward);
      FocusColumn(ActiveColumn());
    };
  };
  m.On("File/Search/Locate next file", again(true));
  m.On("File/Search/Locate previous file", again(false));
  auto commonSettings = std::make_shared<TCommonTextSettings>();
  IniSteps.Add(
      TIniStep::SearchDialogs,
      [commonSettings](const TStoredTextList& ini) { commonSettings->Read(ini); },
      [commonSettings](TStoredTextList& ini) { commonSettings->Write(ini); });
  m.On("File/Search/Find common text *", [this, commonSettings] {
    TGuard guard("TColumn::Com_FindCommonText");
    guard.Run([&] {
      // The monitor leaves the column alone while the dialog reads its files.
      TBusyScope busy;
      TCommonTextForm form(*commonSettings, this);
      form.Dialog(Column(ActiveColumn()));
    });
    guard.Show("Failed to find common text.");
    FocusColumn(ActiveColumn());
  });
  m.On("Work/Gizmos/Text to code", [this] { TextToCodeForm->Dialog(); });
}

} // namespace cv
