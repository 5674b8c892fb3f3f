#include "columns/Column.h"

#include "columns/History.h"
#include "columns/MouseOperations.h"
#include "filesystem/DirectoryReader.h"
#include "filesystem/File.h"
#include "filesystem/FileInfo.h"
#include "filesystem/Partitions.h"
#include "foundation/BusyCount.h"
#include "foundation/Guard.h"
#include "foundation/MyTime.h"
#include "foundation/OffThread.h"
#include "options/ProgramOptions.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <sys/stat.h>

namespace cv {

namespace {

constexpr const char* SystemPartitionTitle = ":/";

// Shows a failure that a loop goes past, once, with its own description.
// False when the user cancelled: the loop stops.
bool ShowTakenFailure(const char* function, bool* noMoreErrors = nullptr) {
  if (!FunStatContext.Failed()) return true;
  TFunStatContext context = FunStatContext;
  context.SetShowContext(__FILE__, function, __LINE__);
  return context.ShowInLoop(context.Description, noMoreErrors);
}

} // namespace

TColumn::TColumn(int index) : Index(index) {
  ResetColumn(false);
  PreviousTitle = ActiveTitle;
  List.OnFocusChanged = [this](int) { SetInactiveFocus(); };
}

const TFileListData* TColumn::FocusedItem() const {
  if (Items.empty()) return nullptr;
  return &Items[static_cast<size_t>(std::clamp(List.FocusIndex(), 0, Count() - 1))];
}

TGroupOptions TColumn::Groups() const {
  return GroupOptions ? *GroupOptions : TGroupOptions::FromProgramOptions();
}

void TColumn::ClearItems() {
  Items.clear();
  DirsCount = LinksCount = ProgsCount = DocsCount = GenericCount = 0;
  EncryptedCount = 0;
  TotalSize = 0;
  SelCount = 0;
  SelSize = 0;
  List.EndUpdate(0);
}

TListingCounts TColumn::Counts() const {
  return {DirsCount, LinksCount, ProgsCount, DocsCount, GenericCount, EncryptedCount, TotalSize};
}

void TColumn::SetCounts(const TListingCounts& counts) {
  DirsCount = counts.Dirs;
  LinksCount = counts.Links;
  ProgsCount = counts.Progs;
  DocsCount = counts.Docs;
  GenericCount = counts.Generic;
  EncryptedCount = counts.Encrypted;
  TotalSize = counts.TotalSize;
}

void TColumn::CountItem(const TFileListData& item, bool isDirectory) {
  TListingCounts counts = Counts();
  counts.Count(item, isDirectory);
  SetCounts(counts);
}

void TColumn::TakeListing(TDirectoryListing&& listing) {
  ClearItems();
  Items = std::move(listing.Items);
  SetCounts(listing.Counts);
  List.EndUpdate(Count());
}

void TColumn::ContentChanged() {
  if (OnContentChanged) OnContentChanged();
}

void TColumn::ResetColumn(bool keepFixed) {
  ClearItems();
  ContainerIndex = -1;
  ShowsTrash = false;
  if (!keepFixed) FixedAttr = false;
  WidthAttr = 1;
  SubcolumnsAttr = 1;
  List.SetSubcolumns(1);
  ThumbHeight = 3;
  ThumbAttr = false;
  SortMode = "Name";
  ShowHidden = ProgramOptions.ShowHiddenFiles;
  ActiveTitle = SystemPartitionTitle;
  ActiveType = 0;
  TopOffset = 0;
  ActiveKey = 0;
  DefaultTitle = ActiveTitle;
  HeaderChanged = false;
  DirMonitor.Reset();
  TrashMonitors.clear();
}

// ---- Selection ----------------------------------------------------------------

bool TColumn::CanSelect() const {
  return !Items.empty() && !(ShowsDirectory() && ShownPath().empty());
}

void TColumn::SetSelected(TFileListData& item, bool selected) {
  if (item.Selected == selected) return;
  item.Selected = selected;
  SelCount += selected ? 1 : -1;
  SelSize = selected ? AddSizes(SelSize, item.Size) : std::max<int64_t>(0, SelSize - item.Size);
}

void TColumn::SelectionChanged() {
  if (OnSelectionChanged) OnSelectionChanged();
}

void TColumn::SelectItem(int index) {
  if (!CanSelect() || index < 0 || index >= Count()) return;
  SetSelected(Items[static_cast<size_t>(index)], true);
  List.RepaintItem(index);
  SelectionChanged();
}

void TColumn::DeselectItem(int index) {
  if (!CanSelect() || index < 0 || index >= Count()) return;
  SetSelected(Items[static_cast<size_t>(index)], false);
  List.RepaintItem(index);
  SelectionChanged();
}

void TColumn::ToggleItem(int index) {
  if (!CanSelect() || index < 0 || index >= Count()) return;
  TFileListData& item = Items[static_cast<size_t>(index)];
  SetSelected(item, !item.Selected);
  List.RepaintItem(index);
  SelectionChanged();
}

void TColumn::ChangeEvery(bool filesOnly,
                          const std::function<bool(const TFileListData&)>& selected) {
  if (!CanSelect()) return;
  for (TFileListData& item : Items)
    if (!filesOnly || item.Type != fltDirectory) SetSelected(item, selected(item));
  List.RepaintAll();
  SelectionChanged();
}

void TColumn::SelectWhere(const std::function<bool(int index)>& selected) {
  if (!CanSelect()) return;
  for (int i = 0; i < Count(); ++i)
    SetSelected(Items[static_cast<size_t>(i)], selected(i));
  List.RepaintAll();
  SelectionChanged();
}

void TColumn::SelectAll(bool filesOnly) {
  ChangeEvery(filesOnly, [](const TFileListData&) { return true; });
}

void TColumn::DeselectAll(bool filesOnly) {
  ChangeEvery(filesOnly, [](const TFileListData&) { return false; });
}

void TColumn::ToggleAll(bool filesOnly) {
  ChangeEvery(filesOnly, [](const TFileListData& item) { return !item.Selected; });
}

void TColumn::ToggleThis() {
  if (!CanSelect()) return;
  const int focus = List.FocusIndex();
  ToggleItem(focus);
  if (focus < Count() - 1) List.SetFocusIndex(focus + 1);
}

void TColumn::GroupToggle(int step) {
  if (!CanSelect()) return;
  const int focus = List.FocusIndex();
  // The block the focused item starts takes the opposite state.
  const bool from = Items[static_cast<size_t>(focus)].Selected;
  for (int i = focus; i >= 0 && i < Count(); i += step) {
    TFileListData& item = Items[static_cast<size_t>(i)];
    if (item.Selected != from) break;
    SetSelected(item, !from);
  }
  List.RepaintAll();
  SelectionChanged();
}

std::vector<std::string> TColumn::SelectedTitles() const {
  std::vector<std::string> titles;
  titles.reserve(static_cast<size_t>(SelCount));
  for (const TFileListData& item : Items)
    if (item.Selected) titles.push_back(item.Title);
  return titles;
}

void TColumn::SelectTitles(const std::vector<std::string>& titles) {
  if (titles.empty() || !CanSelect()) return;
  // Titles are compared byte for byte: "Data" and "data" are two files.
  std::vector<std::string_view> wanted(titles.begin(), titles.end());
  std::sort(wanted.begin(), wanted.end());
  for (TFileListData& item : Items)
    if (std::binary_search(wanted.begin(), wanted.end(), std::string_view(item.Title)))
      SetSelected(item, true);
  List.RepaintAll();
  SelectionChanged();
}

std::string TColumn::ShownPath() const {
  return ContainerIndex >= 0 || ShowsTrash ? std::string() : GetTitlePath(ActiveTitle);
}

void TColumn::LoadDirectory(bool rememberPrevious, int containerIndex, std::optional<int64_t> key,
                            std::optional<int> topOffset, std::optional<int> type,
                            std::string title) {
  TGuard guard("TColumn::LoadDirectory");
  {
    TBusyScope busy(Busy ? *Busy : BusyCount);
    guard.Run([&] {
      // A cancelled listing leaves the column as it was.
      const TPlace before{ActiveTitle,    PreviousTitle, ActiveType, TopOffset, ActiveKey,
                          ContainerIndex, SelCount,      ShowsTrash, SelSize};
      LoadCancelled = false;
      SelCount = 0;
      SelSize = 0;
      // A directory or container asked for leaves the trash; its items are
      // no place to come back to.
      const bool leavingTrash = ShowsTrash && containerIndex >= -1;
      if (leavingTrash) ShowsTrash = false;
      if ((ContainerIndex >= 0 || leavingTrash) && containerIndex == -1 && title.empty())
        ActiveTitle = PreviousTitle;
      if (title.empty()) title = ActiveTitle;
      if (ContainerIndex < 0 && !leavingTrash && !ShowsTrash) {
        if (containerIndex >= 0)
          PreviousTitle = ActiveTitle;
        else if (rememberPrevious && GetTitlePath(title) != GetTitlePath(ActiveTitle))
          PreviousTitle = ActiveTitle;
      }
      ActiveTitle = title;
      if (type) ActiveType = *type;
      if (topOffset) TopOffset = *topOffset;
      if (key) ActiveKey = *key;
      if (containerIndex >= -1) ContainerIndex = containerIndex;

      if (ShowsTrash) {
        DirMonitor.Ini(std::string());
        FunStatContext.Reset(fsPerfect);
        const bool listed = LoadWithTrash();
        if (LoadCancelled) return;
        if (!listed) ShowTakenFailure("TColumn::LoadDirectory");
        if (IsTrashTitle(ActiveTitle))
          FocusByIndex(0, 0);
        else
          FocusByTitle(ActiveTitle, ActiveType, false, SortMode, ActiveKey, TopOffset);
      } else if (ContainerIndex < 0) {
        if (!IsPartitionTitle(ActiveTitle) && !IsTrashTitle(ActiveTitle) &&
            GetPartitionOfTitle(ActiveTitle).empty())
          ActiveTitle = SystemPartitionTitle;
        ListOrClimb();
        if (LoadCancelled) {
          ActiveTitle = before.ActiveTitle;
          PreviousTitle = before.PreviousTitle;
          ActiveType = before.ActiveType;
          TopOffset = before.TopOffset;
          ActiveKey = before.ActiveKey;
          ContainerIndex = before.ContainerIndex;
          SelCount = before.SelCount;
          SelSize = before.SelSize;
          ShowsTrash = before.ShowsTrash;
          return;
        }
        FocusByTitle(ActiveTitle, ActiveType, true, SortMode, ActiveKey, TopOffset);
      } else {
        if (!SetWithContainer(ContainerIndex)) ShowTakenFailure("TColumn::LoadDirectory");
        FocusByTitle(ActiveTitle, ActiveType, false, SortMode, ActiveKey, TopOffset);
      }
      if (!ShowsTrash) TrashMonitors.clear();
      HeaderChanged = false;
    });
  }
  ContentChanged();
}

bool TColumn::ShowLoadFailure() {
  // Quiet after "no errors": logged, not shown.
  bool noMoreErrors = FailureShows && FailureShows->Quiet;
  const bool go = ShowTakenFailure("TColumn::LoadDirectory", &noMoreErrors);
  if (FailureShows) {
    FailureShows->Quiet = noMoreErrors;
    FailureShows->Cancelled = !go;
  }
  return go;
}

void TColumn::ListOrClimb() {
  // The levels above an unreadable directory fail for the same reason:
  // only the first failure is shown, and Cancel stops the climb there.
  bool shown = false;
  for (;;) {
    const bool listed = ListWithFiles(ActiveTitle, SortMode, true);
    if (LoadCancelled) return;
    if (!shown) {
      shown = FunStatContext.Failed();
      if (!ShowLoadFailure()) return;
    }
    if (listed) return;
    if (History) History->RemoveNewestHistory(ActiveTitle);
    ActiveTitle = ExcludeDelimiter(GetTitlePath(ActiveTitle));
    // What we climbed out of is a directory of the new listing.
    ActiveType = fltDirectory;
    if (ActiveTitle.empty()) {
      DirMonitor.Ini(ShownPath());
      LoadWithPartitions();
      return;
    }
  }
}

bool TColumn::LoadWithFiles(const std::string& title, const std::string& sortMode) {
  LoadCancelled = false;
  return ListWithFiles(title, sortMode, false);
}

TWaitOptions TColumn::LoadWait() {
  TWaitOptions options;
  options.Notice = [this](bool shown) { List.SetLoading(shown); };
  return options;
}

namespace {

// One listing at a time per partition: a listing that was cancelled while
// the file system held it keeps its thread there (a FUSE request already
// sent cannot be called back), and the next listing waits for that thread
// instead of leaving one more behind.
struct TListingGate {
  std::mutex Lock;
  std::condition_variable Free;
  bool Busy = false;
};

// Window thread only; the gates themselves are shared with the workers.
std::shared_ptr<TListingGate> ListingGate(const std::string& partition) {
  static std::map<std::string, std::shared_ptr<TListingGate>> gates;
  std::shared_ptr<TListingGate>& gate = gates[partition];
  if (!gate) gate = std::make_shared<TListingGate>();
  return gate;
}

class TGatePass {
public:
  // Waits for the gate, or until cancelled.
  TGatePass(TListingGate& gate, const std::atomic<bool>& cancel) : Gate(gate) {
    std::unique_lock lock(Gate.Lock);
    while (Gate.Busy && !cancel.load())
      Gate.Free.wait_for(lock, std::chrono::milliseconds(20));
    In = !Gate.Busy;
    if (In) Gate.Busy = true;
  }
  ~TGatePass() {
    if (!In) return;
    {
      const std::lock_guard lock(Gate.Lock);
      Gate.Busy = false;
    }
    Gate.Free.notify_all();
  }
  TGatePass(const TGatePass&) = delete;
  TGatePass& operator=(const TGatePass&) = delete;
  bool Entered() const { return In; }

private:
  TListingGate& Gate;
  bool In = false;
};

} // namespace

// Whether a listing's worker ended and whether its partition was marked
// slow for it: window thread only.
struct TColumn::TListingEnd {
  bool Ended = false;
  bool Marked = false;
};

void TColumn::TellListingEnded(const std::shared_ptr<TListingEnd>& ended,
                               const std::string& partition) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return;
  QMetaObject::invokeMethod(
      app,
      [ended, partition] {
        ended->Ended = true;
        if (ended->Marked) MarkSlowPartition(partition, false);
      },
      Qt::QueuedConnection);
}

