#include "security/FileStreamsEditor.h"

#include "filesystem/FileStreams.h"
#include "foundation/Error.h"
#include "foundation/Random.h"
#include "security/PasswordGenerator.h"

#include "../filesystem/FileTestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace cv {
namespace {

std::string Stream(const std::string& title, const std::string& name) {
  return test::Attribute(title, "user." + name);
}

using test::ReadBytes;
using test::WriteBytes;

class FileStreamsEditorTest : public ::testing::Test {
protected:
  void SetUp() override {
    File = Dir.Path + "/file";
    ASSERT_TRUE(WriteBytes(File, "main"));
    if (::setxattr(File.c_str(), "user.probe", "x", 1, 0) != 0)
      GTEST_SKIP() << "no user attributes here: " << errno;
    ::removexattr(File.c_str(), "user.probe");
    FunStatContext.Reset(fsPerfect);
  }
  void SetStream(const std::string& name, const std::string& value) {
    ASSERT_EQ(::setxattr(File.c_str(), ("user." + name).c_str(), value.data(), value.size(), 0), 0);
  }
  static void ExpectFailure(const std::string& message) {
    EXPECT_EQ(FunStatContext.Status, fsError);
    EXPECT_EQ(FunStatContext.Description, message);
  }
  test::TTempDir Dir;
  std::string File;
  TFileStreamsEditor Editor;
};

TEST_F(FileStreamsEditorTest, ListsMainThenDescriptionThenTheOthers) {
  SetStream("zeta", "");
  SetStream("Description", "d");
  SetStream("alpha", "");
  ASSERT_TRUE(Editor.Open(File)) << FunStatContext.GetReport();
  EXPECT_EQ(Editor.Names, (std::vector<std::string>{"Main", "Description", "alpha", "zeta"}));
  EXPECT_EQ(Editor.Selected, "Main");
  EXPECT_TRUE(Editor.StreamsSupported);
  EXPECT_FALSE(Editor.MainShadowed);
  EXPECT_EQ(Editor.LoadedName(), "");
  EXPECT_TRUE(Editor.Refresh("alpha"));
  EXPECT_EQ(Editor.Selected, "alpha");
  EXPECT_TRUE(Editor.Refresh("gone"));
  EXPECT_EQ(Editor.Selected, "Main");
  // A secondary stream called "Main" is hidden behind the main stream.
  SetStream("Main", "secondary");
  Editor.Refresh("Main");
  EXPECT_TRUE(Editor.MainShadowed);
  EXPECT_EQ(std::count(Editor.Names.begin(), Editor.Names.end(), "Main"), 1);
  std::string text;
  ASSERT_TRUE(Editor.Load("Main", text));
  EXPECT_EQ(text, "main");
}

TEST_F(FileStreamsEditorTest, DirectoriesHaveNoStreams) {
  EXPECT_FALSE(Editor.Open(Dir.Path));
  ExpectFailure("Directories don't have streams.");
  EXPECT_FALSE(Editor.IsOpen());
}

TEST_F(FileStreamsEditorTest, BinaryIsRefusedAndTextLoadsWhole) {
  struct TRow {
    std::string Data;
    bool Editable;
  };
  const TRow rows[] = {
      {std::string("a\0b", 3), false}, // zero byte
      {"\xff\xfe text", false},        // not UTF-8
      {"caf\xc3", false},              // cut inside a character
      {"\xc0\xaf", false},             // overlong "/"
      {"\xed\xa0\x80", false},         // a surrogate
      {"a\r\nb\nc", false},            // mixed line ends
      {"a\rb", false},                 // a lone CR
      {"caf\xc3\xa9 na\xc3\xafve \xe6\x97\xa5 \xf0\x9f\x98\x80\n\ttab", true},
      {"", true},
  };
  for (const TRow& row : rows) {
    for (const std::string name : {"Main", "Note"}) {
      if (name == "Main")
        WriteBytes(File, row.Data);
      else
        SetStream(name, row.Data);
      ASSERT_TRUE(Editor.Open(File));
      std::string text = "old";
      EXPECT_EQ(Editor.Load(name, text), row.Editable) << name << " " << row.Data;
      if (row.Editable) {
        EXPECT_EQ(text, row.Data);
        EXPECT_EQ(Editor.LoadedName(), name);
        continue;
      }
      ExpectFailure(BinaryStreamText);
      EXPECT_EQ(text, "");
      // Nothing is loaded, so nothing can be saved over the stream.
      EXPECT_EQ(Editor.LoadedName(), "");
      EXPECT_TRUE(Editor.Save("overwritten"));
      EXPECT_EQ(name == "Main" ? ReadBytes(File) : Stream(File, "Note"), row.Data);
    }
  }
}

TEST_F(FileStreamsEditorTest, TextTheEditorWouldChangeIsRefused) {
  SetStream("Note", "a\xc2\xa0"
                    "b");
  ASSERT_TRUE(Editor.Open(File));
  std::string text;
  ASSERT_TRUE(Editor.Load("Note", text));
  EXPECT_TRUE(Editor.AcceptShownText(text));
  // The editor gave a plain space back for the no-break space.
  EXPECT_FALSE(Editor.AcceptShownText("a b"));
  ExpectFailure(BinaryStreamText);
  EXPECT_EQ(Editor.LoadedName(), "");
}

TEST_F(FileStreamsEditorTest, LineEndsAreKeptByteForByte) {
  struct TRow {
    std::string Stored, Shown, Edited, Saved;
  };
  const TRow rows[] = {
      {"a\r\nb\r\n", "a\nb\n", "a\nb\nc\n", "a\r\nb\r\nc\r\n"},
      {"a\nb\n", "a\nb\n", "a\nb\nc", "a\nb\nc"},
      {"one", "one", "one\ntwo", "one\ntwo"},
  };
  for (const TRow& row : rows) {
    for (const std::string name : {"Main", "Note"}) {
      if (name == "Main")
        WriteBytes(File, row.Stored);
      else
        SetStream(name, row.Stored);
      ASSERT_TRUE(Editor.Open(File));
      std::string text;
      ASSERT_TRUE(Editor.Load(name, text)) << FunStatContext.GetReport();
      EXPECT_EQ(text, row.Shown);
      ASSERT_TRUE(Editor.Save(text)) << FunStatContext.GetReport();
      EXPECT_EQ(name == "Main" ? ReadBytes(File) : Stream(File, name), row.Stored);
      ASSERT_TRUE(Editor.Save(row.Edited)) << FunStatContext.GetReport();
      EXPECT_EQ(name == "Main" ? ReadBytes(File) : Stream(File, name), row.Saved);
    }
  }
}

TEST_F(FileStreamsEditorTest, SavingMainReplacesTheFileAndKeepsModeAndStreams) {
  SetStream("Description", "about");
  SetStream("Other", std::string("\0bin", 4));
  ASSERT_EQ(::chmod(File.c_str(), 0640), 0);
  struct stat before {};
  ASSERT_EQ(::stat(File.c_str(), &before), 0);
  ASSERT_TRUE(Editor.Open(File));
  std::string text;
  ASSERT_TRUE(Editor.Load("Main", text));
  ASSERT_TRUE(Editor.Save("new content\n")) << FunStatContext.GetReport();
  struct stat after {};
  ASSERT_EQ(::stat(File.c_str(), &after), 0);
  EXPECT_EQ(ReadBytes(File), "new content\n");
  // A new file took the old one's place: the old content was never cut short.
  EXPECT_NE(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_mode & 07777, 0640u);
  EXPECT_EQ(Stream(File, "Description"), "about");
  EXPECT_EQ(Stream(File, "Other"), std::string("\0bin", 4));
  EXPECT_EQ(test::Entries(Dir.Path), std::vector<std::string>{"file"}); // no temporary left

  // A file with two names stays one file: written in place.
  const std::string other = Dir.Path + "/other";
  ASSERT_EQ(::link(File.c_str(), other.c_str()), 0);
  ASSERT_TRUE(Editor.Save("linked\r\n")) << FunStatContext.GetReport();
  struct stat linked {};
  ASSERT_EQ(::stat(File.c_str(), &linked), 0);
  EXPECT_EQ(linked.st_ino, after.st_ino);
  EXPECT_EQ(ReadBytes(other), "linked\r\n");
  EXPECT_EQ(Stream(other, "Description"), "about");
}

TEST_F(FileStreamsEditorTest, AStreamTooBigForTheFileSystemKeepsTheOldValueAndStaysLoaded) {
  SetStream("Note", "old");
  ASSERT_TRUE(Editor.Open(File));
  std::string text;
  ASSERT_TRUE(Editor.Load("Note", text));
  // ext4 holds about 4 KB of attributes per file; no file system takes more than 64 KiB.
  for (const size_t size : {size_t{8000}, size_t{70000}}) {
    FunStatContext.Reset(fsPerfect);
    if (Editor.Save(std::string(size, 'x'))) {
      ASSERT_LT(size, 70000u) << "the kernel took a value over its limit";
      continue; // this file system holds more than ext4
    }
    ExpectFailure(StreamTooBigText);
    EXPECT_EQ(Stream(File, "Note"), "old") << size;
    EXPECT_EQ(Editor.LoadedName(), "Note");
  }
  ASSERT_TRUE(Editor.Save("fits"));
  EXPECT_EQ(Stream(File, "Note"), "fits");
}

TEST_F(FileStreamsEditorTest, TheEmptyNameAndMainNeverReachTheStreamFunctions) {
  SetStream("Note", "n");
  ASSERT_TRUE(Editor.Open(File));
  EXPECT_FALSE(Editor.Delete(""));
  ExpectFailure("Empty internal name of stream.");
  EXPECT_FALSE(Editor.Delete("Main"));
  ExpectFailure("You can't delete the main stream because the entire file would be deleted.");
  std::string text;
  EXPECT_FALSE(Editor.Load("", text));
  ExpectFailure("Empty internal name of stream.");
  for (const std::string name : {"", "Main", "mAIN"}) {
    EXPECT_FALSE(Editor.Add(name));
    EXPECT_FALSE(FunStatContext.Failed()) << name;
  }
  EXPECT_EQ(ReadBytes(File), "main");
  EXPECT_EQ(Editor.Names, (std::vector<std::string>{"Main", "Note"}));
}

TEST_F(FileStreamsEditorTest, AddAddDescriptionAndDelete) {
  ASSERT_TRUE(Editor.Open(File));
  EXPECT_TRUE(Editor.Add("Note"));
  EXPECT_EQ(Stream(File, "Note"), "");
  EXPECT_FALSE(Editor.Add("Note"));
  ExpectFailure("Stream already exists.");
  EXPECT_TRUE(Editor.AddDescription());
  EXPECT_EQ(Editor.Names, (std::vector<std::string>{"Main", "Description", "Note"}));
  EXPECT_EQ(Editor.Selected, "Description");
  SetStream("Description", "kept");
  EXPECT_TRUE(Editor.AddDescription()); // an existing description stays
  EXPECT_EQ(Stream(File, "Description"), "kept");
  std::string text;
  ASSERT_TRUE(Editor.Load("Note", text));
  EXPECT_TRUE(Editor.Delete("Note"));
  EXPECT_EQ(Editor.LoadedName(), "");
  EXPECT_EQ(Editor.Names, (std::vector<std::string>{"Main", "Description"}));
  EXPECT_EQ(GetFileStreamCount(File), 1);
}

TEST_F(FileStreamsEditorTest, MainStreamAboveAMillionBytesIsRefused) {
  WriteBytes(File, std::string(1000001, 'a'));
  ASSERT_TRUE(Editor.Open(File));
  std::string text;
  EXPECT_FALSE(Editor.Load("Main", text));
  ExpectFailure("Stream size too big.");
  EXPECT_EQ(Editor.LoadedName(), "");
  WriteBytes(File, std::string(1000000, 'a'));
  EXPECT_TRUE(Editor.Load("Main", text));
  EXPECT_EQ(text.size(), 1000000u);
}

TEST_F(FileStreamsEditorTest, SteggedOutTextSavesThroughTheHook) {
  std::string carrier, hidden, written;
  Editor.AutoStegOut = [&](const std::string& title, std::string& text, std::string& name) {
    carrier = title;
    text = "hidden\r\ntext";
    name = "note.txt";
    return true;
  };
  Editor.AutoStegIn = [&](const std::string&, const std::string& name, const std::string& text) {
    hidden = name;
    written = text;
    return true;
  };
  ASSERT_TRUE(Editor.Open(File));
  std::string text;
  ASSERT_TRUE(Editor.Load("Main", text));
  EXPECT_EQ(text, "hidden\ntext");
  EXPECT_TRUE(Editor.SteggedOut);
  ASSERT_TRUE(Editor.Save("hidden\nmore"));
  EXPECT_EQ(hidden, "note.txt");
  EXPECT_EQ(written, "hidden\r\nmore");
  EXPECT_EQ(ReadBytes(File), "main");
  EXPECT_EQ(carrier, File);
}

TEST(FileStreamsEditorTexts, StatusCaptionAndLoginTemplate) {
  EXPECT_EQ(StreamsEditorStatus(true, 1, 1234, 1234567, "Main"),
            "Modified  Line 1  Lines 1,234  Chars 1,234,567  Name \"Main\"");
  EXPECT_EQ(StreamsEditorStatus(false, 3, 4, 5, ""), "Saved  Line 3  Lines 4  Chars 5");
  EXPECT_EQ(StreamsEditorCaption("/home/u/a b.txt"),
            "File streams editor - \"a b.txt\" (in \"/home/u\")");
  TScriptedRandom script({31});
  TRandomSource* previous = SetSecretRandom(&script);
  const std::string login = LoginTemplateText(20);
  SetSecretRandom(previous);
  EXPECT_EQ(login, "* Login URL = \r\n* Email address = \r\n* User name = tttttttttt\r\n"
                   "* Password = tttttttttttttttttttt\r\n" +
                       std::string(50, '=') + "\r\n");
  EXPECT_EQ(LoginTemplateText(51), "");
  EXPECT_EQ(FunStatContext.Description, "Invalid password length.");
}

} // namespace
} // namespace cv
