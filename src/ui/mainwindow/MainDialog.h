#pragma once
// The main window: the board of columns, the information bars, the main
// timer, the options files, activation and the close sequence.

#include "columns/Board.h"
#include "columns/BoardColumns.h"
#include "columns/Container.h"
#include "columns/DirMonitorCheck.h"
#include "fileops/ActiveFileCommands.h"
#include "fileops/FileFormSettings.h"
#include "fileops/NameCommands.h"
#include "fileops/RenameForm.h"
#include "foundation/MemoryStorage.h"
#include "foundation/MyTime.h"
#include "foundation/StoredTextList.h"
#include "mainwindow/Commands.h"
#include "mainwindow/HoverState.h"
#include "mainwindow/SystemMenus.h"
#include "options/OptionsIni.h"

#include <QImage>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

class QKeyEvent;
class QLabel;
class QPlainTextEdit;
class QMenu;

namespace cv {

class TColumn;
class TBoardsBar;
class TColumnView;
class TColumnThumbs;
class TFileForm;
struct TFileFormRequest;
struct TTypedPath;
class THistory;
class TWaitInput;
class TInfoBar;
class MyTPanel;
class TMainMenus;
class TOptionsForm;
class TDirectoryTree;
struct TTreeNode;
class TTreeView;
class TTreeNavigatorForm;

class TMainForm : public QMainWindow {
  Q_OBJECT
public:
  static constexpr int ColumnCount = 12; // 0..9 on the board, 10 drops, 11 inter-board source
  static constexpr int BoardColumns = 10;

  explicit TMainForm(QWidget* parent = nullptr);
  ~TMainForm() override;

  // Runs once every window exists: options, layout, columns, focus.
  void Setup();
  // The configuration wizard, and the checked steps applied; `firstRun`
  // starts it with the bars of a usable window checked.
  void WizardCommand(bool firstRun);
  // The start path's offer: the wizard when the options were never saved.
  void OfferFirstRunWizard();
  // Writes the options, the boards and the containers as a close does, and
  // the window stays: the close and the session manager's request to save.
  void SaveSession();
  // A close asked from outside (a termination signal): a running file
  // operation is cancelled and every dialog answers Cancel, since nobody may
  // be there to answer; the window closes once their loops returned.
  void CloseFromOutside();

  TColumn& Column(int index) { return *Columns.at(static_cast<size_t>(index)); }
  TColumnView* ColumnView(int index) { return Views.at(static_cast<size_t>(index)); }
  // The thirty boards and the columns of the active one.
  TBoardSet Boards;
  std::unique_ptr<TBoardColumns> BoardModel;
  int VisibleColumns() const { return BoardModel->VisibleColumns(); }
  int ActiveColumn() const { return BoardModel->ActiveColumn(); }
  // The board area that holds the column views.
  QWidget* BoardArea() const { return Board; }
  bool Created = false;
  std::unique_ptr<THistory> History;
  // Refuses input while a column waits for a slow file system.
  std::unique_ptr<TWaitInput> WaitGuard;

  // Where "Corvantide.ini" and "Corvantide.cvo" live now.
  std::string OptionsDirectory() const;
  TStoredTextList OptionsIni;
  TFileStorage OptionsFile;
  // Who reads and writes which part of "Corvantide.ini", in file order.
  TOptionsIni IniSteps;

  // Side panel and viewer sizes, kept with the window's bounds.
  int TreeNavigatorWidth = 300;
  int MPLWidth = 240;
  int ViewerHeight = 250;

  // Applies the options to the file layer and the window, after loading
  // them and after the options dialog.
  void ApplyOptions();
  // The "Options" command: the dialog, then the options applied.
  void OptionsCommand();

  // Lays the visible columns out; `reload` loads them again.
  void Reset(bool reload);
  // Places the column views across the board area.
  void LayoutBoard();
  // Enter on the active item, Backspace: browsing inside the column's group.
  void EnterActiveItem(int column, Qt::KeyboardModifiers modifiers);
  // "Run": a directory (or a link to one) is entered, anything else runs.
  void RunActiveItem(int column, Qt::KeyboardModifiers modifiers, bool maximized);
  void ParentDirectory(int column, Qt::KeyboardModifiers modifiers);
  void FocusColumn(int index);
  // The directory-monitor check over the visible columns.
  bool CheckDirMonitor(bool force);
  TDirMonitorCheckState MonitorState;