bool TColumn::ListWithFiles(const std::string& title, const std::string& sortMode, bool watch) {
  TGuard guard("TColumn::LoadWithFiles");
  bool listed = false;
  guard.Run([&] {
    const std::string path = GetTitlePath(title);
    if (title.empty() || path.empty()) {
      listed = LoadWithPartitions();
      if (watch && !LoadCancelled) {
        // The partitions list watches nothing; the list's own failure stays.
        const TFunStatContext status = FunStatContext;
        DirMonitor.Ini(std::string());
        FunStatContext = status;
      }
      guard.TakeOver();
      return;
    }
    // Armed before the read, so a change during it is reported: at worst
    // one reload too many, never a file missed. Both on the worker: a mount
    // that does not answer holds nothing but it.
    struct TRead {
      TDirectoryListing Listing;
      TDirectoryMonitor Monitor;
    };
    TRead read;
    const std::string watched = watch ? path : std::string();
    const std::string partition = GetPartitionOfTitle(path);
    const auto ended = std::make_shared<TListingEnd>();
    const TWaitEnd end = WaitOffThread<TRead>(
        [path, watched, sortMode, groups = Groups(), lister = Services.ListDirectory,
         types = TFileTypeLists::Current(), gate = ListingGate(partition), ended, partition,
         showHidden = ShowHidden](const std::atomic<bool>& cancel) {
          TRead result;
          {
            const TGatePass pass(*gate, cancel);
            if (!pass.Entered()) {
              result.Listing.Cancelled = true;
            } else {
              if (!watched.empty()) result.Monitor.Ini(watched);
              result.Listing = ListDirectoryItems(path, sortMode, groups, lister, &cancel, {},
                                                  types, showHidden);
            }
          }
          TellListingEnded(ended, partition);
          return result;
        },
        read, LoadWait());
    if (end != TWaitEnd::Done || read.Listing.Cancelled) {
      // A listing held in the file system cannot be called back: its
      // partition is slow until it ends.
      if (end == TWaitEnd::Cancelled && !ended->Ended) {
        ended->Marked = true;
        MarkSlowPartition(partition, true);
      }
      LoadCancelled = true;
      return;
    }
    if (watch) DirMonitor.TakeWatch(std::move(read.Monitor));
    TDirectoryListing& listing = read.Listing;
    const int error = listing.Error;
    if (error != 0 && !listing.Opened) {
      ClearItems();
      guard.Raise("Failed to first find file.", path + "*", {}, static_cast<uint32_t>(error));
    }
    TakeListing(std::move(listing));
    listed = true;
    // A read that broke off keeps what it read: a flaky directory stays shown.
    if (error != 0)
      guard.Raise("Failed to find next file.", path, {}, static_cast<uint32_t>(error));
  });
  return listed;
}

