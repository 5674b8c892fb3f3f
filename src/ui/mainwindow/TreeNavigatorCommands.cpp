// The directory tree navigator in the main window: the docked panel of each
// board, the dialog command and the keys that reach them.

#include "mainwindow/MainDialog.h"

#include "columns/Column.h"
#include "columns/ColumnPainter.h"
#include "columns/ColumnView.h"
#include "columns/MyPanel.h"
#include "filesystem/File.h"
#include "filesystem/Partitions.h"
#include "foundation/Drawing.h"
#include "foundation/Guard.h"
#include "foundation/QtText.h"
#include "foundation/Random.h"
#include "mainwindow/MainMenus.h"
#include "mainwindow/SkinOptions.h"
#include "search/DirectoryTree.h"
#include "search/TreeNavigatorForm.h"
#include "search/TreeView.h"

#include <QApplication>
#include <QMouseEvent>

namespace cv {

namespace {

constexpr const char* CPanelHint =
    "Drag a directory name and drop it into a column to display the content of the directory in "
    "that column. Drop a column here to expand the tree to view the directory displayed in the "
    "source column. The tree is not updated automatically when directories are created or "
    "deleted; you have to update it manually by closing and opening again the branch which you "
    "want to update. Click [Double LMB] on a directory name, which has a small rectangle at its "
    "left with a \"+\" inside (or [LMB] on the \"+\"), in order to expand the tree with a branch "
    "which shows the content of that directory; if the small rectangle has a \"-\" inside, the "
    "branch of the directory is closed.";

QString PanelCaption(const std::string& path) {
  return ToQString(path.empty() ? std::string("Directory tree navigator")
                                : PartitionDisplayText(path));
}

} // namespace

void TMainForm::CreateTreeNavigator() {
  PanelTree = std::make_unique<TDirectoryTree>();
  PanelTreeView = new TTreeView(*PanelTree, TreePanel);
  PanelTreeView->setObjectName(QStringLiteral("TreeView"));
  PanelTreeView->setFrameShape(QFrame::NoFrame);
  PanelTreeView->setFocusPolicy(Qt::ClickFocus); // no tab stop
  PanelTreeView->setStatusTip(CPanelHint);
  PanelTreeView->OnSelectionChanged = [this](TTreeNode* node) { TreeSelectionChanged(node); };
  PanelTreeView->OnEnter = [this](TTreeNode* node) {
    if (node) BoardModel->EnterDirectory(ActiveColumn(), GetTreeNodeTitle(node), {.Alt = true});
  };
  PanelTreeView->OnMousePressed = [this](TTreeNode* node, const QMouseEvent& event) {
    TreeMousePressed(node, event);
  };
  PanelTreeView->OnMouseReleased = [this](const QMouseEvent& event) { TreeMouseReleased(event); };
  PanelTreeView->OnMouseMoved = [this](const QMouseEvent& event) {
    const QPoint global = event.globalPosition().toPoint();
    Random.AddEntropy(static_cast<uint8_t>(global.x() & 0xFF),
                      static_cast<uint8_t>(global.y() & 0xFF));
    if (!TreeDragTitle.empty() && !TreeDragging &&
        (global - TreeDragStart).manhattanLength() >= QApplication::startDragDistance())
      TreeDragging = true;
    const TTreeNode* node = PanelTreeView->NodeAt(event.position().toPoint());
    const QString hint = QStringLiteral("Current file \"") +
                         ToQString(PartitionDisplayText(GetTreeNodeTitle(node))) +
                         QStringLiteral("\". ") + QString::fromLatin1(CPanelHint);
    if (PanelTreeView->statusTip() != hint) {
      PanelTreeView->setStatusTip(hint);
      ShowHint(hint);
    }
  };
  Tree = PanelTreeView;
  TreeNavigatorForm = new TTreeNavigatorForm(this);
  IniSteps.Add(
      TIniStep::OtherDialogs,
      [this](const TStoredTextList& ini) { TreeNavigatorForm->ReadBounds(ini); },
      [this](TStoredTextList& ini) { TreeNavigatorForm->WriteBounds(ini); });
}

void TMainForm::RegisterTreeNavigatorCommands() {
  Menus->On("File/Navigate/Tree navigator dialog", [this] { TreeNavigatorDialogCommand(); });
  Menus->On("File/Navigate/Navigate to directory", [this] { NavigateToDirectoryCommand(); });
  Menus->On("Work/Layout/Toggle tree navigator", [this] { ToggleTreeNavigator(); });
}

void TMainForm::ApplyTreeNavigatorLook() {
  if (!PanelTreeView) return;
  PanelTreeView->setFont(ColumnItemsFont());
  PanelTreeView->TextColor = SkinOptions.ButtonTextColor;
  PanelTreeView->OwnTextColor = true;
  PanelTree->RestoreTreeExpandable();
  TreeTitle->SetCaption(PanelCaption(Boards.Active().TreeNavigatorPath).toStdString());
}

void TMainForm::NavigatePanelToBoardPath() {
  if (!PanelTree || !Boards.Active().ShowTreeNavigator) return;
  const std::string path = Boards.Active().TreeNavigatorPath;
  PanelTree->NavigateToTreeDirectory(path);
  TreeTitle->SetCaption(PanelCaption(path).toStdString());
}

void TMainForm::TreeSelectionChanged(TTreeNode* node) {
  TBoardData& board = Boards.Active();
  if (!board.ShowTreeNavigator || !node) return;
  const std::string path = GetTreeNodeTitle(node);
  board.TreeNavigatorPath = path;
  TreeTitle->SetCaption(PanelCaption(path).toStdString());
  // Until the window has started, selections come from its own navigation.
  if (!Created || !ProgramOptions.SynchronizeColumn) return;
  TColumn& column = Column(ActiveColumn());
  const std::string directory = IncludeDelimiter(path);
  if (directory == column.ActiveTitle) return;
  column.LoadDirectory(true, -1, std::nullopt, std::nullopt, std::nullopt, directory);
  UpdateActiveFile();
}

void TMainForm::TreeMousePressed(TTreeNode* node, const QMouseEvent& event) {
  TreeDragTitle.clear();
  TreeDragging = false;
  if (event.button() == Qt::RightButton && node) {
    // At the mouse's x and the lower edge of the node's row.
    const QRect row = PanelTreeView->TextRect(*node);
    ShowTitleSystemMenu(GetTreeNodeTitle(node), {},
                       PanelTreeView->viewport()->mapToGlobal(
                           QPoint(event.position().toPoint().x(), row.bottom() + 1)));
    return;
  }
  if (event.button() == Qt::LeftButton && node) {
    TreeDragTitle = GetTreeNodeTitle(node);
    TreeDragStart = event.globalPosition().toPoint();
  }
}

void TMainForm::TreeMouseReleased(const QMouseEvent& event) {
  const std::string title = std::exchange(TreeDragTitle, {});
  const bool dragging = std::exchange(TreeDragging, false);
  if (!dragging || title.empty() || event.button() != Qt::LeftButton) return;
  const QPoint global = event.globalPosition().toPoint();
  for (int target = 0; target < VisibleColumns(); ++target) {
    MyTPanel* list = ColumnView(target)->FileList;
    if (!list->rect().contains(list->mapFromGlobal(global))) continue;
    // The column the node was dropped on enters the directory.
    if (target != ActiveColumn()) FocusColumn(target);
    BoardModel->EnterDirectory(target, title, {.Alt = true});
    return;
  }
}

bool TMainForm::DropColumnOnTree(int column, const QPoint& global) {
  if (!PanelTreeView || !PanelTreeView->isVisible()) return false;
  if (!PanelTreeView->rect().contains(PanelTreeView->mapFromGlobal(global))) return false;
  PanelTree->NavigateToTreeDirectory(GetTitlePath(Column(column).ActiveTitle));
  PanelTreeView->setFocus(Qt::OtherFocusReason);
  return true;
}

void TMainForm::TreeNavigatorDialogCommand() {
  const TSkinOptions& skin = SkinOptions;
  QPalette palette = TreeNavigatorForm->palette();
  palette.setColor(QPalette::Window, ToQColor(skin.ButtonBackColor));
  palette.setColor(QPalette::WindowText, ToQColor(skin.ButtonTextColor));
  TreeNavigatorForm->setPalette(palette);
  TreeNavigatorForm->TreeView->setFont(ColumnItemsFont());
  const std::string chosen =
      TreeNavigatorForm->Dialog(GetTitlePath(Column(ActiveColumn()).ActiveTitle));
  if (chosen.empty()) return;
  BoardModel->EnterDirectory(ActiveColumn(), chosen, {.Alt = true});
}

void TMainForm::ToggleTreeNavigator() {
  TBoardData& board = Boards.Active();
  board.ShowTreeNavigator = !board.ShowTreeNavigator;
  Reset(false);
  NavigatePanelToBoardPath();
  FocusColumn(ActiveColumn());
}

void TMainForm::NavigateToDirectoryCommand() {
  if (!Boards.Active().ShowTreeNavigator) ToggleTreeNavigator();
  PanelTree->NavigateToTreeDirectory(GetTitlePath(Column(ActiveColumn()).ActiveTitle));
  PanelTreeView->setFocus(Qt::OtherFocusReason);
}

} // namespace cv
