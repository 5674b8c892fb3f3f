#pragma once
// "Search file": finds files and directories below the chosen items of a
// column by name, limits and text, or the duplicates of a model file. The
// engine walks on a thread of its own; its found items stream into the
// list in rank order while the window keeps answering, and S&top ends it.
// The caller reads the chosen result action after the dialog closed.

#include "search/SearchEngine.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QSpinBox;
class QTabWidget;

namespace cv {

class TColumn;
class TContainerSet;
class TSearchRun;
class TStoredTextList;

// What the dialog keeps between openings (section "SearchFile").
struct TSearchFileSettings {
  bool SearchSimilar = true, Recursive = true, FindDirs = true, FindFiles = true;
  bool ConsiderAllSelected = true, FreeHandFilter = true, NearDetection = true;
  bool AllFilters = false, AlwaysFocusThis = false;
  std::string FileParts = "Name, text", Stem = "Any";
  bool ReuseContainer = true, ShowSearchBoard = true, SwitchMouseOperations = false;
  int UseColumnForContainer = 1;
  std::string CreationMinTime, CreationMaxTime, ModifiedMinTime, ModifiedMaxTime;
  std::string SizeMin, SizeMax;
  std::string TimeMeasurementUnit = "days", SizeMeasurementUnit = "KB";

  void Read(const TStoredTextList& ini);
  void Write(TStoredTextList& ini) const;
};

// The result the dialog closed with.
enum class TSearchAction {
  None,
  EnterDirectory, // ActionTitle is the directory
  FocusFile,      // ActionTitle is the file
  PutInContainer, // ActionContainer
  SelectFound,
};

// A name pattern box's text may hold every byte a Linux name can, but "/",
// NUL, CR and LF; ";" separates patterns.
bool IsSearchPatternText(std::string_view text);

class TSearchFileForm : public QDialog {
  Q_OBJECT
public:
  static constexpr int HelpContext = 501;

  explicit TSearchFileForm(TSearchFileSettings& settings, QWidget* parent = nullptr);
  ~TSearchFileForm() override;

  // Shows the dialog over the column; true when it closed with a result
  // action and something was found. An empty model is a normal search.
  bool Dialog(TColumn& column, const std::string& model = {});
  // The opening steps without the modal loop (tests drive them).
  void Open(TColumn& column, const std::string& model = {});
  // The four search buttons; waits (events served) until the search ends.
  void Do(bool content, bool select);
  void Stop();
  bool Running() const { return IsRunning; }

  TSearchAction Action = TSearchAction::None;
  std::string ActionTitle;
  int ActionContainer = -1;
  const std::vector<TFoundItem>& Found() const { return FoundItems; }
  const TSearchCounters& Counters() const { return LastCounters; }

  // ---- Results, for the caller after the dialog closed ----
  // Selects exactly the found items of the column, whatever their order
  // there; warns and selects nothing when the column already has a
  // selection or lists fewer items than were found.
  bool SelectFoundItems(TColumn& column) const;
  // Clears container `number` and adds every found title with its rank.
  // A container that holds items and is not the search container is only
  // replaced after the user agreed.
  bool PutInContainer(TContainerSet& containers, int number) const;

  // ---- Engine host, on the window's thread ----
  void AddFound(const std::vector<TFoundBatchItem>& batch);
  void ShowProgress(const std::string& lookingIn, const std::string& information);
  bool ReportError(const TFunStatContext& failure, const std::string& sentence);
  void DeselectSearched(size_t index);

  // Closes with a result action (Ctrl+1..0 go to containers 0..9).
  void CloseWithContainer(int number);
  void CloseWithItem(const TFoundItem& item);
  // The right button on a found line: the file's system menu, captioned
  // "Context menu".
  void ShowItemMenu(QListWidgetItem* line, const QPoint& globalPlace);
  // The middle button or E: the column's edit command on the found file.
  void EditLine(QListWidgetItem* line);
  void OpenFound(const TFoundItem& item);
  bool ClipAllTitles();
  // The container menu of "Put in container"; tests set it.
  std::function<int()> ChooseContainer;
  // The main window's system menu and edit command; tests set them.
  std::function<void(const std::string& title, const QPoint& at)> ShowContextMenu;
  std::function<void(const std::string& title)> EditFile;
  // Called on the window's thread each time a batch was put into the list.
  std::function<void()> OnBatchShown;

  QTabWidget* Pages;
  QComboBox *PatternBox, *TextBox, *FilePartsBox, *StemBox, *TimeUnitBox, *SizeUnitBox;
  QCheckBox *LookInDirectoriesBox, *FindDirectoriesBox, *FindFilesBox, *SimilarBox, *AllSelectedBox;
  QCheckBox *FreeHandBox, *NearBox, *AllFiltersBox, *AlwaysFocusBox;
  QCheckBox *CreationMinCheck, *CreationMaxCheck, *ModifiedMinCheck, *ModifiedMaxCheck,
      *SizeMinCheck, *SizeMaxCheck;
  QComboBox *CreationMinBox, *CreationMaxBox, *ModifiedMinBox, *ModifiedMaxBox, *SizeMinBox,
      *SizeMaxBox;
  QGroupBox *NameGroup, *TextGroup;
  QLabel *LookingInLabel, *InformationLabel;
  QListWidget* FoundList;
  QCheckBox *SwitchMouseBox, *ReuseContainerBox, *ShowBoardBox;
  QSpinBox* ColumnNumberBox;
  QPushButton *ByCurrentButton, *PutInSearchButton, *PutInContainerButton, *ClipAllButton,
      *ClipActiveButton;
  QPushButton *SearchNamesButton, *SearchContentButton, *SearchNamesSelectButton,
      *SearchContentSelectButton, *StopButton, *CancelButton;

public Q_SLOTS:
  void reject() override;

protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void BuildControls();
  void LoadSettings();
  void ShowFoundListHint();
  void StoreSettings();
  void SetControlsEnabled(bool enabled);
  bool MakeSettings(bool content, bool select, TSearchSettings& settings);
  void RunEngine(const TSearchSettings& settings, const std::vector<std::string>& titles);
  const TFoundItem* CurrentFound() const;
  void LineAction(QListWidgetItem* line, bool ctrl);

  TSearchFileSettings& Settings;
  std::shared_ptr<TSearchRun> CurrentRun;
  TColumn* SearchedColumn = nullptr;
  std::string Model;
  std::vector<TFoundItem> FoundItems;
  // Chosen items in the order given to the engine, as column positions.
  std::vector<int> ChosenIndices;
  TSearchCounters LastCounters;
  bool IsRunning = false;
  bool SelectMode = false;
  bool NoMoreErrors = false;
};

} // namespace cv