bool TColumn::LoadWithPartitions() {
  TGuard guard("TColumn::LoadWithPartitions");
  return guard.Run(false, [&] {
    // Types and labels are read on the worker too, so painting finds them known.
    TPartitionListRead read;
    const TWaitEnd end = WaitOffThread<TPartitionListRead>(
        [](const std::atomic<bool>&) { return ReadPartitionList(); }, read, LoadWait());
    if (end != TWaitEnd::Done) {
      LoadCancelled = true;
      return false;
    }
    ClearItems();
    FunStatContext = read.Status;
    guard.TakeOver();
    Items.reserve(read.Partitions.size());
    for (std::string& title : read.Partitions) {
      TFileListData item;
      item.Title = std::move(title);
      item.Type = fltDirectory;
      CountItem(item, true);
      Items.push_back(std::move(item));
    }
    TFileListData trash;
    trash.Title = TrashTitle;
    trash.Type = fltDirectory;
    CountItem(trash, true);
    Items.push_back(std::move(trash));
    List.EndUpdate(Count());
    return true;
  });
}

bool TColumn::LoadWithTrash() {
  TGuard guard("TColumn::LoadWithTrash");
  return guard.Run(false, [&] {
    // Partition tops and the items' facts are asked on a worker, as a
    // directory's are.
    struct TRead {
      std::vector<TFileListData> Items;
      std::vector<TTrashEntry> Entries;
      TListingCounts Counts;
      std::vector<TDirectoryMonitor> Monitors;
    };
    TRead read;
    const TWaitEnd end = WaitOffThread<TRead>(
        [sortMode = SortMode, groups = Groups(),
         types = TFileTypeLists::Current()](const std::atomic<bool>& cancel) {
          TRead result;
          // Watched before they are read: an item trashed meanwhile shows
          // as a change, not as a silent gap.
          const std::vector<TTrashDirectory> trashes = TrashDirectories();
          const auto watch = [&](const std::string& path) {
            struct stat facts {};
            // A watch on what is not there would report a change at every look.
            if (::stat(path.c_str(), &facts) != 0 || !S_ISDIR(facts.st_mode)) return;
            result.Monitors.emplace_back().Ini(IncludeDelimiter(path));
          };
          // Without a home trash yet, its first item creates it in the data directory.
          const TTrashDirectory home = HomeTrash();
          if (trashes.empty() || trashes.front().Path != home.Path) watch(home.Top);
          for (const TTrashDirectory& trash : trashes)
            for (const char* part : {"", "/files", "/info"})
              watch(trash.Path + part);
          TTrashListing listing;
          for (const TTrashDirectory& trash : trashes)
            ListTrashDirectory(trash, listing);
          result.Entries = std::move(listing.Entries);
          result.Items.reserve(result.Entries.size());
          TFileInfo info;
          for (size_t i = 0; i < result.Entries.size() && !cancel; ++i) {
            TFileListData& item = result.Items.emplace_back();
            item.Title = result.Entries[i].Title;
            // Below zero: a container's numbering would show before the name.
            item.ContainerData = -1 - static_cast<int>(i);
            item.Exists = info.Load(item.Title);
            const bool isDirectory = item.Exists && (info.Attributes & faDirectory);
            item.Type =
                GetFileListType(item.Title, isDirectory, item.Exists && info.Executable, types);
            if (item.Exists) SetItemFacts(item, info, isDirectory);
            result.Counts.Count(item, isDirectory);
          }
          FunStatContext.Reset(fsPerfect);
          ArrangeFileList(result.Items, sortMode, groups);
          return result;
        },
        read, LoadWait());
    if (end != TWaitEnd::Done) {
      LoadCancelled = true;
      return false;
    }
    ClearItems();
    Items = std::move(read.Items);
    TrashEntries = std::move(read.Entries);
    TrashMonitors = std::move(read.Monitors);
    SetCounts(read.Counts);
    List.EndUpdate(Count());
    return true;
  });
}

