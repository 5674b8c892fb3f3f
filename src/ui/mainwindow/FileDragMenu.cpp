// Two-column work by dragging: a left drag from one column's list to
// another's opens the "File-drag" menu for the pair; files dropped from
// other programs open the "External file-drag" menu.

#include "mainwindow/MainDialog.h"

#include "columns/BoardsBar.h"
#include "columns/Column.h"
#include "columns/ColumnPainter.h"
#include "columns/ColumnView.h"
#include "columns/MouseMenu.h"
#include "columns/MouseOperations.h"
#include "columns/MyPanel.h"
#include "fileops/AttachStreamMenu.h"
#include "fileops/CopyAsForm.h"
#include "fileops/FileForm.h"
#include "fileops/Run.h"
#include "filesystem/File.h"
#include "filesystem/Links.h"
#include "foundation/BusyCount.h"
#include "foundation/Clipboard.h"
#include "foundation/Guard.h"
#include "foundation/Program.h"
#include "foundation/QtText.h"
#include "foundation/ShiftState.h"
#include "foundation/Text.h"
#include "foundation/UserInterface.h"
#include "foundation/Utilities.h"
#include "mainwindow/DragMenu.h"
#include "mainwindow/MainMenus.h"
#include "mainwindow/SkinOptions.h"
#include "security/StegForm.h"

#include <QApplication>
#include <QCursor>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