  void ApplicationEventsActivate();
  void MainTimerTimer();
  QTimer MainTimer;
  std::string CaptionText() const;

  // The active column's information bars, after its active file changed.
  void UpdateActiveFile();

  TOptionsForm* OptionsForm = nullptr;

  // The twenty containers.
  TContainerSet Containers;
  // The column lists what its container holds, in the same order.
  bool ColumnMatchesContainer(const TColumn& column) const;
  // Every visible column showing the container reads it again.
  void RefreshContainer(int container);
  // Shows container n in the active column (-1: its directory again).
  void ShowContainer(int container);
  // Adds the active column's selection (or active file) to container n.
  void AddToContainer(int container);

  // The file operation dialog over column `source`: reloads the source
  // column when the operation has no destination, then every visible
  // column whose directory changed. True when an Okay button ran it.
  bool RunFileOperation(const TFileFormRequest& request, int source);
  // The file operation dialog, made at its first use.
  TFileForm& FileDialog();
  // Cut and Copy: the active column's selection (or active file) on the
  // desktop's clipboard as a file list.
  void PutFilesOnClipboard(bool cut);
  // Paste: the clipboard's files into the active column's directory (or
  // into `directory`) through the file operation dialog, moved when they
  // were cut.
  void PasteFiles(const std::string& directory = {});
  // The drop column listing exactly `titles` (pasted, dropped or named by a
  // menu), a source of its own: each is one file, whatever its name holds.
  TColumn& ListInDropColumn(const std::vector<std::string>& titles);
  static constexpr const char* PasteNeedsDirectory =
      "Files can be pasted only into a column that shows a directory.";
  TFileFormSettings FileFormState;
  TFileForm* FileForm = nullptr;
  class TManualRunForm* ManualRunForm = nullptr;
  class TNewFileForm* NewFileForm = nullptr;
  class TRenameForm* RenameForm = nullptr;
  class TMultiRenameForm* MultiRenameForm = nullptr;
  // Made on first use; its stored settings are read and written with the ini.
  class TMultiRenameForm& MultiRename();
  // "Multi-rename file *" (files, their container items following) and
  // "Multi-rename item *" (container items only) over the active column.
  void MultiRenameCommand(bool renameFiles);
  // "New directory" / "New file" in the active column's directory.
  void NewItem(int kind);
  // "Rename file": the rename dialog from the active item on.
  void RenameActiveItem();
  // The container menus and commands.
  void RegisterContainerCommands();
  // The trash column's commands: put back, delete for good, empty.
  void RegisterTrashCommands();
  enum class TTrashAction { Restore, Delete, Empty };
  // Restore and Delete act on `titles` of the trash column when given
  // (the System menu's targets), else on its selection or focused item.
  void TrashCommand(TTrashAction action, const std::vector<std::string>* titles = nullptr);
  void FillShowContainerMenu(QMenu& menu);
  void FillAddToContainerMenu(QMenu& menu, bool forActiveColumn);
  void RecycleFromContainer(bool all);
  void RemoveDuplicateItems();
  void RelocateItems();
  void PasteInContainer();
  void GoToContainerFile();
  void RenameContainer();
  void RenameContainerItems();
  // Renames item i of the container to a new title (for the rename dialog).
  TRenameForm::TRenameItem ContainerItemRenamer(int container);
  class TBoardForm* BoardForm = nullptr;
  bool ContainerSaveFailureShown = false;
  // ---- Dragging between columns and drops from other programs ----
  void ListMouseDown(int column, const QMouseEvent& event, const QPoint& inner);
  void ListMouseUp(int column, const QMouseEvent& event);
  void HeaderMouseUp(int column, const QMouseEvent& event);
  // Runs a chosen mouse operation in the active column.
  void RunMouseCommand(const struct TMouseCommand& command, Qt::KeyboardModifiers modifiers,
                       const QPoint& at);
  // The mouse menu follows a right drag; a release over it runs a cell.
  void MouseMenuMove(const QPoint& global);
  void CloseMouseMenu();
  // A left drag that left the window goes to other programs as a file drag.
  void ActivateExternalDrag();
  // The press the release is about (kept from press to release).
  struct TMousePressState {
    Qt::MouseButton Button = Qt::NoButton;
    int Column = -1, Index = -1;
    int Zone = 0; // TMouseZone
    bool DoubleClick = false;
    Qt::KeyboardModifiers Modifiers;
    int Board = 0; // the board shown at the press
  } Press;
  std::unique_ptr<class TMouseMenuModel> MouseMenuModel;
  QPointer<class TMouseMenu> MouseMenu;
  std::string LastListHint;
  // The "File-drag" menu for the drag state's source and the active column.
  void ShowFileDragMenu(const QPoint& at);
  QMenu* BuildDragMenu(const std::vector<struct TDragItem>& items, uint32_t terms,
                       const std::function<void(std::string_view)>& run,
                       std::map<std::string, QMenu*>* submenus);
  void FillSendDragMenu(QMenu& menu, const std::string& source, const std::string& destination);
  void FileDragItemClick(std::string_view item);
  // The source's selection or dragged item into the destination's container;
  // `position` >= 0 inserts there.
  void CopyToContainer(int source, int destination, int position);
  // Copy, move, compare or link from the drag's source into the active column.
  void OnCopyMove(const std::string& operation, bool fromDrop);
  void ComCopyAs(const std::string& source, const std::string& destinationDirectory,
                 TCopyAsMode mode);
  void ProcessDroppedFiles(const std::vector<std::string>& titles, const QPoint& at);
  void ExternalDragItemClick(std::string_view item, const std::vector<std::string>& titles);
  class TCopyAsForm* CopyAsForm = nullptr;
  // The inter-board source column (column 11) and its menu items.
  void TakeDragStateOfActiveColumn(uint32_t shift);
  void RestoreMarkedDragState();
  void EnableInterBoardItems();
  void RegisterInterBoardCommands();
  // The drag menu on the screen (tests answer it).
  QPointer<QMenu> LastDragMenu;
  // ---- Menus from directories, System and System-drag menus ----
  // The System (or, with `drag`, System-drag) menu's contents from the
  // columns: in drag mode those of the dragged files.
  TSystemMenu SystemMenuFor(bool drag, uint32_t shift);
  // The System menu of a tree node's directory, below its row.
  // The system menu of one title (a tree node, a found file); a caption
  // replaces the usual heading.
  void ShowTitleSystemMenu(const std::string& title, const std::string& caption, QPoint at);
  void PopupSystemMenu(const TSystemMenu& data, QPoint at, const QRect& avoid);
  // Shows it at `at` (-1, -1: below the active column's focused row).
  void ShowContextMenu(bool drag, uint32_t shift, QPoint at);
  void RunSystemCommand(TSystemCommand command, const TSystemMenu& menu);
  // The system menu on the screen (tests answer it).
  QPointer<QMenu> LastSystemMenu;
  // Writes the containers changed a second ago, or all changed ones.
  void SaveChangedContainers(bool all);
  TMainMenus* Menus = nullptr;