const TTrashEntry* TColumn::TrashEntryOf(const TFileListData& item) const {
  if (!ShowsTrash || item.ContainerData >= 0) return nullptr;
  const auto index = static_cast<size_t>(-1 - static_cast<int64_t>(item.ContainerData));
  if (index >= TrashEntries.size() || TrashEntries[index].Title != item.Title) return nullptr;
  return &TrashEntries[index];
}

void TColumn::EnterTrash() {
  if (ShowsTrash) return LoadDirectory(false);
  const std::string previous = PreviousTitle;
  const int container = ContainerIndex;
  // The place the trash was opened from is where "previous" leads back.
  if (ContainerIndex < 0) PreviousTitle = ActiveTitle;
  ShowsTrash = true;
  ContainerIndex = -1;
  LoadDirectory(false, -2, 0, 0, fltGeneric, std::string(TrashTitle));
  if (LoadCancelled) {
    ShowsTrash = false;
    ContainerIndex = container;
    PreviousTitle = previous;
  }
}

void TColumn::SetWithList(const std::vector<std::string>& titles, bool selectAll,
                          const std::vector<int>* containerValues) {
  TGuard guard("TColumn::SetWithList");
  guard.Run([&] {
    // The facts come from a worker: an item on a mount that stops answering
    // must not hold the window.
    struct TRead {
      std::vector<TFileListData> Items;
      std::vector<char> Directories;
    };
    TRead read;
    const TWaitEnd end = WaitOffThread<TRead>(
        [titles, types = TFileTypeLists::Current()](const std::atomic<bool>& cancel) {
          TRead result;
          result.Items.reserve(titles.size());
          TFileInfo info;
          for (const std::string& title : titles) {
            if (cancel) break;
            TFileListData item;
            item.Title = title;
            // An item whose facts cannot be read stays, marked missing; nothing is shown.
            // A relative title names nothing: it is never read against our own directory.
            item.Exists =
                (title.starts_with('/') || IsPartitionTitle(title)) && info.Load(title);
            const bool isDirectory =
                IsPartitionTitle(title) || (item.Exists && (info.Attributes & faDirectory));
            item.Type =
                GetFileListType(title, isDirectory, item.Exists && info.Executable, types);
            if (item.Exists) SetItemFacts(item, info, isDirectory);
            result.Items.push_back(std::move(item));
            result.Directories.push_back(isDirectory);
          }
          return result;
        },
        read, LoadWait());
    if (end != TWaitEnd::Done) {
      // Cancelled: the items stay with their facts unread, not as missing,
      // for nothing says they are gone.
      read = {};
      for (const std::string& title : titles) {
        TFileListData item;
        item.Title = title;
        item.Type = GetFileListType(title, IsPartitionTitle(title), false);
        read.Items.push_back(std::move(item));
        read.Directories.push_back(IsPartitionTitle(title));
      }
    }
    ClearItems();
    Items.reserve(read.Items.size());
    for (size_t i = 0; i < read.Items.size(); ++i) {
      TFileListData& item = read.Items[i];
      if (containerValues && i < containerValues->size())
        item.ContainerData = (*containerValues)[i];
      CountItem(item, read.Directories[i] != 0);
      if (selectAll) {
        item.Selected = true;
        ++SelCount;
        SelSize = AddSizes(SelSize, item.Size);
      }
      Items.push_back(std::move(item));
    }
    List.EndUpdate(Count());
  });
}

