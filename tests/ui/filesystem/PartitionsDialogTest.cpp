#include "filesystem/PartitionsDialog.h"

#include "filesystem/Partitions.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>

#include <string>
#include <vector>

namespace cv {
namespace {

class PartitionsDialogTest : public ::testing::Test {
protected:
  void SetUp() override {
    Saved = PartitionSources();
    PartitionSources() = {CORVANTIDE_FIXTURES "/filesystem/menu.mountinfo", Dir.Path, Dir.Path};
    Dialog.OnNavigate = [this](const std::string& root, TShiftState shift) {
      Calls.push_back("navigate " + root + " " + std::to_string(shift));
    };
    Dialog.OnCopyMove = [this](const std::string& root, const std::string& operation) {
      Calls.push_back(operation + " " + root);
    };
  }
  void TearDown() override { PartitionSources() = Saved; }

  static std::vector<std::string> Captions(const QMenu& menu) {
    std::vector<std::string> captions;
    for (const QAction* action : menu.actions()) captions.push_back(action->text().toStdString());
    return captions;
  }

  TPartitionSources Saved;
  test::TTempDir Dir;
  TPartitionsDialog Dialog;
  QMenu Menu;
  std::vector<std::string> Calls;
};

TEST_F(PartitionsDialogTest, NavigationMenuWithDefaultItem) {
  Dialog.Setup(&Menu, ssCtrl, "", true, "/home/ann/R&D");
  const std::vector<std::string> expected = {"/home/ann/R&&D", "/ (Fixed)", "/mnt/a&&b (Fixed)",
                                             "/mnt/nas (Remote: \"nas:/export\")"};
  EXPECT_EQ(Captions(Menu), expected);
  ASSERT_EQ(Menu.defaultAction(), Menu.actions().front());
  EXPECT_TRUE(Menu.defaultAction()->font().bold());
  // The target travels in data(), never rebuilt from the caption.
  EXPECT_EQ(Menu.actions()[2]->data().toByteArray().toStdString(), "/mnt/a&b/");

  Menu.actions()[0]->trigger();
  Menu.actions()[1]->trigger();
  Menu.actions()[2]->trigger();
  const std::vector<std::string> calls = {"navigate /home/ann/R&D/ " + std::to_string(ssCtrl),
                                          "navigate / " + std::to_string(ssCtrl),
                                          "navigate /mnt/a&b/ " + std::to_string(ssCtrl)};
  EXPECT_EQ(Calls, calls);
}

TEST_F(PartitionsDialogTest, DropMenusCopyOrMoveAndRefill) {
  Dialog.Setup(&Menu, 0, "Copy", false, "");
  ASSERT_EQ(Menu.actions().size(), 3);
  EXPECT_EQ(Menu.defaultAction(), nullptr);
  Menu.actions()[2]->trigger();

  // A second set-up replaces the items instead of adding to them.
  Dialog.Setup(&Menu, ssShift, "Move", false, "");
  ASSERT_EQ(Menu.actions().size(), 3);
  EXPECT_EQ(Dialog.ShiftState(), static_cast<TShiftState>(ssShift));
  Menu.actions()[0]->trigger();

  Dialog.Setup(&Menu, 0, "Delete", false, "");
  Menu.actions()[0]->trigger();
  const std::vector<std::string> calls = {"Copy /mnt/nas/", "Move /"};
  EXPECT_EQ(Calls, calls);
}

} // namespace
} // namespace cv