  // The enabled, checked and title states of the menus, from the active
  // column; run before every command key, mouse operation and menu.
  void EnableFileMenuItems(Qt::KeyboardModifiers modifiers);
  // The "File" menu at a screen point; -1 places it at the active item.
  void ShowFileMenu(int x, int y, Qt::KeyboardModifiers modifiers);
  // Runs a command through its menu item; false when it is disabled.
  bool RunCommand(std::string_view path, Qt::KeyboardModifiers modifiers = {});
  // The modifiers held when the last menu opened or command key came.
  Qt::KeyboardModifiers MenuShift;
  TDragState Drag;

  // The viewer panel is shown.
  bool ViewerShown = false;

  // ---- Media play-lists and the viewer ----
  std::unique_ptr<struct TMediaPlayback> Media;
  void CreateMediaPlayer();
  void RegisterMediaCommands();
  // The viewer taken by a video.
  void ShowVideoViewer();
  // The panel and the video follow the layout.
  void PlaceMediaWidgets();
  void MediaTimerStep();
  // "=", "-", "]", "[": volume and seeking.
  void MediaKey(int key);
  // "View": play-lists, media, pictures and texts of the active file.
  void ViewActiveFile();
  void ViewTitle(const std::string& title);
  void ViewText(const std::string& title);
  // ---- The viewer's pictures ----
  class TPictureViewer* PictureViewer = nullptr;
  // A picture occupies the viewer (the text area is hidden).
  bool PictureShown = false;
  void CreatePictureViewer();
  void RegisterViewerCommands();
  void ViewPicture(const std::string& title, uint32_t background);
  // Hides the video and the picture, empties the text.
  void ResetViewer();
  // "View next" (1) and "View previous" (-1): the focus moves that far in
  // the active column, then the new active file is viewed.
  void ViewStep(int step);
  void ViewClipboardPicture();
  // The media of the active column; `fromActive` starts at the active file.
  void ViewMediaInDirectory(bool fromActive);
  void LastPlayedMPLMenuClick(const struct TLastPlayedEntry& entry);
  void FillMPLsMenu(QMenu& menu);