bool TColumn::SetWithContainer(int containerIndex) {
  TGuard guard("TColumn::SetWithContainer");
  return guard.Run(false, [&] {
    std::vector<std::string> titles;
    std::vector<int> values;
    if (ContainerItems && !ContainerItems(containerIndex, titles, values)) guard.TakeOver();
    SetWithList(titles, false, &values);
    return true;
  });
}

void TColumn::TakeShownItems(std::vector<TFileListData> items) {
  ClearItems();
  Items.reserve(items.size());
  TListingCounts counts;
  for (TFileListData& item : items) {
    if (IsHiddenName(GetTitleName(item.Title))) continue;
    const bool selected = item.Selected;
    const TFileListData& kept = Items.emplace_back(std::move(item));
    counts.Count(kept, kept.Type == fltDirectory);
    if (selected) {
      ++SelCount;
      SelSize = AddSizes(SelSize, kept.Size);
    }
  }
  SetCounts(counts);
}

void TColumn::CopyListing(const TColumn& other) {
  if (!ShowHidden && other.ShowHidden && other.ShowsDirectory()) {
    TakeShownItems(other.Items);
  } else {
    Items = other.Items;
    TrashEntries = other.TrashEntries;
    SetCounts(other.Counts());
    SelCount = other.SelCount;
    SelSize = other.SelSize;
  }
  if (other.SortMode != SortMode) ArrangeFileList(Items, SortMode, Groups());
  List.EndUpdate(Count());
}

void TColumn::SetWithColumn(const TColumn& other) {
  if (ShowHidden && !other.ShowHidden && other.ShowsDirectory()) {
    // The other listing lacks what we show: this column reads its own.
    LoadWithFiles(ActiveTitle, SortMode);
    FocusByTitle(ActiveTitle, ActiveType, true, SortMode, ActiveKey, TopOffset);
    HeaderChanged = false;
    ContentChanged();
    return;
  }
  CopyListing(other);
  // Our own active file keeps the focus, not the other column's.
  FocusByTitle(ActiveTitle, ActiveType, true, SortMode, ActiveKey, TopOffset);
  HeaderChanged = false;
  ContentChanged();
}

void TColumn::SetWithColumn(TColumn& source, const TColumnCopy& how) {
  TGuard guard("TColumn::SetWithColumn");
  guard.Run([&] {
    ContainerIndex = source.ContainerIndex;
    ShowsTrash = source.ShowsTrash;
    if (how.RememberPrevious) PreviousTitle = ActiveTitle;
    if (how.CopyActive) {
      ActiveTitle = source.ActiveTitle;
      ActiveType = source.ActiveType;
      TopOffset = source.TopOffset;
      ActiveKey = source.ActiveKey;
    }
    SortMode = source.SortMode;
    ShowHidden = source.ShowHidden;
    // A change the source saw travels with its content as the changed mark.
    if (source.DirMonitor.Next()) source.HeaderChanged = true;
    if (how.TargetVisible)
      DirMonitor.Ini(ShownPath());
    else
      DirMonitor.Reset();
    HeaderChanged = source.HeaderChanged;
    if (how.ClearOnly) {
      ClearItems();
    } else {
      CopyListing(source);
      if (how.Refocus)
        FocusByTitle(ActiveTitle, ActiveType, ShowsDirectory(), SortMode, ActiveKey, TopOffset);
    }
  });
  ContentChanged();
}

void TColumn::SetWithAllColumn(TColumn& source, bool copyFixed, const TColumnCopy& how) {
  TGuard guard("TColumn::SetWithAllColumn");
  guard.Run([&] {
    WidthAttr = source.WidthAttr;
    SubcolumnsAttr = source.SubcolumnsAttr;
    List.SetSubcolumns(SubcolumnsAttr);
    ThumbHeight = source.ThumbHeight;
    ThumbAttr = source.ThumbAttr;
    TColumnCopy all = how;
    all.CopyActive = true;
    all.RememberPrevious = true;
    SetWithColumn(source, all);
    guard.TakeOver();
    if (copyFixed) FixedAttr = source.FixedAttr;
    PreviousTitle = source.PreviousTitle;
    DefaultTitle = source.DefaultTitle;
  });
}

