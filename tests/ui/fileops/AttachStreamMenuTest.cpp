#include "fileops/AttachStreamMenu.h"

#include "TestSupport.h"
#include "foundation/UserInterface.h"

#include <QAction>
#include <QMenu>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <sys/xattr.h>

namespace cv {
namespace {

std::string Attribute(const std::string& title, const char* name) {
  char value[256] = {};
  const ssize_t size = ::getxattr(title.c_str(), name, value, sizeof value);
  return size < 0 ? "<none>" : std::string(value, static_cast<size_t>(size));
}

TEST(AttachStreamMenuTest, ListsTheDestinationsStreamsAndAttachesTheSourceToTheClickedOne) {
  test::TTempDir dir;
  test::TRecordingUserInterface ui;
  const std::string destination = dir.Path + "/carrier.txt";
  const std::string source = dir.Path + "/note.txt";
  std::ofstream(destination) << "main";
  std::ofstream(source) << "attached text";
  if (::setxattr(destination.c_str(), "user.Empty", "", 0, 0) != 0 ||
      ::setxattr(destination.c_str(), "user.Kept", "old", 3, 0) != 0) {
    std::printf("no user attributes here: the menu would be empty\n");
    return;
  }
  QMenu menu;
  ASSERT_TRUE(SetupAttachStream(menu, destination, [&] { return source; }));
  const auto actions = menu.actions();
  ASSERT_EQ(actions.size(), 3);
  EXPECT_EQ(actions[0]->text(), "Destination streams");
  EXPECT_EQ(menu.defaultAction(), actions[0]);
  QStringList names = {actions[1]->text(), actions[2]->text()};
  names.sort();
  EXPECT_EQ(names, QStringList({"Empty", "Kept"}));
  QAction* empty = actions[1]->text() == "Empty" ? actions[1] : actions[2];
  QAction* kept = empty == actions[1] ? actions[2] : actions[1];

  empty->trigger(); // an empty stream is filled without a question
  EXPECT_EQ(Attribute(destination, "user.Empty"), "attached text");
  EXPECT_TRUE(ui.Boxes.empty());

  ui.BoxAnswer = mrBoxNo; // a stream with content asks first
  kept->trigger();
  ASSERT_EQ(ui.Boxes.size(), 1u);
  EXPECT_EQ(ui.Boxes[0].Text,
            "The selected destination stream is not empty.\nDo you want to overwrite it?");
  EXPECT_EQ(Attribute(destination, "user.Kept"), "old");

  // A source larger than a stream may hold is refused before anything is written.
  std::ofstream(source) << std::string(70000, 'x');
  ui.BoxAnswer = mrBoxOk;
  empty->trigger();
  EXPECT_EQ(Attribute(destination, "user.Empty"), "attached text");
  ASSERT_EQ(ui.Errors.size(), 1u);
  EXPECT_NE(ui.Errors[0].Description.find("Failed to attach stream."), std::string::npos);
}

TEST(AttachStreamMenuTest, AMissingDestinationLeavesTheMenuEmpty) {
  test::TRecordingUserInterface ui;
  QMenu menu;
  menu.addAction("stale");
  EXPECT_FALSE(SetupAttachStream(menu, "/nonexistent/file", [] { return std::string(); }));
  EXPECT_TRUE(menu.actions().isEmpty());
  EXPECT_TRUE(ui.Errors.empty()) << "the caller shows the failure";
  FunStatContext.Reset(fsPerfect);
}

} // namespace
} // namespace cv
