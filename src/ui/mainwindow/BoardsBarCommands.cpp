// The boards bar's buttons and menus on the window's boards and columns.

#include "mainwindow/MainDialog.h"

#include "columns/BoardForm.h"
#include "columns/BoardsBar.h"
#include "columns/Column.h"
#include "columns/MyPanel.h"
#include "foundation/Guard.h"
#include "foundation/Text.h"
#include "mainwindow/MainMenus.h"

#include <QMenu>

namespace cv {

void TMainForm::CreateBoardsBar() {
  Bar = std::make_unique<TBoardsBar>(Boards, BoardsBar);
  Bar->OnShow = [this](int board) { ShowBoard(board); };
  Bar->OnCopy = [this](int board) { ChangeBoards(&TBoardSet::CopyIntoBoard, board); };
  Bar->OnSwitch = [this](int board) { ChangeBoards(&TBoardSet::SwitchWithBoard, board); };
  Bar->OnMove = [this](int board) { ChangeBoards(&TBoardSet::MoveToBoard, board); };
  Bar->OnGoTo = [this](int board, const QPoint& at) {
    TGuard guard("TBoardsBar::GoTo");
    guard.Run([&] {
      auto* menu = new QMenu(this);
      menu->setAttribute(Qt::WA_DeleteOnClose);
      Bar->FillGoToMenu(*menu, board);
      menu->popup(at);
    });
    guard.Show("Failed to show menu.");
  };
  Bar->OnGoToDirectory = [this](int, const TBoardDirectory& directory) {
    Column(ActiveColumn())
        .LoadDirectory(true, -1, directory.Key, directory.TopOffset, directory.Type,
                       directory.Title);
    FocusColumn(ActiveColumn());
  };
  // A column dragged onto a button is the source for the board it shows.
  Bar->OnDragStart = [this] { RunCommand("File/Inter-board/Mark source column"); };
}

void TMainForm::RenameBoard() {
  if (!BoardForm) BoardForm = new TBoardForm(this);
  std::string name = Boards.Active().Name;
  if (!BoardForm->Dialog("board", name)) return;
  // The dialog counts characters: so does the cut, which never parts one.
  Boards.Active().Name = std::string(FirstCharacters(name, TBoardData::MaxName));
  Bar->RefreshCaptions();
  FocusColumn(ActiveColumn());
}

void TMainForm::ChangeBoards(bool (TBoardSet::*operation)(int, const TBoardColumns&), int board) {
  TGuard guard("TBoardsBar::Change");
  guard.Run([&] {
    (Boards.*operation)(board, *BoardModel);
    Bar->RefreshCaptions();
  });
  guard.Show("Unhandled exception: " + guard.Context().Description);
  FocusColumn(ActiveColumn());
}

void TMainForm::ShowBoardsMenu(const QPoint& at) {
  TGuard guard("TBoardsBar::Dialog");
  guard.Run([&] {
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    Bar->FillBoardsMenu(*menu, Boards.ActiveBoard());
    menu->popup(at);
  });
  guard.Show("Failed to show boards menu.");
}

} // namespace cv