int TColumn::FindPlace(std::string_view name, int type, TSortMode mode, int64_t key) const {
  const TGroupOptions groups = Groups();
  const int rank = GroupRank(type, groups);
  const int count = Count();
  if (mode == TSortMode::Name || type == fltDirectory) {
    const TNameCollator collator;
    for (int i = 0; i < count; ++i) {
      const TFileListData& item = Items[static_cast<size_t>(i)];
      const int difference = rank - GroupRank(item.Type, groups);
      if (difference < 0) return i;
      if (difference == 0 && collator.Compare(name, TitleNamePart(item.Title)) <= 0) return i;
    }
    return count - 1;
  }
  const bool descending = IsDescending(mode);
  for (int i = 0; i < count; ++i) {
    const TFileListData& item = Items[static_cast<size_t>(i)];
    if (item.Type == fltDirectory) continue;
    const int difference = rank - GroupRank(item.Type, groups);
    if (difference < 0) return i;
    const int64_t itemKey = GetSortKey(item, mode);
    if (difference == 0 && (descending ? itemKey <= key : key <= itemKey)) return i;
  }
  return count - 1;
}

void TColumn::FocusByTitle(const std::string& title, int type, bool directoryMode,
                           const std::string& sortMode, int64_t key, int topOffset) {
  TGuard guard("TColumn::FocusByTitle");
  guard.Run([&] {
    // In place: the loops below run over every item. `title` may be our own
    // `ActiveTitle`, so the name is used only before the focus moves.
    const std::string_view name = TitleNamePart(title);
    if (Items.empty() || name.empty()) {
      List.SetFocusAndOffset(0, 0);
      List.SetTopIndex(0);
      SetInactiveFocus();
      return;
    }
    // The same name byte for byte first ("Data" and "data" may both exist),
    // then the same name as the locale compares it.
    int target = -1;
    for (int i = 0; i < Count() && target < 0; ++i)
      if (TitleNamePart(Items[static_cast<size_t>(i)].Title) == name) target = i;
    if (target < 0) {
      const TNameCollator collator;
      for (int i = 0; i < Count() && target < 0; ++i)
        if (collator.Compare(TitleNamePart(Items[static_cast<size_t>(i)].Title), name) == 0)
          target = i;
    }
    if (target < 0 && directoryMode) target = FindPlace(name, type, ParseSortMode(sortMode), key);
    if (target < 0) target = LastFocusIndex;
    List.SetFocusAndOffset(target, topOffset);
    SetInactiveFocus();
  });
}

void TColumn::FocusByIndex(int index, int topOffset) {
  TGuard guard("TColumn::FocusByIndex");
  guard.Run([&] {
    List.SetFocusAndOffset(index, topOffset);
    SetInactiveFocus();
  });
}

void TColumn::UpdateHeaderCaption() {
  if (ShowsTrash) {
    HeaderCaption = "Trash";
    return;
  }
  if (ContainerIndex >= 0) {
    const std::string name = ContainerName ? ContainerName(ContainerIndex) : std::string();
    const std::string number = std::to_string(ContainerIndex + 1);
    HeaderCaption = "Container \"" + (name.empty() ? number : name + " (" + number + ")") + "\"";
    return;
  }
  const std::string path = GetTitlePath(ActiveTitle);
  // The root directory keeps its "/"; any other path loses its delimiter.
  HeaderCaption = path.size() > 1 ? path.substr(0, path.size() - 1) : path;
}

void TColumn::SetInactiveFocus() {
  TGuard guard("TColumn::SetInactiveFocus");
  guard.Run([&] {
    if (Items.empty()) {
      ActiveType = fltGeneric;
      TopOffset = 0;
      ActiveKey = 0;
    } else {
      const int focus = std::clamp(List.FocusIndex(), 0, Count() - 1);
      const TFileListData& item = Items[static_cast<size_t>(focus)];
      ActiveTitle = item.Title;
      ActiveType = item.Type;
      TopOffset = focus - List.TopIndex();
      const TSortMode mode = ParseSortMode(SortMode);
      if (mode != TSortMode::Name) ActiveKey = GetSortKey(item, mode);
    }
    UpdateHeaderCaption();
    // The header's hint says what its buttons do, with the settings in force.
    HeaderHint = ShowsDirectory() ? HeaderMouseHint(ShownPath()) : HeaderCaption;
    if (History) History->AddHistory(ActiveTitle, ActiveType, ActiveKey, TopOffset);
    LastFocusIndex = List.FocusIndex();
    if (OnActiveFileChanged) OnActiveFileChanged();
  });
}

void TColumn::LoadRemembered(const std::string& title, bool rememberPrevious,
                             const TLoadDefaults& fallback) {
  std::string found = GetTitlePath(title);
  int type = ActiveType;
  int64_t key = ActiveKey;
  int offset = TopOffset;
  if (History && History->FindHistory(found, type, key, offset) >= 0)
    LoadDirectory(rememberPrevious, -1, key, offset, type, found);
  else
    LoadDirectory(rememberPrevious, -1, fallback.Key, fallback.TopOffset, fallback.Type, title);
}

void TColumn::EnterDirectory(const std::string& directoryTitle) {
  if (IsTrashTitle(directoryTitle)) return EnterTrash();
  // Inside the directory, where nothing was focused before: the first item.
  LoadRemembered(IncludeDelimiter(directoryTitle), true, {0, 0, fltGeneric});
}

void TColumn::ParentDirectory() {
  ParentDirectoryOf(ShowsTrash ? std::string(TrashTitle) : ActiveTitle);
}

