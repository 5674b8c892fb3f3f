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
  ASSERT_TRUE(ClipboardFilesToList(back));
  EXPECT_EQ(back, titles);
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
