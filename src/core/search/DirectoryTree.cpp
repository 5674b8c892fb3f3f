#include "search/DirectoryTree.h"

#include "columns/FileListSort.h"
#include "filesystem/File.h"
#include "filesystem/Partitions.h"
#include "foundation/Guard.h"
#include "foundation/OffThread.h"

#include <QCollatorSortKey>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <numeric>
#include <sys/stat.h>
#include <unistd.h>

namespace cv {

namespace {

bool IsDotName(const char* name) {
  return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

// A real directory, never a link to one.
bool IsDirectoryEntry(int directory, const dirent& entry) {
  if (entry.d_type == DT_DIR) return true;
  if (entry.d_type != DT_UNKNOWN) return false;
  struct stat facts {};
  return ::fstatat(directory, entry.d_name, &facts, AT_SYMLINK_NOFOLLOW) == 0 &&
         S_ISDIR(facts.st_mode);
}

// Scans an open directory stream for its first subdirectory; takes `dir`.
bool HasSubdirectoryIn(DIR* dir) {
  bool found = false;
  const int fd = ::dirfd(dir);
  for (errno = 0; const dirent* entry = ::readdir(dir); errno = 0) {
    if (IsDotName(entry->d_name)) continue;
    if (IsDirectoryEntry(fd, *entry)) {
      found = true;
      break;
    }
  }
  // A read that broke off may have missed one: the box stays.
  if (!found && errno != 0) found = true;
  ::closedir(dir);
  return found;
}

bool IsRemoteIn(const std::shared_ptr<const TMountTable>& mounts, const std::string& path) {
  if (!mounts) return false;
  const TMountEntry* mount = mounts->MountOfPath(path);
  return mount && mounts->TypeOf(*mount) == ptRemote;
}

} // namespace

bool IsSilentTreeError(int error) {
  return error == ENOENT || error == ENOTDIR;
}

bool HasSubdirectories(const std::string& path) {
  DIR* dir = ::opendir(path.c_str());
  if (!dir) return true;
  return HasSubdirectoryIn(dir);
}

TTreeListing ListTreeDirectory(const std::string& title,
                               const std::shared_ptr<const TMountTable>& mounts,
                               const std::atomic<bool>* cancel) {
  TTreeListing listing;
  const std::string path = IncludeDelimiter(title);
  DIR* dir = ::opendir(path.c_str());
  if (!dir) {
    listing.Error = errno;
    return listing;
  }
  const int fd = ::dirfd(dir);
  for (errno = 0; const dirent* entry = ::readdir(dir); errno = 0) {
    if (cancel && cancel->load()) break;
    if (IsDotName(entry->d_name) || !IsDirectoryEntry(fd, *entry)) continue;
    listing.Children.push_back({entry->d_name, true});
  }
  listing.Error = errno;
  if (cancel && cancel->load()) listing.Cancelled = true;
  for (TTreeChild& child : listing.Children) {
    if (listing.Cancelled || (cancel && cancel->load())) {
      listing.Cancelled = true;
      break;
    }
    // A remote child is not asked: it may not answer for a long time.
    if (IsRemoteIn(mounts, path + child.Name)) continue;
    const int childFd =
        ::openat(fd, child.Name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (childFd < 0) continue; // unreadable: it keeps its box and tells when opened
    if (DIR* sub = ::fdopendir(childFd))
      child.Expandable = HasSubdirectoryIn(sub);
    else
      ::close(childFd);
  }
  ::closedir(dir);
  // The columns' name order; equal keys by bytes.
  const TNameCollator collator;
  std::vector<QCollatorSortKey> keys;
  keys.reserve(listing.Children.size());
  for (const TTreeChild& child : listing.Children)
    keys.push_back(collator.Key(child.Name));
  std::vector<size_t> order(listing.Children.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    const int c = keys[a].compare(keys[b]);
    if (c != 0) return c < 0;
    return listing.Children[a].Name < listing.Children[b].Name;
  });
  std::vector<TTreeChild> sorted;
  sorted.reserve(order.size());
  for (size_t i : order)
    sorted.push_back(std::move(listing.Children[i]));
  listing.Children = std::move(sorted);
  return listing;
}

// ---- Nodes ----

int TTreeNode::Level() const {
  int level = 0;
  for (const TTreeNode* up = Parent; up; up = up->Parent)
    ++level;
  return level;
}

const TTreeNode* TTreeNode::NextSibling() const {
  if (!Parent) return nullptr; // roots: the tree answers
  const auto& siblings = Parent->Children;
  for (size_t i = 0; i + 1 < siblings.size(); ++i)
    if (siblings[i].get() == this) return siblings[i + 1].get();
  return nullptr;
}

std::string GetTreeNodeTitle(const TTreeNode* node) {
  if (!node) return {};
  std::string title = node->Text;
  for (const TTreeNode* up = node->Parent; up; up = up->Parent)
    title = IncludeDelimiter(up->Text) + title;
  return title;
}

void SetTreeNodeExpandable(TTreeNode& node, bool flag) {
  node.Expandable = flag || !node.Parent;
  node.RememberedExpandable = node.Expandable;
}

const TTreeNode* TDirectoryTree::NextSibling(const TTreeNode& node) const {
  if (node.Parent) return node.NextSibling();
  for (size_t i = 0; i + 1 < RootNodes.size(); ++i)
    if (RootNodes[i].get() == &node) return RootNodes[i + 1].get();
  return nullptr;
}

TTreeRowGeometry TDirectoryTree::RowGeometry(const TTreeNode& node, int indent,
                                             int rowHeight) const {
  TTreeRowGeometry g;
  const int w = std::max(indent, 4);
  const int level = node.Level();
  g.TextLeft = (level + 1) * w;
  g.Middle = rowHeight / 2;
  const int x0 = g.TextLeft - w / 2;
  const TTreeNode* up = &node;
  for (int i = 0; up; ++i, up = up->Parent) {
    if (NextSibling(*up))
      g.FullLines.push_back(x0 - i * w);
    else if (i == 0)
      g.HalfLine = x0;
  }
  g.BranchFrom = x0;
  if (node.Expandable) {
    const int q = (w / 2) / 2;
    g.Box = true;
    // Square around the middle: rows are taller than the indent, and a box
    // as tall as the row would be a slit.
    g.BoxRect = QRect(QPoint(x0 - q, g.Middle - q), QPoint(x0 + q, g.Middle + q));
    g.MinusFrom = QPoint(g.BoxRect.left() + 2, g.Middle);
    g.MinusTo = QPoint(g.BoxRect.right() - 2, g.Middle);
    g.Plus = !node.Expanded;
    g.PlusFrom = QPoint(x0, g.BoxRect.top() + 2);
    g.PlusTo = QPoint(x0, g.BoxRect.bottom() - 2);
  }
  return g;
}

TTreeHit TreeMouseDown(TTreeNode* node, const QRect& textRect, TTreeButton button,
                       bool doubleClick, QPoint at, int indent) {
  TTreeHit hit;
  if (!node) return hit;
  switch (button) {
  case TTreeButton::Right:
  case TTreeButton::Middle:
    hit.Node = node;
    hit.Select = true;
    return hit;
  case TTreeButton::Left: {
    hit.Node = node;
    const bool inRow = at.y() >= textRect.top() && at.y() <= textRect.bottom();
    if (!doubleClick) {
      hit.Select = true;
      hit.Toggle = !textRect.contains(at) && inRow && at.x() >= textRect.left() - indent &&
                   at.x() < textRect.left();
    } else {
      // On the text or right of it; in the box strip the first press of
      // the double click toggled already, and a second toggle would undo it.
      hit.Toggle = inRow && at.x() >= textRect.left();
    }
    return hit;
  }
  case TTreeButton::Other:
    break;
  }
  return hit;
}

// ---- The tree ----

TDirectoryTree::TDirectoryTree() : MountTable(CurrentMountTable) {}

TDirectoryTree::~TDirectoryTree() = default;

void TDirectoryTree::Changed() {
  RebuildRows();
  if (OnChanged) OnChanged();
}

void TDirectoryTree::Clear() {
  const bool hadSelection = Selection != nullptr;
  Selection = nullptr;
  RootNodes.clear();
  Changed();
  if (hadSelection && OnSelectionChanged) OnSelectionChanged(nullptr);
}

TTreeNode* TDirectoryTree::AddRoot(const std::string& text, const std::string& suffix) {
  auto node = std::make_unique<TTreeNode>();
  node->Text = text;
  node->Suffix = suffix;
  SetTreeNodeExpandable(*node, true);
  RootNodes.push_back(std::move(node));
  return RootNodes.back().get();
}

void TDirectoryTree::LoadRoots(const std::vector<std::string>& partitions) {
  Clear();
  for (const std::string& title : partitions)
    AddRoot(title, {});
  Changed();
}

bool TDirectoryTree::LoadTreeWithPartitions() {
  TGuard guard("LoadTreeWithPartitions");
  return guard.Run(false, [&] {
    TPartitionListRead read;
    TWaitOptions wait;
    wait.Notice = OnLoadingNotice;
    const TWaitEnd end = WaitOffThread<TPartitionListRead>(
        [](const std::atomic<bool>&) { return ReadPartitionList(); }, read, wait);
    Clear();
    if (end != TWaitEnd::Done) return false;
    FunStatContext = read.Status;
    guard.TakeOver();
    for (size_t i = 0; i < read.Partitions.size(); ++i)
      AddRoot(read.Partitions[i], read.Suffixes[i]);
    Changed();
    return true;
  });
}

bool TDirectoryTree::IsRemote(const std::string& path) const {
  return IsRemoteIn(MountTable ? MountTable() : nullptr, path);
}

void TDirectoryTree::ApplyListing(TTreeNode& node, TTreeListing listing) {
  node.Children.clear();
  for (TTreeChild& child : listing.Children) {
    auto added = std::make_unique<TTreeNode>();
    added->Text = std::move(child.Name);
    added->Parent = &node;
    SetTreeNodeExpandable(*added, child.Expandable);
    node.Children.push_back(std::move(added));
  }
  node.Expanded = true;
  Changed();
}

bool TDirectoryTree::Expand(TTreeNode& node) {
  if (node.Expanded) return true;
  TGuard guard("LoadTreeWithDirectories");
  bool opened = false;
  guard.Run([&] {
    if (!node.Children.empty()) {
      node.Expanded = true;
      opened = true;
      Changed();
      return;
    }
    const std::string title = GetTreeNodeTitle(&node);
    TTreeListing listing;
    TWaitOptions wait;
    wait.Notice = [this, &node](bool shown) {
      node.Loading = shown;
      Changed();
      if (OnLoadingNotice) OnLoadingNotice(shown);
    };
    const TWaitEnd end = WaitOffThread<TTreeListing>(
        [title, mounts = MountTable ? MountTable() : nullptr](const std::atomic<bool>& cancel) {
          return ListTreeDirectory(title, mounts, &cancel);
        },
        listing, wait);
    if (node.Loading) {
      node.Loading = false;
      Changed();
    }
    if (end != TWaitEnd::Done || listing.Cancelled) return;
    if (listing.Error != 0 && listing.Children.empty()) {
      if (IsSilentTreeError(listing.Error)) return;
      guard.Raise("Failed to load directory.", title, {}, static_cast<uint32_t>(listing.Error));
    }
    const int error = listing.Error;
    ApplyListing(node, std::move(listing));
    opened = true;
    // A read that broke off keeps what it read, and says so.
    if (error != 0 && !IsSilentTreeError(error))
      guard.Raise("Failed to load directory.", title, {}, static_cast<uint32_t>(error));
  });
  guard.Show("Failed to load directory.");
  return opened;
}

bool TDirectoryTree::ProbeAgain(TTreeNode& node) {
  if (!node.Parent) return true;
  const std::string title = GetTreeNodeTitle(&node);
  if (IsRemote(title)) return true;
  bool has = node.Expandable;
  TWaitOptions wait;
  wait.Notice = OnLoadingNotice;
  WaitOffThread<bool>([title](const std::atomic<bool>&) { return HasSubdirectories(title); }, has,
                      wait);
  return has;
}

void TDirectoryTree::Collapse(TTreeNode& node) {
  if (Selection && Selection != &node) {
    // A selection inside the closed branch moves up to it.
    for (const TTreeNode* up = Selection->Parent; up; up = up->Parent)
      if (up == &node) {
        Select(&node);
        break;
      }
  }
  node.Children.clear();
  node.Expanded = false;
  Changed();
  SetTreeNodeExpandable(node, ProbeAgain(node));
  Changed();
}

bool TDirectoryTree::Toggle(TTreeNode& node) {
  if (node.Expanded) {
    Collapse(node);
    return true;
  }
  return node.Expandable && Expand(node);
}

void TDirectoryTree::RestoreTreeExpandable() {
  std::function<void(TTreeNode&)> restore = [&](TTreeNode& node) {
    node.Expandable = node.RememberedExpandable;
    for (auto& child : node.Children)
      restore(*child);
  };
  for (auto& root : RootNodes)
    restore(*root);
  Changed();
}

void TDirectoryTree::Select(TTreeNode* node) {
  if (node == Selection) return;
  Selection = node;
  if (OnChanged) OnChanged();
  if (OnSelectionChanged) OnSelectionChanged(node);
}

bool TDirectoryTree::NavigateToTreeDirectory(const std::string& wanted) {
  TGuard guard("NavigateToTreeDirectory");
  return guard.Run(false, [&] {
    if (RootNodes.empty()) return false;
    std::string title = ExcludeDelimiter(wanted);
    // The root whose mount point holds the title and is the longest.
    const std::string path = IsPartitionTitle(title) ? PartitionTitleToPath(title) : title;
    TTreeNode* root = nullptr;
    size_t rootLength = 0;
    for (auto& candidate : RootNodes) {
      if (!IsPartitionTitle(candidate->Text)) continue;
      const std::string point = PartitionTitleToPath(candidate->Text);
      const bool holds = path == point || point == "/" ||
                         (path.size() > point.size() && path.starts_with(point) &&
                          path[point.size()] == '/');
      if (holds && (!root || point.size() > rootLength)) {
        root = candidate.get();
        rootLength = point.size();
      }
    }
    if (!root || path.empty() || path[0] != '/') {
      Select(nullptr);
      return false;
    }
    std::string rest = path.substr(std::min(path.size(), rootLength));
    while (!rest.empty() && rest[0] == '/')
      rest.erase(0, 1);
    TTreeNode* node = root;
    while (!rest.empty()) {
      if (!node->Expandable) break; // selected where the walk stopped
      if (!Expand(*node)) {
        Select(nullptr);
        return false;
      }
      const std::string component = CutFirstDirectory(rest);
      if (component.empty()) continue;
      TTreeNode* next = nullptr;
      for (auto& child : node->Children)
        if (child->Text == component) {
          next = child.get();
          break;
        }
      if (!next) {
        Select(nullptr);
        return false;
      }
      node = next;
    }
    Select(node);
    return rest.empty();
  });
}

// ---- Rows ----

void TDirectoryTree::AddRows(TTreeNode& node) {
  RowList.push_back({&node, false});
  if (node.Loading) RowList.push_back({&node, true});
  if (node.Expanded)
    for (auto& child : node.Children)
      AddRows(*child);
}

void TDirectoryTree::RebuildRows() {
  RowList.clear();
  for (auto& root : RootNodes)
    AddRows(*root);
}

int TDirectoryTree::RowOf(const TTreeNode* node) const {
  for (size_t i = 0; i < RowList.size(); ++i)
    if (RowList[i].Node == node && !RowList[i].Loading) return static_cast<int>(i);
  return -1;
}

TTreeNode* TDirectoryTree::NodeAtRow(int row) const {
  if (row < 0 || row >= static_cast<int>(RowList.size())) return nullptr;
  const TTreeRow& entry = RowList[static_cast<size_t>(row)];
  return entry.Loading ? nullptr : entry.Node;
}

bool TDirectoryTree::MoveSelection(int delta) {
  if (RowList.empty()) return false;
  int row = Selection ? RowOf(Selection) : -1;
  int target = row < 0 ? 0 : row + delta;
  target = std::clamp(target, 0, static_cast<int>(RowList.size()) - 1);
  // The loading row is skipped in the direction of the move.
  while (target >= 0 && target < static_cast<int>(RowList.size()) &&
         RowList[static_cast<size_t>(target)].Loading)
    target += delta < 0 ? -1 : 1;
  if (TTreeNode* node = NodeAtRow(target)) Select(node);
  return true;
}

bool TDirectoryTree::SelectFirst() {
  if (RowList.empty()) return false;
  Select(NodeAtRow(0));
  return true;
}

bool TDirectoryTree::SelectLast() {
  if (RowList.empty()) return false;
  Select(NodeAtRow(static_cast<int>(RowList.size()) - 1));
  return true;
}

bool TDirectoryTree::Left() {
  if (!Selection) return SelectFirst();
  if (Selection->Expanded) {
    Collapse(*Selection);
  } else if (Selection->Parent) {
    Select(Selection->Parent);
  }
  return true;
}

bool TDirectoryTree::Right() {
  if (!Selection) return SelectFirst();
  if (!Selection->Expanded) {
    if (Selection->Expandable) Expand(*Selection);
  } else if (!Selection->Children.empty()) {
    Select(Selection->Children.front().get());
  }
  return true;
}

} // namespace cv