void TColumn::ParentDirectoryOf(const std::string& left) {
  // Above the trash is the partitions list, with the trash focused.
  if (IsTrashTitle(left)) return LoadDirectory(true, -1, 0, 0, fltDirectory, left);
  if (GetTitlePath(left).empty()) return;
  std::string title = left;
  int type = fltDirectory;
  int64_t key = ActiveKey;
  int offset = TopOffset;
  if (History)
    History->FindHistoryForParent(title, type, key, offset);
  else
    title = ExcludeDelimiter(GetTitlePath(left));
  // The directory being left is focused: it is a directory, even when it
  // vanished and the history knows nothing of it.
  LoadDirectory(true, -1, key, offset, fltDirectory, title);
}

void TColumn::PreviousDirectory() {
  ContainerIndex = -1;
  std::swap(ActiveTitle, PreviousTitle);
  LoadRemembered(ActiveTitle, false, {});
}

void TColumn::DefaultDirectory() {
  LoadRemembered(DefaultTitle, true, {});
}

void TColumn::PartitionRoot() {
  const std::string partition = GetPartitionOfTitle(ActiveTitle);
  EnterDirectory(partition.empty() ? std::string("/") : PartitionTitleToPath(partition));
}

void TColumn::TerminalRoot() {
  const std::string partition = GetPartitionOfTitle(ActiveTitle);
  LoadDirectory(true, -1, 0, 0, fltDirectory,
                partition.empty() ? std::string(SystemPartitionTitle) : partition);
}

void TColumn::SetSortMode(const std::string& sortMode) {
  SortMode = sortMode;
  if (ContainerIndex < 0) LoadDirectory(false);
}

void TColumn::SetShowHidden(bool show) {
  if (ShowHidden == show) return;
  ShowHidden = show;
  if (!ShowsDirectory() || ShownPath().empty()) return;
  // The active title keeps the focus when it stays listed; a hidden one
  // leaves it to the place it would take.
  if (!Items.empty()) TopOffset = List.FocusIndex() - List.TopIndex();
  if (!show) {
    // Hiding needs no reading: the listing drops what it no longer shows.
    TakeShownItems(std::move(Items));
    List.EndUpdate(Count());
    FocusByTitle(ActiveTitle, ActiveType, true, SortMode, ActiveKey, TopOffset);
    SelectionChanged();
    ContentChanged();
    return;
  }
  // The hidden files were never read: the directory is.
  const std::vector<std::string> selected = SelectedTitles();
  LoadDirectory(false);
  SelectTitles(selected);
}

void TColumn::SetDescriptionInfo(const std::string& text) {
  std::string shown;
  for (char c : text.substr(0, 1000))
    if (c != '\r' && c != '\n') shown += c;
  Info.Description.Caption = "Desc \"" + shown + "\"";
  Info.Description.Hint =
      "Active file (information is extracted every time the active file is set). Description (to "
      "add a description just add a stream with the name \"Description\"; only the first 1'000 "
      "characters are displayed, line breaks are ignored): " +
      Info.Description.Caption;
}

namespace {

void SetField(TInfoField& field, const std::string& prefix, std::string caption) {
  field.Caption = std::move(caption);
  field.Hint = prefix + field.Caption;
}

const std::string ActiveColumnPart =
    "Active column (information is extracted every time the active file is set). ";
const std::string ActiveFilePart =
    "Active file (information is extracted every time the active file is set). ";

} // namespace

namespace {

// Each partition with the count of the workers that still wait on it.
std::map<std::string, int>& SlowPartitions() {
  static std::map<std::string, int> partitions;
  return partitions;
}

} // namespace

bool IsSlowPartition(const std::string& partition) {
  return SlowPartitions().contains(partition);
}

void MarkSlowPartition(const std::string& partition, bool slow) {
  auto& partitions = SlowPartitions();
  if (slow) {
    ++partitions[partition];
  } else if (const auto found = partitions.find(partition); found != partitions.end()) {
    if (--found->second <= 0) partitions.erase(found);
  }
}

TActiveFacts TColumn::ReadActiveFacts(const std::string& title, bool haveItems,
                                      const TColumnServices& services) {
  TActiveFacts facts;
  facts.PartitionThere = PartitionExists(title);
  if (!facts.PartitionThere) return facts;
  TPartitionSpaceFacts space;
  GetPartitionSpace(title, space);
  facts.PartitionTotal = space.Total;
  facts.PartitionFree = space.Free;
  facts.PartitionFlags = PartitionFlagsText(space.Flags);
  facts.FileKnown = haveItems && facts.File.Load(title);
  if (!facts.FileKnown) return facts;
  facts.HardLinks = GetHardLinkCount(title);
  facts.StreamsKnown =
      services.StreamsInfo && services.StreamsInfo(title, facts.Streams, facts.StreamsSize);
  if (services.ReadDescription) facts.Description = services.ReadDescription(title);
  return facts;
}