namespace cv {
namespace {} // namespace

QMenu* TMainForm::BuildDragMenu(const std::vector<TDragItem>& items, uint32_t terms,
                                const std::function<void(std::string_view)>& run,
                                std::map<std::string, QMenu*>* submenus) {
  auto* root = new QMenu(this);
  root->setAttribute(Qt::WA_DeleteOnClose);
  std::vector<QMenu*> stack{root};
  for (const TDragItem& item : items) {
    QMenu* menu = stack.back();
    switch (item.Kind) {
    case TDragItemKind::Title: {
      QAction* title = menu->addAction(ToQString(item.Caption));
      QFont bold = title->font();
      bold.setBold(true);
      title->setFont(bold);
      title->setStatusTip(ToQString(item.Hint));
      menu->setDefaultAction(title);
      break;
    }
    case TDragItemKind::Separator:
      menu->addSeparator();
      break;
    case TDragItemKind::Menu: {
      QMenu* sub = menu->addMenu(ToQString(item.Caption));
      sub->setEnabled(item.Built && item.Rule.Holds(terms));
      if (submenus) (*submenus)[std::string(item.Caption)] = sub;
      stack.push_back(sub);
      break;
    }
    case TDragItemKind::EndMenu:
      stack.pop_back();
      break;
    case TDragItemKind::Item: {
      QAction* action = menu->addAction(ToQString(item.Caption));
      action->setStatusTip(ToQString(item.Hint));
      action->setEnabled(item.Built && item.Rule.Holds(terms));
      const std::string caption(item.Caption);
      connect(action, &QAction::triggered, this, [run, caption] { run(caption); });
      break;
    }
    }
  }
  return root;
}

void TMainForm::ListMouseDown(int column, const QMouseEvent& event, const QPoint& inner) {
  if (column >= VisibleColumns()) return;
  // The pressed column is the active one.
  if (column != ActiveColumn()) {
    BoardModel->SetActiveColumn(column);
    UpdateActiveFile();
  }
  TColumn& source = Column(column);
  const int index = source.List.ItemAtPoint(inner.x(), inner.y());
  const bool typeZone =
      index >= 0 && InTypeZone(inner - source.List.ItemRect(index).topLeft(), ColumnRowHeight());
  Press = {event.button(),
           column,
           index,
           static_cast<int>(index < 0  ? TMouseZone::Empty
                            : typeZone ? TMouseZone::Type
                                       : TMouseZone::Name),
           false,
           event.modifiers(),
           Boards.ActiveBoard()};
  Drag.DragButton = event.button();
  Drag.DragShift = ShiftStateFrom(event.modifiers());
  Drag.DragSourceColumn = column;
  Drag.DragIndex = index;
  // On empty space the focused item stands for the press; an empty list, its directory.
  Drag.DragTitle = index >= 0 ? source.Items[static_cast<size_t>(index)].Title : source.ActiveTitle;
  const QPoint global = event.globalPosition().toPoint();
  Drag.DragPointX = global.x();
  Drag.DragPointY = global.y();
  CloseMouseMenu();
  MouseMenuModel = std::make_unique<TMouseMenuModel>();
  MouseMenuModel->Prepare({Press.Button, column, index, static_cast<TMouseZone>(Press.Zone), false},
                          mapFromGlobal(global), QFontMetrics(ColumnItemsFont()).height());
}

void TMainForm::MouseMenuMove(const QPoint& global) {
  if (!MouseMenuModel || !MouseMenuModel->Prepared() ||
      !(QGuiApplication::mouseButtons() & Qt::RightButton))
    return;
  if (!MouseMenu && MouseMenuModel->ShowAt(mapFromGlobal(global)))
    MouseMenu = new TMouseMenu(this, *MouseMenuModel, SkinOptions.MouseMenuBackColor,
                               SkinOptions.MouseMenuTextColor, ColumnItemsFont());
  if (MouseMenu) MouseMenu->Highlight(global);
}

void TMainForm::CloseMouseMenu() {
  if (MouseMenu) MouseMenu->deleteLater();
  MouseMenu = nullptr;
}

void TMainForm::ListMouseUp(int column, const QMouseEvent& event) {
  if (event.button() != Press.Button || Press.Column != column) return;
  const QPoint global = event.globalPosition().toPoint();
  const Qt::KeyboardModifiers modifiers = Press.Modifiers;
  const TMousePress press{Press.Button, Press.Column, Press.Index,
                          static_cast<TMouseZone>(Press.Zone), Press.DoubleClick};
  // One release per press (a double click may be decided before its release).
  Press.Button = Qt::NoButton;
  Bar->EndDrag();
  const bool boardChanged = Press.Board != Boards.ActiveBoard();
  // A release over the mouse menu runs its cell on the source column.
  if (MouseMenu) {
    const int cell = MouseMenu->CellAt(global);
    const std::string operation = cell >= 0 ? MouseMenuModel->Operation(cell) : std::string();
    CloseMouseMenu();
    if (cell >= 0) {
      FocusColumn(column);
      RunMouseCommand(ClickOperationCommand(operation, modifiers), modifiers, global);
      return;
    }
  }
  // The list under the release; the press grabbed the mouse for the source list.
  for (int target = 0; target < VisibleColumns(); ++target) {
    MyTPanel* list = ColumnView(target)->FileList;
    const QPoint point = list->mapFromGlobal(global);
    if (!list->rect().contains(point)) continue;
    const QPoint inner = point - list->InnerOrigin();
    TColumn& destination = Column(target);
    const int index = destination.List.ItemAtPoint(inner.x(), inner.y());
    const bool typeZone =
        index >= 0 &&
        InTypeZone(inner - destination.List.ItemRect(index).topLeft(), ColumnRowHeight());
    if (boardChanged && press.Button == Qt::LeftButton) {
      // The drag went on from another board: the source is the column marked
      // when it reached the button, and the drop offers the "File-drag" menu.
      const int index = destination.List.ItemAtPoint(inner.x(), inner.y());
      if (index >= 0) destination.List.SetFocusIndex(index);
      Drag.DropIndex = index >= 0 ? index : destination.List.FocusIndex();
      if (target != ActiveColumn()) FocusColumn(target);
      RestoreMarkedDragState();
      ShowFileDragMenu(global);
      return;
    }
    const TMouseChoice choice = ChooseMouseOperation(press, {target, index,
                                                             index < 0  ? TMouseZone::Empty
                                                             : typeZone ? TMouseZone::Type
                                                                        : TMouseZone::Name});
    // A release on empty space leaves the focus where it is.
    if (choice.FocusIndex >= 0) destination.List.SetFocusIndex(choice.FocusIndex);
    Drag.DropIndex = choice.FocusIndex >= 0 ? choice.FocusIndex : destination.List.FocusIndex();
    if (target != ActiveColumn()) FocusColumn(target);
    RunMouseCommand(MouseChoiceCommand(choice, modifiers), modifiers, global);
    return;
  }
  // A column dropped on the tree navigator opens the tree at its directory.
  if (press.Button == Qt::LeftButton && !boardChanged) DropColumnOnTree(column, global);
}

void TMainForm::HeaderMouseUp(int column, const QMouseEvent& event) {
  if (column >= VisibleColumns()) return;
  FocusColumn(column);
  const TMouseChoice choice = ChooseHeaderOperation(event.button());
  RunMouseCommand(MouseChoiceCommand(choice, event.modifiers()), event.modifiers(),
                  event.globalPosition().toPoint());
}

void TMainForm::RunMouseCommand(const TMouseCommand& command, Qt::KeyboardModifiers modifiers,
                                const QPoint& at) {
  const int active = ActiveColumn();
  TColumn& column = Column(active);
  const auto toggle = [&](auto&& change) {
    EnableFileMenuItems(modifiers);
    if (QAction* select = Menus->Action("File/Select"); select && select->isEnabled()) change();
  };
  switch (command.Action) {
  case TMouseAction::Nothing:
    // "None", a single left click on a name, a click on empty space.
    break;
  case TMouseAction::SystemMenu:
    ShowContextMenu(false, ShiftStateFrom(modifiers), at);
    break;
  case TMouseAction::SystemDragMenu:
    ShowContextMenu(true, Drag.DragShift, at);
    break;
  case TMouseAction::ParentSystemMenu:
    ShowContextMenu(false, ssShift, at);
    break;
  case TMouseAction::Command:
    RunCommand(command.Target, modifiers);
    break;
  case TMouseAction::FileDragItem: {
    // Only what the "File-drag" menu would offer for this pair.
    const uint32_t terms = DragTerms({.Source = &Column(Drag.DragSourceColumn),
                                      .Destination = &column,
                                      .SourceIndex = Drag.DragIndex,
                                      .SameColumn = Drag.DragSourceColumn == active});
    for (const TDragItem& item : FileDragItems())
      if (item.Caption == command.Target && item.Built && item.Rule.Holds(terms))
        FileDragItemClick(command.Target);
    break;
  }
  case TMouseAction::Run:
  case TMouseAction::RunMaximized:
    if (!BusyCount.Busy())
      RunActiveItem(active, modifiers, command.Action == TMouseAction::RunMaximized);
    break;
  case TMouseAction::FileMenu:
    ShowFileMenu(at.x(), at.y(), modifiers);
    break;
  case TMouseAction::ToggleThis:
    toggle([&] { column.ToggleItem(column.List.FocusIndex()); });
    break;
  case TMouseAction::ToggleUp:
    toggle([&] { column.ToggleUp(); });
    break;
  case TMouseAction::ToggleDown:
    toggle([&] { column.ToggleDown(); });
    break;
  case TMouseAction::FileDragMenu:
    ShowFileDragMenu(at);
    break;
  case TMouseAction::ParentDirectory:
    ParentDirectory(active, modifiers);
    break;
  }
}

void TMainForm::ActivateExternalDrag() {
  // Only a left drag from a column that has left the window with the button held.
  if (Press.Button != Qt::LeftButton || Drag.DragSourceColumn < 0 ||
      Drag.DragSourceColumn >= VisibleColumns() ||
      !(QGuiApplication::mouseButtons() & Qt::LeftButton) ||
      frameGeometry().contains(QCursor::pos()))
    return;
  TColumn& source = Column(Drag.DragSourceColumn);
  Press.Button = Qt::NoButton;
  if (source.Count() == 0) return;
  std::vector<std::string> titles;
  for (const TFileListData& item : source.Items)
    if (item.Selected) titles.push_back(item.Title);
  if (titles.empty()) titles.push_back(source.ActiveTitle);
  QList<QUrl> urls;
  for (const std::string& title : titles)
    urls.append(QUrl::fromEncoded(FileUrlBytes(title)));
  auto* data = new QMimeData;
  data->setUrls(urls);
  const Qt::DropAction action = Drag.DragShift == ssAlt     ? Qt::LinkAction
                                : Drag.DragShift == ssShift ? Qt::MoveAction
                                                            : Qt::CopyAction;
  auto* drag = new QDrag(ColumnView(Drag.DragSourceColumn)->FileList);
  drag->setMimeData(data);
  // The receiving program moves if it was asked to; our sources stay as they are.
  drag->exec(action, action);
  Drag.DragSourceColumn = -1;
}

void TMainForm::ShowFileDragMenu(const QPoint& at) {
  if (BusyCount.Busy() || Drag.DragSourceColumn < 0) return;
  TColumn& source = Column(Drag.DragSourceColumn);
  TColumn& destination = Column(ActiveColumn());
  if (Drag.DragIndex < 0) Drag.DragIndex = source.List.FocusIndex();
  const uint32_t terms = DragTerms({.Source = &source,
                                    .Destination = &destination,
                                    .SourceIndex = Drag.DragIndex,
                                    .SameColumn = Drag.DragSourceColumn == ActiveColumn()});
  std::map<std::string, QMenu*> submenus;
  QMenu* menu = BuildDragMenu(
      FileDragItems(), terms, [this](std::string_view item) { FileDragItemClick(item); },
      &submenus);
  const std::string sourceTitle = Drag.DragTitle;
  if (QMenu* send = submenus["Send"]; send && send->isEnabled()) {
    const std::string destinationTitle = destination.ActiveTitle;
    FillSendDragMenu(*send, sourceTitle, destinationTitle);
  }
  if (QMenu* attach = submenus["Attach stream"]; attach && attach->isEnabled()) {
    SetupAttachStream(*attach, destination.ActiveTitle, [sourceTitle] { return sourceTitle; });
    FunStatContext.Reset(fsPerfect);
  }
  menu->popup(at);
  LastDragMenu = menu;
}

void TMainForm::FillSendDragMenu(QMenu& menu, const std::string& source,
                                 const std::string& destination) {
  const int from = Drag.DragSourceColumn >= 0 ? Drag.DragSourceColumn : ActiveColumn();
  TSendMenuRequest request;
  request.Kind = TFileMenuKind::SendDrag;
  request.Shift = Drag.DragShift;
  request.SourceCount = Column(from).Count();
  request.SourceIsActive = from == ActiveColumn();
  request.DragIndex = Drag.DragIndex;
  request.DropIndex = Drag.DropIndex;
  request.ActiveIsContainer = Column(ActiveColumn()).ContainerIndex >= 0;
  request.SourceTitle = source;
  request.ActiveTitle = destination;
  const std::vector<std::string> selection = SelectedTitles(from);
  FillFileMenu(menu, request, Program.SendDragPath(),
               [selection](const std::string& item, const TSendMenuState& state) {
                 TGuard guard("TMainForm::SendMenuClick");
                 guard.Run([&] {
                   SendDragToItem(item, state.Source, state.Destination, selection);
                   guard.TakeOver();
                 });
                 guard.Show("Failed to run file.");
               });
}

void TMainForm::FileDragItemClick(std::string_view item) {
  const int destination = ActiveColumn();
  const std::string destinationTitle = Column(destination).ActiveTitle;
  const std::string source = Drag.DragTitle;
  if (item == "Copy *" || item == "Insert item *") {
    if (item == "Insert item *" && Column(destination).ContainerIndex >= 0)
      CopyToContainer(Drag.DragSourceColumn, destination, Drag.DropIndex);
    else
      OnCopyMove("Copy", false);
  } else if (item == "Move *") {
    OnCopyMove("Move", false);
  } else if (item == "Compare *") {
    OnCopyMove("Compare", false);
  } else if (item == "Copy as link *") {
    OnCopyMove("Copy as link", false);
  } else if (item == "Convert picture *") {
    OnCopyMove("Convert picture", false);
  } else if (item == "Drop-convert picture *") {
    OnCopyMove("Convert picture", true);
  } else if (item == "Drop-copy *") {
    OnCopyMove("Copy", true);
  } else if (item == "Drop-move *") {
    OnCopyMove("Move", true);
  } else if (item == "Search duplicates") {
    SearchFile(-1, Drag.DragTitle);
  } else if (item == "Copy as" || item == "Move as" || item == "Copy as hard-link") {
    const TCopyAsMode mode = item == "Move as"             ? TCopyAsMode::Move
                             : item == "Copy as hard-link" ? TCopyAsMode::HardLink
                                                           : TCopyAsMode::Copy;
    ComCopyAs(source, GetTitlePath(destinationTitle), mode);
  } else if (item == "Send to program" || item == "Send reference to program") {
    const bool reference = item == "Send reference to program";
    TGuard guard(reference ? "TMainForm::FileDragMenu_SendRefToProgramClick"
                           : "TMainForm::FileDragMenu_SendToProgramClick");
    guard.Run([&] {
      const std::string sent =
          reference ? GetWhenReference(source, nullptr, nullptr, nullptr, false) : source;
      guard.TakeOver();
      MyRunFile(destinationTitle, sent, GetTitlePath(sent), true, false);
      guard.TakeOver();
    });
    guard.Show(reference ? "Failed to send reference to program."
                         : "Failed to send file to program.");
  } else if (item == "Steg-in" || item == "Steg-out") {
    StegForm->Dialog(source, destinationTitle, item == "Steg-in");
  } else if (item == "System") {
    ShowContextMenu(true, Drag.DragShift, QPoint(-1, -1));
  } else if (item == "Set with source column") {
    Column(destination)
        .SetWithColumn(
            Column(Drag.DragSourceColumn),
            {.CopyActive = true, .RememberPrevious = true, .Refocus = true, .TargetVisible = true});
    FocusColumn(destination);
  } else if (item == "Enter this directory") {
    TGuard guard("TMainForm::EnterThisDirectory");
    guard.Run([&] {
      BoardModel->EnterDirectory(destination, Column(Drag.DragSourceColumn).ActiveTitle,
                                 {.Alt = true});
      guard.TakeOver();
    });
    guard.Show("Failed to load directory.");
  }
}

void TMainForm::CopyToContainer(int source, int destination, int position) {
  TColumn& from = Column(source);
  TColumn& to = Column(destination);
  if (to.ContainerIndex < 0) return;
  const bool insert = position >= 0;
  const bool selection = from.SelCount > 0;
  std::string question =
      selection ? std::string(insert ? "Copy and insert the " : "Copy the ") +
                      std::to_string(from.SelCount) +
                      " selected files to the container?\n\nThe files themselves are NOT "
                      "copied, but only the container items."
                : std::string(insert ? "Copy and insert the focused file to the container?"
                                     : "Copy the focused file to the container?") +
                      "\n\nThe file itself is NOT copied, but only the container item.";
  if (!AskYesNo(question)) return;
  TGuard guard(insert ? "TColumn::InsertContainerItem" : "TColumn::CopyToContainer");
  size_t refused = 0;
  guard.Run([&] {
    TContainer& container = Containers.Container(to.ContainerIndex);
    std::vector<int> indexes; // -1: the focused item
    if (selection) {
      for (int i = 0; i < from.Count(); ++i)
        if (from.Items[static_cast<size_t>(i)].Selected) indexes.push_back(i);
    } else if (from.FocusedItem()) {
      indexes.push_back(-1);
    }
    const auto title = [&](int i) -> const std::string& {
      return i < 0 ? from.ActiveTitle : from.Items[static_cast<size_t>(i)].Title;
    };
    // Only what was added is deselected; what the container cannot keep is warned of.
    const auto added = [&](int i, int at) {
      if (at < 0)
        ++refused;
      else if (i >= 0)
        from.DeselectItem(i);
    };
    // Inserted from the last to the first, so they keep their order.
    for (auto i = indexes.rbegin(); insert && i != indexes.rend(); ++i)
      added(*i, container.InsertItem(position, title(*i)));
    for (const int i : indexes)
      if (!insert) added(i, container.AddItem(title(i)));
  });
  guard.Show(insert ? "Failed to copy and insert to container." : "Failed to copy to container.");
  if (refused > 0) ShowWarning(RefusedTitlesWarning(refused));
  RefreshContainer(to.ContainerIndex);
}

void TMainForm::OnCopyMove(const std::string& operation, bool fromDrop) {
  const int destination = ActiveColumn();
  TColumn& to = Column(destination);
  if (!fromDrop && to.ContainerIndex >= 0 && SameTextFolded(operation, "Copy")) {
    CopyToContainer(Drag.DragSourceColumn, destination, -1);
    return;
  }
  TColumn& from = Column(Drag.DragSourceColumn);
  TFileFormRequest request;
  request.Operation = operation;
  request.TwoColumn = true;
  request.FromDrop = fromDrop;
  request.Prefix = GetUnderscorePrefix(GetTitleName(to.ActiveTitle));
  request.DestinationTitle = to.ActiveTitle;
  request.SourceTitle = GetTitlePath(from.ActiveTitle);
  request.ActiveIndex = Drag.DragIndex;
  request.Container = from.ContainerIndex;
  RunFileOperation(request, Drag.DragSourceColumn);
  FocusColumn(ActiveColumn());
}

void TMainForm::ComCopyAs(const std::string& source, const std::string& destinationDirectory,
                          TCopyAsMode mode) {
  TColumn& to = Column(ActiveColumn());
  if (to.ContainerIndex >= 0 || to.SelCount > 0) return;
  if (!CopyAsForm) CopyAsForm = new TCopyAsForm(this);
  bool wholeDirectory = false;
  std::string name;
  BusyBracket([&] {
    if (!CopyAsForm->Dialog(source, destinationDirectory, mode, GetTitleName(to.ActiveTitle)))
      return;
    wholeDirectory = CopyAsForm->WholeDirectory();
    name = CopyAsForm->Name();
  });
  if (!wholeDirectory) return;
  // A directory goes through the file operation engine under its new name.
  TFileFormRequest request;
  request.Operation = mode == TCopyAsMode::Move ? "Move" : "Copy";
  request.TwoColumn = true;
  request.WholeDirectory = true;
  request.DestinationTitle = IncludeDelimiter(destinationDirectory) + name + "/";
  request.SourceTitle = IncludeDelimiter(source);
  request.ActiveIndex = Drag.DragIndex;
  request.Container =
      Drag.DragSourceColumn >= 0 ? Column(Drag.DragSourceColumn).ContainerIndex : -1;
  RunFileOperation(request, Drag.DragSourceColumn >= 0 ? Drag.DragSourceColumn : ActiveColumn());
}

// ---- The inter-board source column ------------------------------------------------------------

void TMainForm::TakeDragStateOfActiveColumn(uint32_t shift) {
  const int active = ActiveColumn();
  Drag.DragSourceColumn = active;
  Drag.DragShift = shift;
  Drag.DragIndex = Column(active).List.FocusIndex();
  Drag.DragTitle = Column(active).ActiveTitle;
}

void TMainForm::RestoreMarkedDragState() {
  Drag.DragSourceColumn = TBoardColumns::SourceColumn;
  Drag.DragShift = Drag.MarkedShift;
  Drag.DragIndex = Drag.MarkedIndex;
  Drag.DragTitle = Drag.MarkedTitle;
}

void TMainForm::EnableInterBoardItems() {
  const TColumn& marked = Column(TBoardColumns::SourceColumn);
  const TColumn& active = Column(ActiveColumn());
  const bool markedEmpty = marked.Count() == 0;
  const bool samePath = marked.ContainerIndex >= 0 || active.ContainerIndex >= 0
                            ? marked.ContainerIndex == active.ContainerIndex
                            : GetTitlePath(Drag.MarkedTitle) == GetTitlePath(active.ActiveTitle);
  const bool anyPartition =
      IsPartitionTitle(Drag.MarkedTitle) || IsPartitionTitle(active.ActiveTitle);
  const bool destinationContainer = active.ContainerIndex >= 0;
  const std::string name = GetTitleName(ExcludeDelimiter(GetTitlePath(Drag.MarkedTitle)));
  std::string title =
      marked.ContainerIndex >= 0
          ? "Container \"" + Containers.Container(marked.ContainerIndex).Name() + "\""
      : !name.empty() ? "Directory \"" + name + "\""
                      : std::string("No marked column");
  if (marked.SelCount > 0) title += " (" + std::to_string(marked.SelCount) + ")";
  if (QAction* heading = Menus->Action("File/Inter-board/Inter-board"))
    heading->setText(MenuCaption(title));
  const auto enable = [this](const char* item, bool enabled) {
    if (QAction* action = Menus->Action(std::string("File/Inter-board/") + item))
      action->setEnabled(action->isEnabled() && enabled);
  };
  enable("Show File-drag menu", !name.empty() && !markedEmpty);
  enable("Set with source column", !markedEmpty && !samePath);
  enable("Copy *", !markedEmpty && !samePath && !anyPartition);
  enable("Move *", !markedEmpty && !samePath && !anyPartition && !destinationContainer);
}

void TMainForm::RegisterInterBoardCommands() {
  TMainMenus& m = *Menus;
  m.On("File/Inter-board/Mark source column", [this] {
    // The menu marks the active column; the key took its drag state already.
    if (Drag.DragSourceColumn != ActiveColumn()) TakeDragStateOfActiveColumn(0);
    Drag.MarkedShift = Drag.DragShift;
    Drag.MarkedIndex = Drag.DragIndex;
    Drag.MarkedTitle = Drag.DragTitle;
    BoardModel->MarkSourceColumn();
    FocusColumn(ActiveColumn());
  });
  m.On("File/Inter-board/Show File-drag menu", [this] {
    RestoreMarkedDragState();
    MyTPanel* list = ColumnView(ActiveColumn())->FileList;
    const QRect item =
        Column(ActiveColumn()).List.ItemRect(Column(ActiveColumn()).List.FocusIndex());
    const QPoint below(list->width() / 2,
                       item.isNull() ? 0 : item.bottom() + list->InnerOrigin().y());
    ShowFileDragMenu(list->mapToGlobal(below));
  });
  m.On("File/Inter-board/Set with source column", [this] { BoardModel->SetWithSourceColumn(); });
  m.On("File/Inter-board/Rename board", [this] { RenameBoard(); });
  for (const char* operation : {"Copy", "Convert picture", "Move"})
    m.On(std::string("File/Inter-board/") + operation + " *", [this, operation] {
      RestoreMarkedDragState();
      OnCopyMove(operation, false);
    });
}

// ---- Files dropped from other programs ---------------------------------------------------------

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
  if (DroppedFilesCount(event->mimeData()) > 0) event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event) {
  std::vector<std::string> titles;
  DroppedFilesToList(event->mimeData(), titles);
  FunStatContext.Reset(fsPerfect);
  event->acceptProposedAction();
  const QPoint global = mapToGlobal(event->position().toPoint());
  // The menu waits until the drop has been answered.
  QTimer::singleShot(0, this, [this, titles, global] { ProcessDroppedFiles(titles, global); });
}

