#pragma once
// The directory tree of the navigator dialog and panel, without widgets.
// Roots are the partitions; a branch is read from the disk only when it
// opens and dropped when it closes, so closing and reopening refreshes it.
// Every listing and probe runs on a worker (ListTreeDirectory is pure and
// returns plain data) while the window keeps painting; the result is
// applied here, on the window's thread. The view asks this model for the
// rows, the geometry of each row's lines and box, and what a press does.
//
// May include columns/FileListSort.h: the branches use the columns' name order.

#include <QPoint>
#include <QRect>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace cv {

class TMountTable;

// ---- The listing, computed on a worker ----

struct TTreeChild {
  std::string Name;
  bool Expandable = false; // it holds a subdirectory (or could not be probed)
};

struct TTreeListing {
  std::vector<TTreeChild> Children; // name order, ties by bytes
  int Error = 0;                    // errno of the listing, 0 when it was read
  bool Cancelled = false;
};

// True when the directory holds at least one subdirectory; stops at the
// first. A directory that cannot be read counts as having some, so its box
// stays and opening it tells why.
bool HasSubdirectories(const std::string& path);
// The subdirectories of `title` (a partition or directory title): symbolic
// links are not followed (a link to a parent would make the tree endless),
// "." and ".." are never children. Each child is probed for subdirectories
// unless it lies on a remote partition of `mounts` (a network share or any
// FUSE file system but local disk drivers), where it keeps its box unprobed.
TTreeListing ListTreeDirectory(const std::string& title,
                               const std::shared_ptr<const TMountTable>& mounts,
                               const std::atomic<bool>* cancel = nullptr);
// "Not found" means the node just does not open; other errors are shown.
bool IsSilentTreeError(int error);

// ---- Nodes ----

struct TTreeNode {
  std::string Text;   // a partition title for a root, else one name
  std::string Suffix; // shown after a root's mount point (read with the partitions)
  bool Expandable = false;
  bool RememberedExpandable = false; // restored after the look was reset
  bool Expanded = false;
  bool Loading = false; // its listing takes long: a "loading" row shows under it
  TTreeNode* Parent = nullptr;
  std::vector<std::unique_ptr<TTreeNode>> Children; // only while open

  int Level() const;
  const TTreeNode* NextSibling() const; // null for a root: the tree knows roots
};

// The node title: ancestors' texts with delimiters, then the node's text.
std::string GetTreeNodeTitle(const TTreeNode* node);
// expandable := flag (always true for a root); the remembered copy := the result.
void SetTreeNodeExpandable(TTreeNode& node, bool flag);

// One visible row: a node, or the "loading" row under a node being read.
struct TTreeRow {
  TTreeNode* Node = nullptr;
  bool Loading = false;
};

// What painting one row needs, in row coordinates.
struct TTreeRowGeometry {
  int TextLeft = 0;
  int Middle = 0;
  std::vector<int> FullLines; // x of vertical lines over the whole row
  int HalfLine = -1;          // x of a line from the top to the middle, or -1
  int BranchFrom = 0;         // the horizontal line at the middle
  bool Box = false;
  QRect BoxRect;    // the +/- box (inclusive corners)
  bool Plus = false; // a closed box also has the vertical stroke
  QPoint MinusFrom, MinusTo, PlusFrom, PlusTo;
};

// What a mouse press does to the node under it.
struct TTreeHit {
  TTreeNode* Node = nullptr;
  bool Select = false;
  bool Toggle = false;
};
enum class TTreeButton { Left, Right, Middle, Other };
// `textRect` is the node's text rectangle in the same coordinates as `at`.
TTreeHit TreeMouseDown(TTreeNode* node, const QRect& textRect, TTreeButton button,
                       bool doubleClick, QPoint at, int indent);

class TDirectoryTree {
public:
  TDirectoryTree();
  ~TDirectoryTree();
  TDirectoryTree(const TDirectoryTree&) = delete;
  TDirectoryTree& operator=(const TDirectoryTree&) = delete;

  // Where remote partitions are told from; tests give a fixture table.
  std::function<std::shared_ptr<const TMountTable>()> MountTable;
  // The painting changed (rows, flags, the loading row).
  std::function<void()> OnChanged;
  // The selected node changed (null: none).
  std::function<void(TTreeNode*)> OnSelectionChanged;
  // Names the waits' loading notice (the view shows it).
  std::function<void(bool shown)> OnLoadingNotice;

  // One root per partition of the list, read on a worker.
  bool LoadTreeWithPartitions();
  // The roots given (tests, or a list already read).
  void LoadRoots(const std::vector<std::string>& partitions);
  void Clear();
  const std::vector<std::unique_ptr<TTreeNode>>& Roots() const { return RootNodes; }

  // Opens a node: reads its children on a worker unless it has them. False
  // when it did not open (vanished, cancelled, failed: the failure is shown
  // as "Failed to load directory." once for that opening).
  bool Expand(TTreeNode& node);
  // Drops the children; a directory is probed again for its box.
  void Collapse(TTreeNode& node);
  bool Toggle(TTreeNode& node);
  // The children of a listing, applied (window thread).
  void ApplyListing(TTreeNode& node, TTreeListing listing);

  void RestoreTreeExpandable();

  // Opens the tree along `title` from the root with the longest matching
  // mount point and selects the node of the last component; false (no
  // selection, opened branches stay open) when a component is missing.
  bool NavigateToTreeDirectory(const std::string& title);

  TTreeNode* Selected() const { return Selection; }
  void Select(TTreeNode* node);
  std::string GetSelectedTreeTitle() const { return GetTreeNodeTitle(Selection); }

  // Visible rows, top to bottom.
  const std::vector<TTreeRow>& Rows() const { return RowList; }
  int RowOf(const TTreeNode* node) const;
  TTreeNode* NodeAtRow(int row) const;

  // The lines and box of a node's row (indent = the font height).
  TTreeRowGeometry RowGeometry(const TTreeNode& node, int indent, int rowHeight) const;
  // The next sibling, roots included.
  const TTreeNode* NextSibling(const TTreeNode& node) const;

  // Keys of a tree: moves, Left closes or goes to the parent, Right opens or
  // goes to the first child. True when the key was the tree's.
  bool MoveSelection(int delta);
  bool SelectFirst();
  bool SelectLast();
  bool Left();
  bool Right();

private:
  TTreeNode* AddRoot(const std::string& text, const std::string& suffix);
  void RebuildRows();
  void AddRows(TTreeNode& node);
  void Changed();
  bool ProbeAgain(TTreeNode& node);
  bool IsRemote(const std::string& path) const;

  std::vector<std::unique_ptr<TTreeNode>> RootNodes;
  std::vector<TTreeRow> RowList;
  TTreeNode* Selection = nullptr;
};

} // namespace cv
