#pragma once
// A column of the board: what it lists (a directory, the partitions, a
// container or a given list of titles), its items in display order, which
// item is active, and the texts of its header and information bars. The
// widgets paint this model and feed it events; nothing here draws.
//
// A column never stores the directory it shows: it stores the title of its
// active item (`ActiveTitle`) and shows that title's parent path. An empty
// parent path means the partitions list. The trash is shown as a list of
// titles, as a container is: its items are the files in the trash
// directories, each with where it came from.

#include "columns/DirectoryListing.h"
#include "columns/FileListData.h"
#include "columns/FileListSort.h"
#include "columns/ItemListState.h"
#include "filesystem/DirMonitor.h"
#include "filesystem/DirectoryReader.h"
#include "filesystem/FileInfo.h"
#include "filesystem/TrashList.h"
#include "foundation/OffThread.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cv {

class THistory;
class TBusyCounter;

// One field of an information bar: a short caption and its long hint.
struct TInfoField {
  std::string Caption;
  std::string Hint;
};

// The information bars of the active column.
struct TColumnInfo {
  // Column bar: files, encrypted, selected count and size, total size,
  // partition sizes, partition flags.
  TInfoField Files, Encrypted, SelNum, SelSz, TotalSz, PartSz, PartAttr;
  // File bar: index, sizes, attributes, hard links, streams, title, time.
  TInfoField Index, Size, Attr, HardLinks, Streams, Title, Modified;
  TInfoField Description;
};

// How a loop over several loads shows their failures: Cancel stops the
// loop, "O&kay (no errors)" keeps the rest of it quiet.
struct TFailureShows {
  bool Cancelled = false;
  bool Quiet = false;
};

// Facts of the active file and its partition, read off the window's thread.
struct TActiveFacts {
  bool PartitionThere = false;
  uint64_t PartitionTotal = 0, PartitionFree = 0;
  std::string PartitionFlags;
  bool FileKnown = false;
  TFileInfo File;
  uint64_t HardLinks = 0;
  bool StreamsKnown = false;
  int Streams = 0;
  uint64_t StreamsSize = 0;
  std::string Description;
};

// Partitions (titles) whose facts did not come in time, or whose listing
// was cancelled, and whose worker still waits on them: they are not asked
// again until it ends. Marks are counted, one per worker. Window thread
// only.
bool IsSlowPartition(const std::string& partition);
void MarkSlowPartition(const std::string& partition, bool slow);

// How one column takes over another's content.
struct TColumnCopy {
  bool ClearOnly = false;        // attributes and titles only, an empty list
  bool CopyActive = false;       // the active file and its place
  bool RememberPrevious = false; // the target's title becomes its previous one
  bool Refocus = false;          // focus the active file as after a load
  bool TargetVisible = false;    // a visible target watches its new directory
};

// What the column asks of the file layer beyond listings; the stream and
// link units plug in here as they arrive.
struct TColumnServices {
  // The "Description" stream of a file, or empty.
  std::function<std::string(const std::string& title)> ReadDescription;
  // Count and total size of a file's secondary streams; false when unknown.
  std::function<bool(const std::string& title, int& count, uint64_t& size)> StreamsInfo;
  // Lists a directory as ReadDirectory does; unset means ReadDirectory.
  std::function<int(const std::string& path, const TDirectoryEntrySink& sink, bool* opened)>
      ListDirectory;
};

class TColumn {
public:
  explicit TColumn(int index);
  // The list state's callback holds `this`: a column stays where it was made.
  TColumn(const TColumn&) = delete;
  TColumn& operator=(const TColumn&) = delete;
  TColumn(TColumn&&) = delete;
  TColumn& operator=(TColumn&&) = delete;

  // ---- Attributes ---------------------------------------------------------
  int Index;
  bool FixedAttr = false;
  int WidthAttr = 1;
  int SubcolumnsAttr = 1;
  int ThumbHeight = 3;
  bool ThumbAttr = false;
  std::string SortMode = "Name"; // kept as stored, even when unknown
  // Names starting with "." are listed; a listing without them never
  // reads their facts.
  bool ShowHidden = false;
  int ContainerIndex = -1;
  // The column lists the trash (ContainerIndex is then -1).
  bool ShowsTrash = false;
  std::string ActiveTitle;
  int ActiveType = 0;
  int TopOffset = 0;
  int64_t ActiveKey = 0;
  std::string PreviousTitle;
  std::string DefaultTitle;
  TDirectoryMonitor DirMonitor;
  // While the column shows the trash: its trash directories and their
  // files/ and info/, armed before they were read.
  std::vector<TDirectoryMonitor> TrashMonitors;

  // ---- Counters -------------------------------------------------------------
  int DirsCount = 0, LinksCount = 0, ProgsCount = 0, DocsCount = 0, GenericCount = 0;
  int EncryptedCount = 0;
  int64_t TotalSize = 0;
  int SelCount = 0;
  int64_t SelSize = 0;
  int LastFocusIndex = 0;