void TMainForm::ProcessDroppedFiles(const std::vector<std::string>& titles, const QPoint& at) {
  TGuard guard("TMainForm::ProcessDroppedFiles");
  guard.Run([&] {
    if (titles.empty()) guard.Raise("No files are dropped.");
    constexpr int External = TBoardColumns::DropColumn;
    ListInDropColumn(titles);
    Drag.DragSourceColumn = External;
    Drag.DragShift = 0;
    Drag.DragIndex = 0;
    Drag.DragTitle = titles.front();
    for (int i = 0; i < VisibleColumns(); ++i)
      if (ColumnView(i)->FileList->rect().contains(ColumnView(i)->FileList->mapFromGlobal(at))) {
        FocusColumn(i);
        break;
      }
    TColumn& destination = Column(ActiveColumn());
    std::map<std::string, QMenu*> submenus;
    QMenu* menu = BuildDragMenu(
        ExternalDragItems(), DropTerms(titles, destination),
        [this, titles](std::string_view item) { ExternalDragItemClick(item, titles); }, &submenus);
    menu->defaultAction()->setText(
        ToQString("External file-drag (" + std::to_string(titles.size()) + " items)"));
    if (QMenu* add = submenus["Add to container *"]) {
      for (int n = 0; n < TContainerSet::Count; ++n) {
        QAction* action = add->addAction(MenuCaption(Containers.Container(n).MenuCaption()));
        connect(action, &QAction::triggered, this, [this, n, titles] {
          TGuard adding("TMainForm::AddToContainerMenuClick");
          size_t refused = 0;
          adding.Run([&] {
            for (const std::string& title : titles)
              if (Containers.Container(n).AddItem(title) < 0) ++refused;
          });
          adding.Show("Failed to copy to container.");
          if (refused > 0) ShowWarning(RefusedTitlesWarning(refused));
          RefreshContainer(n);
        });
      }
    }
    menu->popup(at);
    LastDragMenu = menu;
  });
  guard.Show("Failed to setup the \"External file-drag\" menu.");
}