  // ---- Security tools: the streams editor and the password generator ----
  class TFileStreamsForm* FileStreamsForm = nullptr;
  class TPasswordGeneratorForm* PasswordGeneratorForm = nullptr;
  class TStegForm* StegForm = nullptr;
  void RegisterSecurityCommands();
  // "Edit streams" (0), "Edit streams (autoload)" (1), "Edit description" (2).
  void EditStreamsCommand(int mode);
  void ViewStegNoiseCommand();

  // ---- Directory tree navigator: the docked panel and the dialog ----
  std::unique_ptr<TDirectoryTree> PanelTree;
  TTreeView* PanelTreeView = nullptr;
  TTreeNavigatorForm* TreeNavigatorForm = nullptr;
  // ---- Filtered selection, locate file and text to code ----
  class TSelectionForm* SelectionForm = nullptr;
  class TLocateFileForm* LocateFileForm = nullptr;
  class TTextToCodeForm* TextToCodeForm = nullptr;
  void RegisterSearchToolCommands();
  void RegisterSearchFileCommands();
  // The search dialog over the active column; with `home` 0 or 1 the search
  // board's first or second column first; a model searches its duplicates.
  void SearchFile(int home, const std::string& model);
  void SearchInColumn(int column, const std::string& model);
  void ShowSearchBoard();
  std::shared_ptr<struct TSearchFileSettings> SearchSettings;
  // ---- Undo of file operations ----
  class TUndoListForm* UndoListForm = nullptr;
  void RegisterUndoCommands();
  // Undoes the last operation, or those down to one chosen from the list.
  void UndoCommand(bool fromList);
  // "Tree navigator dialog", "Navigate to directory", "Toggle tree navigator".
  void TreeNavigatorDialogCommand();
  void NavigateToDirectoryCommand();
  void ToggleTreeNavigator();
  // Opens the panel's tree at the active board's path (when it is shown).
  void NavigatePanelToBoardPath();
  // A column's list released over the panel's tree: true when it was there.
  bool DropColumnOnTree(int column, const QPoint& global);

protected:
  bool event(QEvent* event) override;
  // The main window's keys come before the columns'.
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

private:
  void CreateColumns();
  void BindColumn(TColumn& column);
  void LoadOptions();
  void SaveOptions();
  void RegisterIniSteps();
  void ReadWindowPlace(const TStoredTextList& ini);
  void WriteWindowPlace(TStoredTextList& ini) const;
  void LoadBoardFile(TFileStorage& storage, int32_t version);
  // The column's key table, after the list's own keys.
  void ColumnKey(int column, const QKeyEvent& key);
  // The main window's key table; true when the key went no further.
  bool MainKey(const QKeyEvent& key);
  void RegisterCommands();
  void RegisterFileCommands();
  // The file dialog over the active column's selection or active file;
  // `destination` names the destination directory of two-column operations.
  void FileOperationOnActive(const std::string& operation, const std::string& destination = {});
  void FillDropToPartitionMenu(QMenu& menu, const std::string& operation);
  // The commands on the active column's active file.
  void RegisterColumnCommands();
  void CreateTreeNavigator();
  void RegisterTreeNavigatorCommands();
  void ApplyTreeNavigatorLook();
  void TreeSelectionChanged(TTreeNode* node);
  void TreeMousePressed(TTreeNode* node, const QMouseEvent& event);
  void TreeMouseReleased(const QMouseEvent& event);
  // A left press on a node: a drag to a column once it moved far enough.
  std::string TreeDragTitle;
  QPoint TreeDragStart;
  bool TreeDragging = false;
  // Raises the busy counter around `body`, then reloads changed columns.
  void BusyBracket(const std::function<void()>& body);
  void ClipActivePart(TClipPart part);
  void GoToReference();
  void SetActiveFileFromClipboard();
  // "Go to path": the box over the active column's header; the column
  // shows what it names.
  void GoToPath();
  void ShowTypedPath(int column, const TTypedPath& path);
  QPointer<class TGoToPathBox> PathBox;
  void SetAsWallpaper();
  // "%t_cl%" and "%r_cl%": the selection (or the active file) as a file list.
  void ClipSelection(bool references);
  // The "Send" and "Tools" menus from their directories of links.
  void FillLinkMenu(QMenu& menu, const std::string& directory, bool send);
  void ShowFileMenuEntries(QMenu& menu, const std::vector<TFileMenuEntry>& entries,
                           const std::function<void(const std::string&)>& click);
  // A menu of files with its heading, in the state of the moment it opens.
  void FillFileMenu(
      QMenu& menu, const TSendMenuRequest& request, const std::string& directory,
      const std::function<void(const std::string& item, const TSendMenuState& state)>& click);
  std::vector<std::string> SelectedTitles(int column);
  void GoToLocation(const std::string& item);
  // The file dialog over these titles, each one file whatever its name holds.
  void RunFileOperationOn(const std::string& operation, const std::vector<std::string>& titles);
  // The rename dialog for one title (a reference, a parent, a dragged file).
  void RenameTitle(const std::string& title);
  void RegisterSystemMenus();
  static std::string SystemLocationMenuPath(const struct TSystemLocation& location);
  // The File menu's items that depend on the modifiers and on what exists.
  void EnableSystemMenuItems(Qt::KeyboardModifiers modifiers);
  void GoTo(const std::string& directory);

public:
  // Shows board `index` (the number keys, the boards menu, the search board).
  void ShowBoard(int index);
  // The buttons of the boards.
  std::unique_ptr<TBoardsBar> Bar;
  // The "Active board" menu of the toolbar's "Board" button.
  void ShowBoardsMenu(const QPoint& at);

private:
  void CreateBoardsBar();
  // "Rename board": the active board's name on its button.
  void RenameBoard();
  // Runs one of the bar's board operations on the boards and the columns.
  void ChangeBoards(bool (TBoardSet::*operation)(int, const TBoardColumns&), int board);

public:
  // Skins: the menu of the toolbar's "Skins" button, its skin files, and
  // showing the current skin in every window.
  void ShowSkinsMenu(bool fullLoad);
  void ApplySkinFile(const std::string& title);
  void ApplySkin(bool reloadPicture);
  // Builds the background picture for the client size; a title (when not
  // empty) becomes the skin's picture first.
  void SetupBackPicture(const std::string& title);
  const QImage& BackPicture() const { return BackImage; }
  class TSkinEditorForm* SkinEditor = nullptr;
  QPointer<QMenu> SkinsMenu;

private:
  void RegisterSkins();
  void ReadCurrentSkin(const TStoredTextList& ini);
  void WriteCurrentSkin(TStoredTextList& ini) const;
  void InstallPredefinedSkins();
  void SaveSkinAs();
  void EditSkin();
  void ApplySkinLook();
  // Whether a skin file loads everything or only its colours.
  bool SkinFullLoad = true;
  struct TBackPictureKey {
    std::string Title;
    int64_t Seconds = 0;
    int64_t Nanoseconds = 0;
    auto operator<=>(const TBackPictureKey&) const = default;
  };
  // The decoded picture and what it was decoded from; a resize only tiles it again.
  TBackPictureKey BackSourceKey;
  QImage BackSource;
  // The source with the skin's gamma and colour turns, and the values it has.
  QImage BackAdjusted;
  std::array<int, 4> BackAdjustedFor{};
  QImage BackImage;
  std::set<TBackPictureKey> BrokenBackPictures;

private:
  void ShowMenuBelow(std::string_view name, QWidget* button);
  void SortActiveColumn(const std::string& mode);
  void AssociateExtension(const std::string& group);
  void ToggleOption(bool& option);
  void FillHistoryMenu(QMenu& menu);
  void FillPartitionsMenu(QMenu& menu);
  void ShowInfoBars();

