#include "foundation/Clipboard.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace cv {
namespace {

class ClipboardRoundTripTest : public ::testing::Test {
protected:
  void SetUp() override { QGuiApplication::clipboard()->clear(); }
  test::TRecordingUserInterface Ui;
};

TEST_F(ClipboardRoundTripTest, FileListsGoOutInEveryFormAndComeBackByteForByte) {
  const std::vector<std::string> titles = {"/d/a b.txt", "/d/caf\xE9", "/d/100%.txt"};
  ASSERT_TRUE(SetClipboardFiles(titles, "shown text", true));
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(data->text(), "shown text");
  ASSERT_EQ(data->urls().size(), 3);
  EXPECT_EQ(data->urls()[0].toEncoded(), "file:///d/a%20b.txt");
  EXPECT_EQ(data->data("x-special/gnome-copied-files"),
            "cut\nfile:///d/a%20b.txt\nfile:///d/caf%E9\nfile:///d/100%25.txt");
  std::vector<std::string> back;
  bool cut = false;
  ASSERT_TRUE(ClipboardFilesToList(back, &cut));
  EXPECT_EQ(back, titles);
  EXPECT_TRUE(cut);
  ASSERT_TRUE(SetClipboardFiles(titles, "shown text"));
  ASSERT_TRUE(ClipboardFilesToList(back, &cut));
  EXPECT_EQ(back, titles);
  EXPECT_FALSE(cut);
}

TEST_F(ClipboardRoundTripTest, OnlyTheCutListThatWasPastedIsCleared) {
  const std::vector<std::string> titles = {"/d/a", "/d/\xFF"};
  ASSERT_TRUE(SetClipboardFiles(titles, "a", false));
  EXPECT_FALSE(ClearClipboardCutFiles(titles)) << "a copy list stays";
  ASSERT_TRUE(SetClipboardFiles({"/d/other"}, "other", true));
  EXPECT_FALSE(ClearClipboardCutFiles(titles)) << "cut later, in another list";
  const auto empty = [] {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return !data || data->formats().isEmpty();
  };
  EXPECT_FALSE(empty());
  // Another program cut them, as text lines never can be.
  auto* data = new QMimeData;
  data->setData("x-special/gnome-copied-files", "cut\nfile:///d/a\nfile:///d/%FF");
  QGuiApplication::clipboard()->setMimeData(data);
  EXPECT_TRUE(ClearClipboardCutFiles(titles));
  EXPECT_TRUE(empty());
  ASSERT_TRUE(SetClipboardText("cut\n/d/a\n/d/\xFF"));
  std::vector<std::string> list;
  bool cut = true;
  ASSERT_TRUE(ClipboardFilesToList(list, &cut));
  EXPECT_FALSE(cut);
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(ClipboardRoundTripTest, CopyAppendAndRead) {
  EXPECT_TRUE(CopyTextToClipboard("first"));
  EXPECT_EQ(CopyTextFromClipboard(), "first");
  EXPECT_TRUE(CopyTextToClipboard(" caf\xC3\xA9", {}, true, true));
  EXPECT_EQ(CopyTextFromClipboard(), "first caf\xC3\xA9"); // no line break in between
  EXPECT_EQ(Ui.Beeps, 1);
  EXPECT_TRUE(CopyTextToClipboard("replaced"));
  EXPECT_EQ(CopyTextFromClipboard(), "replaced");
  EXPECT_EQ(Ui.Beeps, 1);

  EXPECT_FALSE(CopyTextToClipboard(""));
  EXPECT_EQ(CopyTextFromClipboard(), "replaced");
  EXPECT_TRUE(SetClipboardText(""));
  EXPECT_EQ(CopyTextFromClipboard(), "");
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(ClipboardRoundTripTest, FileListsFromLinesOrUrls) {
  std::vector<std::string> list;
  ASSERT_TRUE(SetClipboardText("/tmp/a\r\n\r\n/tmp/b c\nfile:///tmp/%FF\n"));
  EXPECT_TRUE(ClipboardFilesToList(list));
  EXPECT_EQ(list, (std::vector<std::string>{"/tmp/a", "/tmp/b c", "/tmp/\xFF"}));

  auto* data = new QMimeData;
  data->setUrls({QUrl::fromEncoded("file:///tmp/x"), QUrl::fromEncoded("https://example.invalid/")});
  data->setText("ignored when URLs are there");
  QGuiApplication::clipboard()->setMimeData(data);
  EXPECT_TRUE(ClipboardFilesToList(list));
  EXPECT_EQ(list, (std::vector<std::string>{"/tmp/x"}));
}

} // namespace
} // namespace cv