  // ---- Items and the list state ------------------------------------------------
  std::vector<TFileListData> Items;
  TItemListState List;
  int Count() const { return static_cast<int>(Items.size()); }
  // The focused item, or null for an empty list.
  const TFileListData* FocusedItem() const;

  // ---- Header ---------------------------------------------------------------------
  std::string HeaderCaption;
  std::string HeaderHint;
  bool HeaderChanged = false; // the caption is struck through

  // ---- Wiring (set by the owner) ------------------------------------------------------
  THistory* History = nullptr;
  TBusyCounter* Busy = nullptr;
  TColumnServices Services;
  // The content was replaced (reload, list, container).
  std::function<void()> OnContentChanged;
  // The active file changed (title or focus): the owner schedules the
  // working-path and information-bar update once, after the change.
  std::function<void()> OnActiveFileChanged;
  // `SelCount` or `SelSize` changed: the information bars are out of date.
  std::function<void()> OnSelectionChanged;
  // Set by a loop for the loads it runs; null: each load shows its own.
  TFailureShows* FailureShows = nullptr;
  // Container names for the header caption ("" when it has none).
  std::function<std::string(int index)> ContainerName;
  // Container contents: titles and their kept values.
  std::function<bool(int index, std::vector<std::string>& titles, std::vector<int>& values)>
      ContainerItems;

  // ---- Loading ---------------------------------------------------------------------------
  // Loads the column and focuses an item. `containerIndex` -2 keeps the
  // current one; an unset key, top offset or type keeps the current value;
  // an empty title means `ActiveTitle`.
  void LoadDirectory(bool rememberPrevious, int containerIndex = -2,
                     std::optional<int64_t> key = std::nullopt,
                     std::optional<int> topOffset = std::nullopt,
                     std::optional<int> type = std::nullopt, std::string title = {});
  // Fills the list with the content of the title's parent path, or the
  // partitions when that is empty. False (reported) when it cannot be read;
  // true but reported when the read broke off: what was read stays.
  bool LoadWithFiles(const std::string& title, const std::string& sortMode);
  bool LoadWithPartitions();
  // The given titles in the given order; facts read one by one on a worker
  // (a cancelled wait leaves them unread).
  void SetWithList(const std::vector<std::string>& titles, bool selectAll,
                   const std::vector<int>* containerValues = nullptr);
  bool SetWithContainer(int containerIndex);
  // The items of every trash directory, read on a worker; an info file that
  // cannot be used is logged and left out.
  bool LoadWithTrash();
  // The trash entry behind an item of the trash, or null.
  const TTrashEntry* TrashEntryOf(const TFileListData& item) const;
  // Shows the trash; leaving it returns to the partitions list.
  void EnterTrash();
  // Takes over another column's listing (a directory read once for two),
  // in this column's own sort mode.
  void SetWithColumn(const TColumn& other);
  // Takes another column's content: container, sort mode, the change mark
  // and the items; `source` gives up its pending directory change.
  void SetWithColumn(TColumn& source, const TColumnCopy& how);
  // The same with the width, subcolumn and thumbnail attributes, the
  // previous and default titles, and the fixed attribute when asked.
  void SetWithAllColumn(TColumn& source, bool copyFixed, const TColumnCopy& how);

  // ---- Focus --------------------------------------------------------------------------------
  void FocusByTitle(const std::string& title, int type, bool directoryMode,
                    const std::string& sortMode, int64_t key, int topOffset);
  void FocusByIndex(int index, int topOffset);
  // Bookkeeping after any focus change.
  void SetInactiveFocus();
  void ResetColumn(bool keepFixed);

  // ---- Selection -------------------------------------------------------------------------
  // The items' `Selected` flags; `SelCount` and `SelSize` follow every
  // change. Nothing is selected in an empty list or in the partitions list.
  bool CanSelect() const;
  void SelectItem(int index);
  void DeselectItem(int index);
  void ToggleItem(int index);
  // Every item, or only files (directories and partitions are left as they
  // are); one repaint at the end.
  void SelectAll(bool filesOnly);
  void DeselectAll(bool filesOnly);
  void ToggleAll(bool filesOnly);
  // Gives every item the state `selected(index)` says; one repaint.
  void SelectWhere(const std::function<bool(int index)>& selected);
  // Toggles the focused item and moves the focus down one item; the last
  // item keeps it.
  void ToggleThis();
  // From the focused item toward the top (bottom): a selected item
  // deselects the block it belongs to, an unselected one selects up to the
  // next selected item. The focus stays.
  void ToggleUp() { GroupToggle(-1); }
  void ToggleDown() { GroupToggle(1); }
  // The selection by title, to carry it across a reload of the same
  // directory.
  std::vector<std::string> SelectedTitles() const;
  void SelectTitles(const std::vector<std::string>& titles);