  std::array<std::unique_ptr<TColumn>, ColumnCount> Columns;
  std::array<TColumnView*, BoardColumns> Views{};
  // Paints the thumbs of every column in thumb mode.
  std::unique_ptr<TColumnThumbs> Thumbs;
  void ApplyLayout(const struct TMainLayout& layout);
  // The item under the mouse: hot-tracking now, the hover window later.
  void ListMouseMove(int column, const QPoint& inner, const QPoint& global);
  // The hint of what the mouse is over in a column's list ("" outside any).
  std::string ListHintAt(int column, const QPoint& inner) const;
  // Says the list hint again for what is under the mouse now, or clears it
  // when the mouse is over no list; after the items changed under it.
  void RefreshListHint();
  void CheckItemHotTrack();
  void ApplyHover(const THoverActions& actions);
  // The file hover window: opened for the hot item, closed with its preview.
  void OpenHoverWindow(const THotItem& item);
  void CloseHoverWindow();
  void HoverTimerStep();
  // "[" and "]" while nothing plays: replay the hover window's preview.
  bool HoverReplay();
  QPointer<class TFileHoverForm> HoverForm;
  THoverTracker Hover;
  int LargestViewerHeightNow() const;
  void ShowHint(const QString& hint);

  QWidget* Client = nullptr;
  MyTPanel* Toolbar = nullptr;
  std::vector<MyTPanel*> ToolbarButtons;
  class TUserLogo* UserLogo = nullptr;
  MyTPanel* BoardsBar = nullptr;
  QWidget* WorkArea = nullptr;
  MyTPanel* TreePanel = nullptr;
  MyTPanel* TreeTitle = nullptr;
  MyTPanel* TreeSplitter = nullptr;
  QWidget* Tree = nullptr;
  MyTPanel* PlayList = nullptr;
  QWidget* Board = nullptr;
  QWidget* ColumnsArea = nullptr;
  QWidget* Viewer = nullptr;
  MyTPanel* ViewerSplitter = nullptr;
  QPlainTextEdit* ViewerClient = nullptr;
  QWidget* InfoBars = nullptr;
  MyTPanel* HintBar = nullptr;
  bool BoardLoaded = false;
  TInfoBar* ColumnInfoBar = nullptr;
  TInfoBar* FileInfoBar = nullptr;
  TInfoBar* DescriptionBar = nullptr;
  TInfoBar* ReferenceBar = nullptr;

  TCrono MonitorCrono;
  TCrono CaptionCrono;
  TCrono MediaCrono;
  TCrono HoverCrono;
  bool FirstActivation = true;
  bool FirstResize = true;
  bool ActiveFileUpdatePending = false;
  // A close came while a file operation ran: it goes on once the engine returned.
  bool CloseAfterFileOperation = false;
  // The close came from outside: nobody is asked anything.
  bool ClosingFromOutside = false;
};

} // namespace cv
