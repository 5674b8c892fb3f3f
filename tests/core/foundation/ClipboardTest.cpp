#include "foundation/Clipboard.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QMimeData>

namespace cv {
namespace {

using Titles = std::vector<std::string>;

TEST(ClipboardTest, UrlsBecomeExactLocalTitles) {
  struct Case { const char* url; const char* title; } cases[] = {
      {"file:///tmp/a%20b.txt", "/tmp/a b.txt"},
      {"file:///tmp/%FF%FEraw", "/tmp/\xFF\xFEraw"}, // not UTF-8: the bytes as they are
      {"file:///tmp/caf%C3%A9/", "/tmp/caf\xC3\xA9"},
      {"file://localhost/etc/hosts", "/etc/hosts"},
      {"file:///", "/"},
      {"file://otherhost/share/x", ""},
      {"https://example.invalid/x", ""},
      {"file:///tmp/nul%00byte", ""},
      {"relative/path", ""},
      {"file:///tmp/report#2.txt", ""}, // never "/tmp/report"
      {"file:///tmp/report?2.txt", ""},
      {"file:///tmp/report%232.txt", "/tmp/report#2.txt"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(LocalFileTitleFromUrl(QUrl::fromEncoded(c.url)), c.title) << c.url;
}

TEST(ClipboardTest, TextLinesGiveOnlyAbsoluteTitles) {
  struct Case {
    std::string text;
    Titles titles;
  } cases[] = {
      {"/tmp/a\r\n/tmp/b c\n\n", {"/tmp/a", "/tmp/b c"}},
      {"file:///tmp/x%20y\nfile:///tmp/report#2.txt\n/tmp/z", {"/tmp/x y", "/tmp/z"}},
      {"report.txt\n./a\n~/b\n /tmp/c", {}}, // never resolved against the working directory
      {"file://otherhost/a\nhttps://example.invalid/b", {}},
      {std::string("/tmp/a\0b\n/tmp/c", 15), {"/tmp/c"}}, // "/tmp/a\0b" would act on "/tmp/a"
  };
  for (const auto& c : cases)
    EXPECT_EQ(TitlesFromText(c.text), c.titles) << c.text;
}

TEST(ClipboardTest, DroppedFilesAreLocalFullTitlesInOrder) {
  const std::string longName(300, 'n');
  const std::string longTitle = "/tmp/deep/" + longName + "/" + longName;
  QMimeData data;
  data.setData("text/uri-list", QByteArray::fromStdString(
                                    "file:///tmp/one\r\nhttps://example.invalid/remote\r\n"
                                    "file:///tmp/%FF\r\nfile://" + longTitle + "\r\n"));
  std::vector<std::string> list = {"stale"};
  EXPECT_TRUE(DroppedFilesToList(&data, list));
  EXPECT_EQ(list, (Titles{"/tmp/one", "/tmp/\xFF", longTitle})); // never cut at 260 bytes
  EXPECT_EQ(DroppedFilesCount(&data), 3);

  QMimeData gnome;
  gnome.setData("x-special/gnome-copied-files", "cut\nfile:///tmp/a\nfile:///tmp/b");
  EXPECT_TRUE(DroppedFilesToList(&gnome, list));
  EXPECT_EQ(list, (Titles{"/tmp/a", "/tmp/b"}));

  QMimeData text;
  text.setText("just text");
  EXPECT_TRUE(DroppedFilesToList(&text, list));
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(DroppedFilesCount(nullptr), 0);
}

TEST(ClipboardTest, AFileListIsCutOnlyWhenItsProgramMarkedIt) {
  struct Case {
    const char* format;
    QByteArray data;
    bool cut;
  } const cases[] = {
      {"x-special/gnome-copied-files", "cut\nfile:///tmp/a", true},
      {"x-special/gnome-copied-files", "cut\r\nfile:///tmp/a\r\n", true},
      {"x-special/gnome-copied-files", "cut", true},
      {"x-special/gnome-copied-files", "copy\nfile:///tmp/a", false},
      {"x-special/gnome-copied-files", "cutting\nfile:///tmp/a", false},
      {"x-special/gnome-copied-files", "file:///tmp/cut\ncut", false},
      {"application/x-kde-cutselection", "1", true},
      {"application/x-kde-cutselection", "0", false},
      {"text/uri-list", "file:///tmp/a", false},
  };
  for (const Case& c : cases) {
    QMimeData data;
    data.setData(c.format, c.data);
    EXPECT_EQ(MimeFilesCut(&data), c.cut) << c.format << " " << c.data.toStdString();
  }
  EXPECT_FALSE(MimeFilesCut(nullptr));
}

// The core tests run without a GUI application: there is no clipboard.
TEST(ClipboardTest, WithoutClipboardEveryCallFailsWithItsMessage) {
  test::TRecordingUserInterface ui;
  EXPECT_FALSE(CopyTextToClipboard("x"));
  EXPECT_EQ(FunStatContext.Description, "Failed to copy text to clipboard.");
  EXPECT_EQ(FunStatContext.FunctionName, "CopyTextToClipboard");
  EXPECT_FALSE(CopyTextToClipboard("x", "Failed to copy path."));
  EXPECT_EQ(FunStatContext.Description, "Failed to copy path.");
  EXPECT_EQ(CopyTextFromClipboard(), "");
  EXPECT_EQ(FunStatContext.Description, "Failed to get text from clipboard.");
  std::vector<std::string> list = {"stale"};
  EXPECT_FALSE(ClipboardFilesToList(list));
  EXPECT_TRUE(list.empty());
  EXPECT_TRUE(ui.Errors.empty()); // reported to the caller, not shown here

  EXPECT_FALSE(CopyTextToClipboard(""));
  ASSERT_EQ(ui.Boxes.size(), 1u);
  EXPECT_EQ(ui.Boxes[0].Text, "There is no text to copy to clipboard.");
  EXPECT_FALSE(FunStatContext.Failed());
}

} // namespace
} // namespace cv