  // ---- Navigation ------------------------------------------------------------------------------
  // Shown directory with a trailing "/" (empty for the partitions list).
  std::string ShownPath() const;
  bool ShowsDirectory() const { return ContainerIndex < 0 && !ShowsTrash; }
  void EnterDirectory(const std::string& directoryTitle);
  void ParentDirectory();
  // Loads the parent of `title`'s directory with that directory focused.
  void ParentDirectoryOf(const std::string& title);
  void PreviousDirectory();
  void DefaultDirectory();
  void PartitionRoot();
  void TerminalRoot();
  void SetSortMode(const std::string& sortMode);
  // Shows or hides the hidden files, keeping the focused item (or the place
  // it would take) and the selection that stays in sight. Hiding drops
  // items from the list; showing reads the directory again.
  void SetShowHidden(bool show);

  // ---- Information bars
  // -------------------------------------------------------------------------- Fills `Info` for
  // this column and its active file.
  void ShowInfo();
  TColumnInfo Info;
  // Facts slower than this show as "?" until they come.
  int FactsTimeoutMs = 2000;
  // While set, the facts last read for the same active file are shown again
  // instead of being asked anew: a refresh the directory monitor caused
  // must not wait on the file system at every change.
  bool FactsHeld = false;
  // Facts came after their time: `filled` when `Info` now holds them, else
  // they were of a file no longer active and the owner should ask again.
  std::function<void(bool filled)> OnInfoLate;
  // Description bar text: first 1000 characters, line breaks removed.
  void SetDescriptionInfo(const std::string& text);

  // The group options in force (tests set them; else the program options).
  std::optional<TGroupOptions> GroupOptions;

private:
  // What a load keeps or sets when the history knows nothing of a directory.
  struct TLoadDefaults {
    std::optional<int64_t> Key;
    std::optional<int> TopOffset;
    std::optional<int> Type;
  };
  // Loads `title`, focusing what the history remembers of its directory.
  void LoadRemembered(const std::string& title, bool rememberPrevious,
                      const TLoadDefaults& fallback);
  TGroupOptions Groups() const;
  // Lists the directory of `ActiveTitle`, climbing out of unreadable ones.
  void ListOrClimb();
  static TActiveFacts ReadActiveFacts(const std::string& title, bool haveItems,
                                      const TColumnServices& services);
  // The partition and file fields; "?" for facts that are not known (null).
  void FillFactFields(const TActiveFacts* facts);
  // The facts last shown and the title they are of.
  std::optional<TActiveFacts> KnownFacts;
  std::string KnownFactsTitle;
  // Expires with the column, for work that ends after it.
  std::shared_ptr<int> Alive = std::make_shared<int>(0);
  // LoadWithFiles; `watch` arms the monitor on the directory first.
  bool ListWithFiles(const std::string& title, const std::string& sortMode, bool watch);
  // A listing's worker tells the window's thread that it ended.
  struct TListingEnd;
  static void TellListingEnded(const std::shared_ptr<TListingEnd>& ended,
                               const std::string& partition);
  // How a listing waits: the list shows that it is loading.
  TWaitOptions LoadWait();
  // The user cancelled the last listing; the column keeps what it had.
  bool LoadCancelled = false;
  // What a load changes before its listing, kept to undo a cancelled one.
  struct TPlace {
    std::string ActiveTitle, PreviousTitle;
    int ActiveType = 0, TopOffset = 0;
    int64_t ActiveKey = 0;
    int ContainerIndex = -1, SelCount = 0;
    bool ShowsTrash = false;
    int64_t SelSize = 0;
  };
  // Where the trash's items came from: item.ContainerData -1 is the first.
  std::vector<TTrashEntry> TrashEntries;
  // Shows the failure of the last load; false when the user cancelled.
  bool ShowLoadFailure();
  void ClearItems();
  // Items and counters of a listing; the selection is empty.
  void TakeListing(TDirectoryListing&& listing);
  // The items less the hidden files, with the counters and selection of
  // those kept.
  void TakeShownItems(std::vector<TFileListData> items);
  // Items and counters of another column, arranged in our sort mode, less
  // the hidden files when we hide them.
  void CopyListing(const TColumn& other);
  void CountItem(const TFileListData& item, bool isDirectory);
  TListingCounts Counts() const;
  void SetCounts(const TListingCounts& counts);
  void UpdateHeaderCaption();
  void SetSelected(TFileListData& item, bool selected);
  // Gives every item (or every file) the state `selected` says; one repaint.
  void ChangeEvery(bool filesOnly, const std::function<bool(const TFileListData&)>& selected);
  void GroupToggle(int step);
  void SelectionChanged();
  void ContentChanged();
  // The index where a missing item would stand (directory mode).
  int FindPlace(std::string_view name, int type, TSortMode mode, int64_t key) const;
};

} // namespace cv