void TColumn::ShowInfo() {
  TGuard guard("TColumn::ShowInfo");
  Info = TColumnInfo();
  guard.Run([&] {
    const int files = DirsCount + LinksCount + ProgsCount + DocsCount + GenericCount;
    const bool filesShown = Groups().ShowFilesGroup;
    SetField(Info.Files, "Active column. Files count (total number of files): ",
             "Files " + std::to_string(files));
    Info.Files.Hint +=
        " (Directories " + std::to_string(DirsCount) + "; Links " + std::to_string(LinksCount) +
        "; Programs " + std::to_string(ProgsCount) + "; Documents " + std::to_string(DocsCount) +
        (filesShown ? "; Generic " : "; Invisible ") + std::to_string(GenericCount) + ")";
    SetField(Info.Encrypted, "Active column. Encrypted files count: ",
             "Encrypted " + std::to_string(EncryptedCount));
    SetField(Info.SelNum,
             "Active column. Selected files count: ", "SelNum " + std::to_string(SelCount));
    SetField(Info.SelSz,
             "Active column. Selected files size (only the size of the main stream is used): ",
             "SelSz " + GetSizeText(6, 0, static_cast<uint64_t>(SelSize)));
    SetField(Info.TotalSz,
             "Active column. Total file size (only the size of the main stream is used): ",
             "TotalSz " + GetSizeText(6, 0, static_cast<uint64_t>(TotalSize)));

    // Partition and file facts only where the partition is there; of the
    // partitions list only fixed, CD and RAM partitions are asked.
    if (IsPartitionTitle(ActiveTitle)) {
      const int type = GetPartitionType(ActiveTitle);
      if (type != ptFixed && type != ptCD && type != ptRAM) return;
    }
    // The facts come from a worker: a partition that does not answer within
    // two seconds shows "?" and its facts are filled in when they come.
    if (FactsHeld && KnownFacts && KnownFactsTitle == ActiveTitle) {
      const TActiveFacts known = *KnownFacts;
      FillFactFields(&known);
      return;
    }
    const std::string partition = GetPartitionOfTitle(ActiveTitle);
    if (IsSlowPartition(partition)) {
      FillFactFields(nullptr);
      return;
    }
    TWaitOptions wait;
    wait.NoticeAfterMs = -1;
    wait.TimeoutMs = FactsTimeoutMs;
    const auto late = [alive = std::weak_ptr<int>(Alive), title = ActiveTitle, partition,
                       this](TActiveFacts&& facts) {
      MarkSlowPartition(partition, false);
      if (alive.expired()) return;
      // The column moved on while this partition held its facts: ask again.
      if (title != ActiveTitle) {
        if (OnInfoLate) OnInfoLate(false);
        return;
      }
      FillFactFields(&facts);
      if (OnInfoLate) OnInfoLate(true);
    };
    TActiveFacts facts;
    const TWaitEnd end = WaitOffThread<TActiveFacts>(
        [title = ActiveTitle, haveItems = !Items.empty(), services = Services](
            const std::atomic<bool>&) { return ReadActiveFacts(title, haveItems, services); },
        facts, wait, late);
    if (end == TWaitEnd::TimedOut) MarkSlowPartition(partition, true);
    FillFactFields(end == TWaitEnd::Done ? &facts : nullptr);
  });
  // Information bars never show their errors.
  guard.Context().Reset(fsPerfect);
}

void TColumn::FillFactFields(const TActiveFacts* facts) {
  if (facts) {
    KnownFacts = *facts;
    KnownFactsTitle = ActiveTitle;
  }
  if (facts && !facts->PartitionThere) return;
  const std::string unknown = "?";
  SetField(Info.PartSz, ActiveColumnPart + "Partition size (free, total): ",
           "PartSz " + (facts ? GetSizeText(3, 0, facts->PartitionTotal) + " (" +
                                    GetSizeText(3, 0, facts->PartitionFree) + ")"
                              : unknown));
  const std::string flags = facts ? facts->PartitionFlags : unknown;
  SetField(Info.PartAttr,
           ActiveColumnPart + "Partition supports attributes (C = compression; E = encryption; "
                              "Q = quotas; R = read-only; Rp = reparse point; S = streams; Sf = "
                              "sparse file): ",
           "PartAttr " + (flags.empty() ? std::string("none") : flags));

  SetField(Info.Index,
           ActiveFilePart + "Index in column: ", "Index " + std::to_string(List.FocusIndex() + 1));
  const bool known = facts && facts->FileKnown;
  const TFileInfo& info = facts ? facts->File : TFileInfo();
  const bool streamsKnown = known && facts->StreamsKnown;
  SetField(Info.Size,
           ActiveFilePart + "Size of main stream (size of all secondary streams); sometimes you "
                            "might see a directory with a no null size, on CDs: ",
           known ? "Sz " + GetSizeText(6, 0, info.Size) + " (" +
                       (streamsKnown ? GetSizeText(6, 0, facts->StreamsSize) : unknown) + ")"
                 : unknown);
  const std::string attributes =
      known ? GetAttributesText(info.Attributes) : (facts ? std::string() : unknown);
  SetField(Info.Attr,
           ActiveFilePart + "Attributes (A = archive; C = compressed; E = encrypted; H = hidden; "
                            "O = offline; R = read-only; Rp = reparse point; S = system; Sf = "
                            "sparse file; T = temporary): ",
           "Attr " + (attributes.empty() ? std::string("none") : attributes));
  SetField(Info.HardLinks, ActiveFilePart + "Hard-links count: ",
           "HL " + (known ? std::to_string(facts->HardLinks) : unknown));
  SetField(Info.Streams,
           ActiveFilePart + "Streams count (except the main stream); all information displayed "
                            "by the program refers only to data streams: ",
           "SC " + (streamsKnown ? std::to_string(facts->Streams) : unknown));
  SetField(Info.Title, ActiveFilePart + "Title: ",
           "Title \"" + PartitionDisplayText(ActiveTitle) + "\"");
  SetField(Info.Modified, ActiveFilePart + "Last modification time (irrelevant for directories): ",
           known ? "Mod " + ShortDateText(info.Modified) + "; " + LongTimeText(info.Modified)
                 : unknown);
  if (known && Services.ReadDescription) SetDescriptionInfo(facts->Description);
  // An item of the trash is told by where it came from and when it left.
  if (const TFileListData* item = FocusedItem(); item && ShowsTrash) {
    if (const TTrashEntry* entry = TrashEntryOf(*item)) {
      SetField(Info.Title, ActiveFilePart + "Original title (where Restore puts it back): ",
               "Title \"" + entry->OriginalTitle + "\"");
      Info.Description.Caption = "Deleted " + DeletionDateText(entry->DeletionDate);
      Info.Description.Hint =
          ActiveFilePart +
          "Deletion time (when the item was moved to the trash): " + Info.Description.Caption;
    }
  }
}

} // namespace cv
