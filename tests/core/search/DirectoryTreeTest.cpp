#include "search/DirectoryTree.h"

#include "filesystem/File.h"
#include "filesystem/Partitions.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace cv {
namespace {

using test::TRecordingUserInterface;
using test::TTempDir;

void MakeDir(const std::string& path) {
  ASSERT_EQ(::mkdir(path.c_str(), 0755), 0) << path;
}

void MakeFile(const std::string& path) {
  std::ofstream(path) << "x";
}

std::vector<std::string> Names(const TTreeNode& node) {
  std::vector<std::string> names;
  for (const auto& child : node.Children)
    names.push_back(child->Text);
  return names;
}

const TTreeNode* Child(const TTreeNode& node, const std::string& name) {
  for (const auto& child : node.Children)
    if (child->Text == name) return child.get();
  return nullptr;
}

// A tree over a fixture directory, its only root, with no remote mounts.
class DirectoryTreeTest : public testing::Test {
protected:
  void SetUp() override {
    Tree.MountTable = [] { return std::shared_ptr<const TMountTable>(); };
  }
  TTreeNode& RootAt(const std::string& path) {
    Tree.LoadRoots({PathToPartitionTitle(path)});
    return *Tree.Roots().front();
  }
  TTempDir Dir;
  TDirectoryTree Tree;
  TRecordingUserInterface Ui;
};

TEST_F(DirectoryTreeTest, BranchHoldsSortedByteExactSubdirectoriesOnly) {
  const std::string odd = "\xff\xfeodd";
  for (const char* name : {"data", "b", "Data", "a", "B"})
    MakeDir(Dir.Path + "/" + name);
  MakeDir(Dir.Path + "/" + odd);
  MakeFile(Dir.Path + "/file.txt");
  ASSERT_EQ(::symlink("B", (Dir.Path + "/link").c_str()), 0);
  TTreeNode& root = RootAt(Dir.Path);
  ASSERT_TRUE(Tree.Expand(root));
  std::vector<std::string> names = Names(root);
  // Case-insensitive name order, the bytes deciding between "Data" and "data".
  ASSERT_EQ(names.size(), 6u);
  const auto odd_at = std::find(names.begin(), names.end(), odd);
  ASSERT_NE(odd_at, names.end());
  names.erase(odd_at);
  EXPECT_EQ(names, (std::vector<std::string>{"a", "B", "b", "Data", "data"}));
  EXPECT_EQ(GetTreeNodeTitle(Child(root, odd)), Dir.Path + "/" + odd);
  for (const auto& child : root.Children) {
    EXPECT_NE(child->Text, ".");
    EXPECT_NE(child->Text, "..");
  }
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(DirectoryTreeTest, BoxShowsOnlyWhereASubdirectoryIs) {
  MakeDir(Dir.Path + "/files");
  MakeFile(Dir.Path + "/files/f.txt");
  MakeDir(Dir.Path + "/nest");
  MakeDir(Dir.Path + "/nest/empty");
  TTreeNode& root = RootAt(Dir.Path);
  EXPECT_TRUE(root.Expandable); // roots always
  ASSERT_TRUE(Tree.Expand(root));
  TTreeNode& files = const_cast<TTreeNode&>(*Child(root, "files"));
  TTreeNode& nest = const_cast<TTreeNode&>(*Child(root, "nest"));
  EXPECT_FALSE(files.Expandable);
  EXPECT_TRUE(nest.Expandable);
  ASSERT_TRUE(Tree.Expand(nest));
  ASSERT_EQ(Names(nest), std::vector<std::string>{"empty"});
  EXPECT_FALSE(nest.Children.front()->Expandable);
  // Closing probes again: the box follows what is on the disk now.
  ASSERT_EQ(::rmdir((Dir.Path + "/nest/empty").c_str()), 0);
  Tree.Collapse(nest);
  EXPECT_TRUE(nest.Children.empty());
  EXPECT_FALSE(nest.Expandable);
  EXPECT_FALSE(nest.RememberedExpandable);
  // Until a branch is read again it shows the old state.
  MakeDir(Dir.Path + "/files/new");
  EXPECT_FALSE(files.Expandable);
  Tree.Collapse(root);
  ASSERT_TRUE(Tree.Expand(root));
  EXPECT_TRUE(Child(root, "files")->Expandable);
}

TEST_F(DirectoryTreeTest, RestoreTreeExpandableBringsBackTheRememberedFlags) {
  MakeDir(Dir.Path + "/sub");
  MakeDir(Dir.Path + "/sub/deeper");
  TTreeNode& root = RootAt(Dir.Path);
  ASSERT_TRUE(Tree.Expand(root));
  TTreeNode& sub = *root.Children.front();
  root.Expandable = false;
  sub.Expandable = false;
  Tree.RestoreTreeExpandable();
  EXPECT_TRUE(root.Expandable);
  EXPECT_TRUE(sub.Expandable);
  SetTreeNodeExpandable(root, false);
  EXPECT_TRUE(root.Expandable); // a root keeps its box
}

TEST_F(DirectoryTreeTest, NotFoundIsSilentOtherErrorsShowOncePerOpening) {
  MakeFile(Dir.Path + "/file.txt");
  ASSERT_EQ(::symlink("loop", (Dir.Path + "/loop").c_str()), 0);
  struct TCase {
    std::string Path;
    size_t Errors;
  } cases[] = {{Dir.Path + "/gone", 0}, {Dir.Path + "/file.txt", 0}, {Dir.Path + "/loop", 1}};
  for (const TCase& c : cases) {
    Ui.Errors.clear();
    TTreeNode& root = RootAt(c.Path);
    EXPECT_FALSE(Tree.Expand(root)) << c.Path;
    EXPECT_FALSE(root.Expanded);
    EXPECT_TRUE(root.Children.empty());
    ASSERT_EQ(Ui.Errors.size(), c.Errors) << c.Path;
    if (c.Errors) {
      EXPECT_NE(Ui.Errors[0].Report.find("Failed to load directory."), std::string::npos);
      EXPECT_NE(Ui.Errors[0].Report.find(std::system_category().message(ELOOP)),
                std::string::npos)
          << Ui.Errors[0].Report;
    }
  }
}

TEST_F(DirectoryTreeTest, UnreadableSubdirectoriesKeepTheirBoxAndTellOnlyWhenOpened) {
  for (const char* name : {"one", "two", "three"}) {
    MakeDir(Dir.Path + "/" + name);
    ASSERT_EQ(::chmod((Dir.Path + "/" + name).c_str(), 0), 0);
  }
  const std::string failure = test::RunUnprivileged({Dir.Path}, [&]() -> std::string {
    TRecordingUserInterface ui;
    TTreeNode& root = RootAt(Dir.Path);
    if (!Tree.Expand(root) || root.Children.size() != 3) return "the branch did not open";
    if (!ui.Errors.empty()) return "probing showed " + ui.Errors[0].Report;
    for (const auto& child : root.Children)
      if (!child->Expandable) return child->Text + " lost its box";
    if (Tree.Expand(*root.Children.front())) return "an unreadable directory opened";
    if (ui.Errors.size() != 1) return "errors shown: " + std::to_string(ui.Errors.size());
    if (ui.Errors[0].Report.find(std::system_category().message(EACCES)) == std::string::npos)
      return "no system reason in " + ui.Errors[0].Report;
    return {};
  });
  EXPECT_EQ(failure, "");
}

TEST_F(DirectoryTreeTest, RemoteChildrenAreNeverProbed) {
  MakeDir(Dir.Path + "/remote"); // empty: a probe would take its box away
  MakeDir(Dir.Path + "/local");
  const std::string text = "1 0 8:1 / / rw - ext4 /dev/sda1 rw\n"
                           "40 1 0:50 / " +
                           Dir.Path + "/remote rw - fuse.sshfs ann@host:/ rw\n";
  const auto table = std::make_shared<const TMountTable>(ParseMountInfo(text), PartitionSources());
  Tree.MountTable = [table] { return table; };
  TTreeNode& root = RootAt(Dir.Path);
  ASSERT_TRUE(Tree.Expand(root));
  EXPECT_TRUE(Child(root, "remote")->Expandable);
  EXPECT_FALSE(Child(root, "local")->Expandable);
}

TEST_F(DirectoryTreeTest, NavigationStartsAtTheLongestMountPointAndStopsAtAMissingName) {
  const std::string inner = Dir.Path + "/inner";
  for (const std::string& path : {inner, inner + "/x", inner + "/x/y", Dir.Path + "/a",
                                  Dir.Path + "/a/b"})
    MakeDir(path);
  Tree.LoadRoots({":/", PathToPartitionTitle(Dir.Path), PathToPartitionTitle(inner)});
  const TTreeNode& top = *Tree.Roots()[1];
  const TTreeNode& nested = *Tree.Roots()[2];

  EXPECT_TRUE(Tree.NavigateToTreeDirectory(inner + "/x/y/"));
  ASSERT_NE(Tree.Selected(), nullptr);
  EXPECT_EQ(Tree.GetSelectedTreeTitle(), inner + "/x/y");
  const TTreeNode* root = Tree.Selected();
  while (root->Parent)
    root = root->Parent;
  EXPECT_EQ(root, &nested);
  EXPECT_FALSE(Tree.Selected()->Expanded); // selected, not opened
  EXPECT_FALSE(top.Expanded);

  EXPECT_TRUE(Tree.NavigateToTreeDirectory(inner));
  EXPECT_EQ(Tree.Selected(), &nested);
  EXPECT_TRUE(Tree.NavigateToTreeDirectory(PathToPartitionTitle(Dir.Path)));
  EXPECT_EQ(Tree.Selected(), &top);

  EXPECT_FALSE(Tree.NavigateToTreeDirectory(Dir.Path + "/A/b")); // names are exact
  EXPECT_EQ(Tree.Selected(), nullptr);
  EXPECT_TRUE(top.Expanded);
  EXPECT_FALSE(Tree.NavigateToTreeDirectory(Dir.Path + "/a/nope/deeper"));
  EXPECT_EQ(Tree.Selected(), nullptr);
  EXPECT_TRUE(Child(top, "a")->Expanded);

  // From the root partition through every directory on the way.
  Tree.LoadRoots({":/"});
  EXPECT_TRUE(Tree.NavigateToTreeDirectory(Dir.Path + "/a/b"));
  EXPECT_EQ(Tree.GetSelectedTreeTitle(), Dir.Path + "/a/b");
  EXPECT_TRUE(Tree.NavigateToTreeDirectory("/"));
  EXPECT_EQ(Tree.GetSelectedTreeTitle(), ":/");
}

TEST_F(DirectoryTreeTest, RowsAndGeometryFollowTheOpenBranches) {
  MakeDir(Dir.Path + "/one");
  MakeDir(Dir.Path + "/two");
  MakeDir(Dir.Path + "/two/inside");
  Tree.LoadRoots({PathToPartitionTitle(Dir.Path), ":/"});
  TTreeNode& root = *Tree.Roots().front();
  ASSERT_TRUE(Tree.Expand(root));
  ASSERT_EQ(Tree.Rows().size(), 4u); // root, one, two, the second root
  const int w = 16, h = 20;
  const TTreeNode& one = *root.Children[0];
  const TTreeNode& two = *root.Children[1];

  const TTreeRowGeometry top = Tree.RowGeometry(root, w, h);
  EXPECT_EQ(top.TextLeft, w);
  EXPECT_EQ(top.FullLines, std::vector<int>{w / 2}); // another root follows
  EXPECT_TRUE(top.Box);
  EXPECT_FALSE(top.Plus); // open: "-" only
  EXPECT_EQ(top.BoxRect, QRect(QPoint(w / 2 - 4, h / 2 - 4), QPoint(w / 2 + 4, h / 2 + 4)));

  const TTreeRowGeometry first = Tree.RowGeometry(one, w, h);
  EXPECT_EQ(first.TextLeft, 2 * w);
  // Its own line goes on to "two", its parent's to the second root.
  EXPECT_EQ(first.FullLines, (std::vector<int>{w + w / 2, w / 2}));
  EXPECT_FALSE(first.Box);

  const TTreeRowGeometry last = Tree.RowGeometry(two, w, h);
  EXPECT_EQ(last.HalfLine, w + w / 2);
  EXPECT_EQ(last.FullLines, std::vector<int>{w / 2});
  EXPECT_TRUE(last.Box);
  EXPECT_TRUE(last.Plus);
  EXPECT_EQ(last.BranchFrom, w + w / 2);
}

TEST(TreeMouseDownTest, PressesSelectAndToggleByWhereTheyLand) {
  TTreeNode node;
  const QRect text(40, 20, 60, 18); // x 40..99, y 20..37
  const int w = 18;
  struct TCase {
    TTreeButton Button;
    bool Double;
    QPoint At;
    bool Select, Toggle;
  } cases[] = {
      {TTreeButton::Left, false, {50, 25}, true, false},  // on the text
      {TTreeButton::Left, false, {30, 25}, true, true},   // on the box strip
      {TTreeButton::Left, false, {21, 25}, true, false},  // left of the strip
      {TTreeButton::Left, false, {120, 25}, true, false}, // right of the text
      {TTreeButton::Left, true, {120, 25}, false, true},  // double right of the text
      {TTreeButton::Left, true, {50, 25}, false, true},   // double on the text
      {TTreeButton::Left, true, {30, 25}, false, false},  // the first press toggled already
      {TTreeButton::Right, false, {50, 25}, true, false},
      {TTreeButton::Middle, false, {120, 25}, true, false},
  };
  for (const TCase& c : cases) {
    const TTreeHit hit = TreeMouseDown(&node, text, c.Button, c.Double, c.At, w);
    EXPECT_EQ(hit.Node, &node);
    EXPECT_EQ(hit.Select, c.Select) << c.At.x() << " double " << c.Double;
    EXPECT_EQ(hit.Toggle, c.Toggle) << c.At.x() << " double " << c.Double;
  }
  EXPECT_EQ(TreeMouseDown(&node, text, TTreeButton::Other, false, {50, 25}, w).Node, nullptr);
  EXPECT_EQ(TreeMouseDown(nullptr, text, TTreeButton::Left, false, {50, 25}, w).Node, nullptr);
}

} // namespace
} // namespace cv