void TMainForm::ExternalDragItemClick(std::string_view item,
                                      const std::vector<std::string>& titles) {
  TColumn& destination = Column(ActiveColumn());
  if (item == "Go to file") {
    TGuard guard("TMainForm::ExternalFileDragMenu_GoToFileClick");
    guard.Run([&] {
      destination.LoadDirectory(true, -1, std::nullopt, std::nullopt, std::nullopt, titles.front());
    });
    guard.Show("Failed to go to file.");
  } else if (item == "Add to this container *") {
    TGuard guard("TMainForm::ExternalFileDragMenu_AddToThisContainerClick");
    size_t refused = 0;
    guard.Run([&] {
      for (const std::string& title : titles)
        if (Containers.Container(destination.ContainerIndex).AddItem(title) < 0) ++refused;
    });
    guard.Show("Failed to paste in container.");
    if (refused > 0) ShowWarning(RefusedTitlesWarning(refused));
    RefreshContainer(destination.ContainerIndex);
  } else if (item == "Copy *" || item == "Convert picture *" || item == "Move *") {
    OnCopyMove(item == "Copy *" ? "Copy" : item == "Move *" ? "Move" : "Convert picture", false);
  } else if (item == "Copy as" || item == "Move as") {
    ComCopyAs(titles.front(), GetTitlePath(destination.ActiveTitle),
              item == "Move as" ? TCopyAsMode::Move : TCopyAsMode::Copy);
  }
  Column(10).SetWithList({}, false);
  FocusColumn(ActiveColumn());
}

} // namespace cv
