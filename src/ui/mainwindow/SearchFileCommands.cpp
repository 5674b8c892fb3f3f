// The file search commands: "Search file" in the active column, the "in
// home" variants from the search board, and the drag menu's duplicates
// search. The dialog's results go to columns, containers and the selection.

#include "mainwindow/MainDialog.h"

#include "columns/Board.h"
#include "columns/Column.h"
#include "foundation/Guard.h"
#include "foundation/QtText.h"
#include "mainwindow/MainMenus.h"
#include "search/SearchFileForm.h"

#include <QCursor>
#include <QMenu>

namespace cv {

void TMainForm::ShowSearchBoard() {
  if (const int board = FindSearchBoard(Boards); board >= 0) ShowBoard(board);
}

void TMainForm::SearchFile(int home, const std::string& model) {
  TGuard guard("TMainForm::SearchFile");
  guard.Run([&] {
    if (home >= 0) {
      ShowSearchBoard();
      if (const int board = FindSearchBoard(Boards); board >= 0 && board == Boards.ActiveBoard())
        FocusColumn(SearchHomeColumn(home, VisibleColumns()));
    }
    SearchInColumn(ActiveColumn(), model);
    guard.TakeOver();
  });
  guard.Show("Failed to search.");
}

void TMainForm::SearchInColumn(int searched, const std::string& model) {
  TColumn& column = Column(searched);
  if (column.Count() == 0) return;
  TSearchFileSettings& settings = *SearchSettings;
  TSearchFileForm form(settings, this);
  form.ChooseContainer = [this] {
    QMenu menu;
    for (int i = 0; i < TContainerSet::Count; ++i)
      menu.addAction(ToQString(Containers.Container(i).MenuCaption()))->setData(i);
    const QAction* chosen = menu.exec(QCursor::pos());
    return chosen ? chosen->data().toInt() : -1;
  };
  form.ShowContextMenu = [this](const std::string& title, const QPoint& at) {
    ShowTitleSystemMenu(title, "Context menu", at);
  };
  form.EditFile = [this](const std::string& title) { EditFile(title); };
  if (!form.Dialog(column, model)) return;
  switch (form.Action) {
  case TSearchAction::EnterDirectory:
    BoardModel->EnterDirectory(searched, form.ActionTitle, {});
    break;
  case TSearchAction::FocusFile:
    BusyBracket([&] {
      column.LoadDirectory(true, -1, std::nullopt, std::nullopt, std::nullopt, form.ActionTitle);
    });
    FocusColumn(searched);
    break;
  case TSearchAction::SelectFound:
    form.SelectFoundItems(column);
    break;
  case TSearchAction::PutInContainer: {
    const int number =
        form.ActionContainer == -2 ? Containers.SearchContainer() : form.ActionContainer;
    if (!form.PutInContainer(Containers, number)) break;
    RefreshContainer(number);
    if (settings.ShowSearchBoard) ShowSearchBoard();
    // A visible column that shows it already, else the chosen column, else the searched one.
    int shown = -1;
    if (settings.ReuseContainer)
      for (int i = 0; i < VisibleColumns() && shown < 0; ++i)
        if (Column(i).ContainerIndex == number) shown = i;
    if (shown < 0 && settings.ReuseContainer && settings.UseColumnForContainer - 1 < VisibleColumns())
      shown = settings.UseColumnForContainer - 1;
    if (shown < 0 || shown >= VisibleColumns()) shown = std::min(searched, VisibleColumns() - 1);
    if (Column(shown).ContainerIndex != number)
      BusyBracket([&] { Column(shown).LoadDirectory(true, number); });
    FocusColumn(shown);
    break;
  }
  case TSearchAction::None:
    break;
  }
}

void TMainForm::RegisterSearchFileCommands() {
  SearchSettings = std::make_shared<TSearchFileSettings>();
  IniSteps.Add(
      TIniStep::OtherDialogs,
      [settings = SearchSettings](const TStoredTextList& ini) { settings->Read(ini); },
      [settings = SearchSettings](TStoredTextList& ini) { settings->Write(ini); });
  TMainMenus& m = *Menus;
  m.On("File/Search/Search file *", [this] { SearchFile(-1, {}); });
  m.On("File/Search/Search file in home *", [this] { SearchFile(0, {}); });
  m.On("File/Search/Search file in home 2 *", [this] { SearchFile(1, {}); });
}

} // namespace cv
