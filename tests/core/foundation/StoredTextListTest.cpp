#include "foundation/StoredTextList.h"

#include "StorageTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace cv {
namespace {

using test::DirectoryNames;
using test::ReadFileBytes;
using test::WriteFileBytes;

class StoredTextListTest : public ::testing::Test {
public:
  void SetUp() override {
    FunStatContext.Reset(fsPerfect);
    Title = Dir.Path + "/Corvantide.ini";
  }
  // A list loaded from `text`.
  TStoredTextList& From(const std::string& text) {
    WriteFileBytes(Title, text);
    EXPECT_TRUE(List.LoadFrom(Title));
    return List;
  }

  test::TRecordingUserInterface Ui;
  test::TTempDir Dir;
  std::string Title;
  TStoredTextList List;
};

// What each typed reader makes of a stored text.
TEST_F(StoredTextListTest, TypedReadersTable) {
  struct {
    const char* Stored; // the line under [S], or "" for a missing key
    std::function<std::string(const TStoredTextList&)> Read;
    std::string Expected;
  } const cases[] = {
      {"K=TRUE", [](auto& l) { bool b = false; l.ReadBool("S", "K", b); return std::to_string(b); }, "1"},
      {"K=true", [](auto& l) { bool b = true; l.ReadBool("S", "K", b); return std::to_string(b); }, "0"},
      {"K=1", [](auto& l) { bool b = true; l.ReadBool("S", "K", b); return std::to_string(b); }, "0"},
      {"", [](auto& l) { bool b = true; l.ReadBool("S", "K", b); return std::to_string(b); }, "1"},
      {"K=42", [](auto& l) { int32_t i = 7; l.ReadInt("S", "K", i, 100, 0); return std::to_string(i); }, "42"},
      {"K=-3", [](auto& l) { int32_t i = 7; l.ReadInt("S", "K", i, 100, -5); return std::to_string(i); }, "-3"},
      {"K=+9", [](auto& l) { int32_t i = 7; l.ReadInt("S", "K", i, 100, 0); return std::to_string(i); }, "9"},
      {"K=12a", [](auto& l) { int32_t i = 7; l.ReadInt("S", "K", i, 100, 0); return std::to_string(i); }, "7"},
      {"K=101", [](auto& l) { int32_t i = 7; l.ReadInt("S", "K", i, 100, 0); return std::to_string(i); }, "7"},
      {"K=-1", [](auto& l) { int32_t i = 7; l.ReadInt("S", "K", i, 100, 0); return std::to_string(i); }, "7"},
      {"K=99999999999", [](auto& l) { int32_t i = 7; l.ReadInt("S", "K", i, INT32_MAX, INT32_MIN); return std::to_string(i); }, "7"},
      {"K=", [](auto& l) { int32_t i = 7; l.ReadInt("S", "K", i, 100, 0); return std::to_string(i); }, "7"},
      {"K=+-4", [](auto& l) { int32_t i = 7; l.ReadInt("S", "K", i, 100, -100); return std::to_string(i); }, "7"},
      {"K=0x10", [](auto& l) { int32_t i = 7; l.ReadInt("S", "K", i, 100, 0); return std::to_string(i); }, "7"},
      {"K=abc", [](auto& l) { std::string t = "v"; l.ReadText("S", "K", t, false, 31); return t; }, "abc"},
      {"K=0123456789012345678901234567890123456789", [](auto& l) { std::string t = "v"; l.ReadText("S", "K", t, false, 31); return t; }, "v"},
      {"K=", [](auto& l) { std::string t = "v"; l.ReadText("S", "K", t, false, 31); return t; }, "v"},
      {"K=", [](auto& l) { std::string t = "v"; l.ReadText("S", "K", t, true, 31); return t; }, ""},
      {"K=  padded value  ", [](auto& l) { std::string t; l.ReadText("S", "K", t, false, 99); return t; }, "padded value"},
      {"K=a=b", [](auto& l) { std::string t; l.ReadText("S", "K", t, false, 99); return t; }, "a=b"},
      {"", [](auto& l) { std::string t = "v"; l.ReadText("S", "K", t, true, 99); return t; }, "v"},
      {"K=red", [](auto& l) { uint32_t c = 1; l.ReadColor("S", "K", c); return std::to_string(c); }, "210"},
      {"K=LIGHT BLUE", [](auto& l) { uint32_t c = 1; l.ReadColor("S", "K", c); return std::to_string(c); }, "13107200"},
      {"K=$0080FF", [](auto& l) { uint32_t c = 1; l.ReadColor("S", "K", c); return std::to_string(c); }, "33023"},
      {"K=255", [](auto& l) { uint32_t c = 1; l.ReadColor("S", "K", c); return std::to_string(c); }, "255"},
      {"K=Crimson", [](auto& l) { uint32_t c = 1; l.ReadColor("S", "K", c); return std::to_string(c); }, "1"},
      {"K=-5", [](auto& l) { uint32_t c = 1; l.ReadColor("S", "K", c); return std::to_string(c); }, "1"},
      {"", [](auto& l) { uint32_t c = 1; l.ReadColor("S", "K", c); return std::to_string(c); }, "1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Stored);
    EXPECT_EQ(c.Read(From(std::string("[S]\n") + c.Stored + "\n")), c.Expected);
  }
}

TEST_F(StoredTextListTest, BadColorFailsInTheCallersContext) {
  From("[S]\nK=Crimson\n");
  uint32_t color = 5;
  List.ReadColor("S", "K", color);
  EXPECT_EQ(FunStatContext.Status, fsError);
  EXPECT_EQ(FunStatContext.Parameter1, "Crimson");
  EXPECT_EQ(color, 5u);
  List.ReadColor("S", "Missing", color);
  EXPECT_EQ(FunStatContext.Status, fsPerfect);
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(StoredTextListTest, LineEndsBomCommentsAndCaseOnReading) {
  From(ReadFileBytes(CORVANTIDE_FIXTURES "/storage/foreign.ini"));
  int32_t width = 0;
  List.ReadInt("MAIN", "width", width, 10000, 0);
  EXPECT_EQ(width, 640);
  std::string name;
  List.ReadText("main", "NAME", name, false, 100);
  EXPECT_EQ(name, "Ann Lee");
  uint32_t back = 0, fore = 0;
  List.ReadColor("Colors", "Back", back);
  List.ReadColor("Colors", "Fore", fore);
  EXPECT_EQ(back, 0xC80000u);
  EXPECT_EQ(fore, 0x0080FFu);
  std::vector<std::string> items;
  List.ReadList("lists", items, 0);
  EXPECT_EQ(items, (std::vector<std::string>{"/home/ann/a b.txt", "/tmp/x"}));
  // Written back in the file's order, with LF, without BOM and comments.
  EXPECT_EQ(List.Ini().Text(), "[Main]\nWidth=640\nName=Ann Lee\n\n"
                               "[colors]\nBack=Light Blue\nFore=$0080FF\n\n"
                               "[Lists]\nCount=2\n0=/home/ann/a b.txt\n1=/tmp/x\n\n");
}

TEST_F(StoredTextListTest, ParseKeepsFirstOfRepeatsAndIgnoresStrayLines) {
  From("orphan=1\n[A]\nk=1\nno equals sign\n=empty key\nK=2\n[B]\nx=1\n[a]\nj=3\n");
  EXPECT_EQ(List.Ini().Text(), "[A]\nk=1\nj=3\n\n[B]\nx=1\n\n");
}

TEST_F(StoredTextListTest, WriteReplacesInPlaceMergesIntoSectionsAndAppendsNewOnes) {
  From("[First]\nA=1\nB=2\n\n[Second]\nC=3\n");
  List.WriteInt("first", "b", 20);    // replaced where it stands, original spelling kept
  List.WriteText("FIRST", "New", "x"); // appended to its section, not to the file
  List.WriteBool("Third", "On", true); // a new section at the end
  List.WriteColor("Second", "Color", 0x0000D2);
  EXPECT_TRUE(List.Modified);
  EXPECT_EQ(List.Ini().Text(), "[First]\nA=1\nB=20\nNew=x\n\n"
                               "[Second]\nC=3\nColor=210\n\n"
                               "[Third]\nOn=TRUE\n\n");
}

TEST_F(StoredTextListTest, RefusedWritesLeaveTheImageAlone) {
  From("[S]\nK=old\n");
  struct {
    const char* Section;
    const char* Key;
    const char* Value;
    const char* Reason;
  } const cases[] = {
      {"S", "K", "two\nlines", "Value contains a line break."},
      {"S", "K", "carriage\rreturn", "Value contains a line break."},
      // Reading trims, so a title ending in a blank would come back changed.
      {"S", "K", "/home/ann/name ", "Value has blanks at its ends."},
      {"S", "K", "\tlead", "Value has blanks at its ends."},
      {"S", "K=", "v", "Invalid key."},
      {"S", "", "v", "Invalid key."},
      {"S", "[K", "v]", "Invalid key."},
      {"S", ";K", "v", "Invalid key."},
      {"S", " K", "v", "Invalid key."},
      {"S\n[T]", "K", "v", "Invalid key."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Value);
    List.Modified = false;
    List.WriteText(c.Section, c.Key, c.Value);
    EXPECT_EQ(FunStatContext.Status, fsError);
    EXPECT_EQ(FunStatContext.Description, c.Reason);
    EXPECT_FALSE(List.Modified);
    EXPECT_EQ(List.Ini().Text(), "[S]\nK=old\n\n");
  }
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(StoredTextListTest, ListsEdgeCases) {
  std::vector<std::string> items{"keep"};
  From("[L]\nCount=7\n0=a\n1=b\n2=c\n3=d\n4=e\n5=f\n6=g\n").ReadList("L", items, 5);
  EXPECT_EQ(items, (std::vector<std::string>{"a", "b", "c", "d", "e"}));
  ASSERT_EQ(Ui.Boxes.size(), 1u);
  EXPECT_EQ(Ui.Boxes[0].Text, "Too many items in the list (7)");

  From("[L]\nCount=3\n0=a\n1=\n2=c\n").ReadList("L", items, 5);
  EXPECT_EQ(items, (std::vector<std::string>{"a", "c"}));

  for (const char* bad : {"Count=-2\n0=a\n", "Count=two\n0=a\n", "0=a\n"}) {
    From(std::string("[L]\n") + bad).ReadList("L", items, 0);
    EXPECT_TRUE(items.empty()) << bad;
  }

  // A corrupt count returns at once, reading only the keys that exist.
  const auto start = std::chrono::steady_clock::now();
  From("[L]\nCount=2147483647\n0=a\n1=b\n").ReadList("L", items, 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_EQ(items, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(Ui.Boxes.size(), 1u);
}

TEST_F(StoredTextListTest, WriteListReplacesTheOldListEntirely) {
  From("[L]\nCount=3\n0=a\n1=b\n2=c\nOther=x\n");
  // One item the file cannot hold refuses the list; nothing moves up into its place.
  List.Modified = false;
  List.WriteList("L", {"p", "two\nlines", "q"});
  EXPECT_EQ(FunStatContext.Status, fsError);
  EXPECT_EQ(FunStatContext.Description, "Value contains a line break.");
  EXPECT_EQ(FunStatContext.Parameter2, "1");
  EXPECT_FALSE(List.Modified);
  EXPECT_EQ(List.Ini().Text(), "[L]\nCount=3\n0=a\n1=b\n2=c\nOther=x\n\n");

  List.WriteList("L", {"p", "q"});
  EXPECT_EQ(FunStatContext.Status, fsPerfect);
  EXPECT_EQ(List.Ini().Text(), "[L]\nCount=2\n0=p\n1=q\nOther=x\n\n");

  List.WriteList("L", {});
  EXPECT_EQ(List.Ini().Text(), "[L]\nOther=x\n\n");
  std::vector<std::string> items{"stale"};
  List.ReadList("L", items, 0);
  EXPECT_TRUE(items.empty());

  List.WriteList("New", {});
  EXPECT_EQ(List.Ini().FindSection("New"), nullptr);
  List.WriteList("New", {"x", "y"});
  List.ReadList("new", items, 0);
  EXPECT_EQ(items, (std::vector<std::string>{"x", "y"}));
}

TEST_F(StoredTextListTest, SaveReportsARefusedValueOnce) {
  struct {
    const char* Name;
    std::function<void(TStoredTextList&)> Write;
    const char* Reason;
  } const cases[] = {
      {"value", [](TStoredTextList& l) { l.WriteText("S", "K", "two\nlines"); },
       "Value contains a line break."},
      {"list item", [](TStoredTextList& l) { l.WriteList("L", {"a", " b"}); },
       "Value has blanks at its ends."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    Ui.Errors.clear();
    From("[S]\nK=old\n\n[L]\nCount=1\n0=x\n");
    List.OnSave = [&](TStoredTextList& l) {
      c.Write(l);
      l.WriteInt("S", "Other", 1);
    };
    EXPECT_FALSE(List.Save(false));
    // Written without the refused value, which keeps its old one.
    EXPECT_EQ(ReadFileBytes(Title), "[S]\nK=old\nOther=1\n\n[L]\nCount=1\n0=x\n\n");
    ASSERT_EQ(Ui.Errors.size(), 1u);
    EXPECT_EQ(Ui.Errors[0].Description, "Failed to save file.");
    EXPECT_NE(Ui.Errors[0].Report.find(std::string("* Description: \"") + c.Reason + "\""),
              std::string::npos)
        << Ui.Errors[0].Report;
    List.OnSave = nullptr;
    EXPECT_TRUE(List.Save(false));
    EXPECT_EQ(Ui.Errors.size(), 1u);
  }
}

// The main window starts its image afresh before writing: a refused value
// must still keep the one the file had.
TEST_F(StoredTextListTest, RefusedWritesAfterEraseAllKeepTheStoredValues) {
  From("[S]\nK=old\n\n[L]\nCount=1\n0=x\n\n[Gone]\nA=1\n");
  List.OnSave = [&](TStoredTextList& l) {
    l.EraseAll();
    l.WriteList("L", {"a", " b"});
    l.WriteText("S", "K", "two\nlines");
    l.WriteInt("S", "Other", 1);
  };
  EXPECT_FALSE(List.Save(false));
  EXPECT_EQ(ReadFileBytes(Title), "[L]\nCount=1\n0=x\n\n[S]\nK=old\nOther=1\n\n");
  // Erasing twice still remembers the saved file, not the empty image.
  List.OnSave = [&](TStoredTextList& l) {
    l.EraseAll();
    l.EraseAll();
    l.WriteText("S", "K", " padded");
  };
  EXPECT_FALSE(List.Save(false));
  EXPECT_EQ(ReadFileBytes(Title), "[S]\nK=old\n\n");
}

TEST_F(StoredTextListTest, LoadCallsTheOwnerAndSaveWritesAtomically) {
  WriteFileBytes(Title, "[Main]\nWidth=640\n");
  int32_t width = 0;
  bool loadingSeen = false;
  List.FileName = Title;
  List.OnLoad = [&](TStoredTextList& l) {
    loadingSeen = l.Loading;
    l.ReadInt("Main", "Width", width, 10000, 0);
  };
  List.OnSave = [&](TStoredTextList& l) {
    l.EraseAll();
    l.WriteInt("Main", "Width", width);
  };
  ASSERT_TRUE(List.Load());
  EXPECT_TRUE(loadingSeen);
  EXPECT_FALSE(List.Loading);
  EXPECT_EQ(width, 640);
  width = 800;
  ASSERT_TRUE(List.Save(false));
  EXPECT_FALSE(List.Modified);
  EXPECT_EQ(ReadFileBytes(Title), "[Main]\nWidth=800\n\n");
  EXPECT_EQ(DirectoryNames(Dir.Path), std::vector<std::string>{"Corvantide.ini"});

  // A missing file is an empty list, and saving creates it.
  const std::string fresh = Dir.Path + "/fresh.ini";
  ASSERT_TRUE(List.LoadFrom(fresh));
  EXPECT_EQ(width, 800);
  ASSERT_TRUE(List.Save(false));
  EXPECT_EQ(ReadFileBytes(fresh), "[Main]\nWidth=800\n\n");
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(StoredTextListTest, OverwriteQuestionAnsweredNoLeavesTheFile) {
  From("[S]\nK=1\n");
  List.WriteInt("S", "K", 2);
  Ui.BoxAnswer = mrBoxNo;
  EXPECT_FALSE(List.Save(true));
  ASSERT_EQ(Ui.Boxes.size(), 1u);
  EXPECT_EQ(Ui.Boxes[0].Text, "File \"" + Title + "\"already exists.\nOverwrite it?");
  EXPECT_EQ(ReadFileBytes(Title), "[S]\nK=1\n");
  EXPECT_TRUE(Ui.Errors.empty());
  EXPECT_TRUE(List.Modified);
}

TEST_F(StoredTextListTest, FailedSaveKeepsTheOldFile) {
  From("[S]\nK=1\n");
  List.WriteText("S", "Long", std::string(5000, 'x'));
  bool saved = true;
  {
    test::TFileSizeLimit limit(1024);
    saved = List.Save(false);
  }
  EXPECT_FALSE(saved);
  EXPECT_EQ(ReadFileBytes(Title), "[S]\nK=1\n");
  EXPECT_EQ(DirectoryNames(Dir.Path), std::vector<std::string>{"Corvantide.ini"});
  ASSERT_EQ(Ui.Errors.size(), 1u);
  EXPECT_EQ(Ui.Errors[0].Description, "Failed to save file.");
  EXPECT_TRUE(List.Modified);
}

TEST_F(StoredTextListTest, ReadOnlyFileIsSavedAndMadeWritable) {
  From("[S]\nK=1\n");
  ASSERT_EQ(::chmod(Title.c_str(), 0444), 0);
  List.WriteInt("S", "K", 2);
  ASSERT_TRUE(List.Save(false));
  EXPECT_EQ(ReadFileBytes(Title), "[S]\nK=2\n\n");
  struct stat st {};
  ASSERT_EQ(::stat(Title.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST_F(StoredTextListTest, UnreadableFileIsMovedAsideBeforeItIsWrittenOver) {
  // Larger than a stored text list may be: a real, regular file that cannot be read.
  const int fd = ::open(Title.c_str(), O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, off_t{1} << 30), 0);
  ::close(fd);
  int loadCalls = 0, failedCalls = 0;
  List.OnLoad = [&](TStoredTextList&) { ++loadCalls; };
  List.OnLoadFailed = [&] { ++failedCalls; };
  List.OnSave = [](TStoredTextList& l) { l.WriteInt("Main", "Width", 1); };
  EXPECT_FALSE(List.LoadFrom(Title));
  EXPECT_EQ(loadCalls, 0);
  EXPECT_EQ(failedCalls, 1);
  ASSERT_EQ(Ui.Errors.size(), 1u);
  EXPECT_EQ(Ui.Errors[0].Description, "Failed to load file.");

  WriteFileBytes(Title + ".bad", "an older unreadable file");
  EXPECT_TRUE(List.Save(false));
  EXPECT_EQ(Ui.Errors.size(), 1u);
  struct stat st {};
  ASSERT_EQ(::stat((Title + ".bad").c_str(), &st), 0);
  EXPECT_EQ(st.st_size, off_t{1} << 30);
  ASSERT_EQ(::stat(Title.c_str(), &st), 0);
  ASSERT_LT(st.st_size, 100);
  EXPECT_EQ(ReadFileBytes(Title), "[Main]\nWidth=1\n\n");
  ASSERT_EQ(Ui.Boxes.size(), 1u);
  EXPECT_NE(Ui.Boxes[0].Text.find("\"" + Title + ".bad\""), std::string::npos) << Ui.Boxes[0].Text;
  EXPECT_TRUE(List.Save(false));
  EXPECT_EQ(Ui.Boxes.size(), 1u);

  // Saving elsewhere is still possible.
  EXPECT_TRUE(List.SaveAs(Dir.Path + "/copy.ini", false));
  EXPECT_EQ(ReadFileBytes(Dir.Path + "/copy.ini"), "[Main]\nWidth=1\n\n");
}

TEST_F(StoredTextListTest, PermissionDeniedOnLoad) {
  WriteFileBytes(Title, "[S]\nK=1\n");
  ASSERT_EQ(::chmod(Title.c_str(), 0), 0);
  EXPECT_EQ(test::RunUnprivileged({Dir.Path}, [&]() -> std::string {
              if (List.LoadFrom(Title)) return "an unreadable file loaded";
              if (Ui.Errors.size() != 1 || Ui.Errors[0].Description != "Failed to load file.")
                return "the load failure was not shown";
              List.WriteInt("S", "K", 2);
              if (!List.Save(false)) return "not saved";
              return "";
            }),
            "");
  EXPECT_EQ(ReadFileBytes(Title + ".bad"), "[S]\nK=1\n");
  EXPECT_EQ(ReadFileBytes(Title), "[S]\nK=2\n\n");
}

TEST_F(StoredTextListTest, SaveNeedsAnImageAndSaveAsMakesOne) {
  TStoredTextList list(Title);
  list.WriteInt("S", "K", 1);
  EXPECT_FALSE(list.Save(false));
  ASSERT_EQ(Ui.Errors.size(), 1u);
  EXPECT_EQ(Ui.Errors[0].Description, "Failed to save file.");

  // SaveAs starts from the file that is there, keeping what the owner does not write.
  const std::string other = Dir.Path + "/other.ini";
  WriteFileBytes(other, "[Keep]\nA=1\n");
  TStoredTextList fresh;
  fresh.OnSave = [](TStoredTextList& l) { l.WriteInt("S", "K", 2); };
  EXPECT_TRUE(fresh.SaveAs(other, false));
  EXPECT_EQ(ReadFileBytes(other), "[Keep]\nA=1\n\n[S]\nK=2\n\n");
}

TEST_F(StoredTextListTest, ExceptionInTheOwnerEventFailsTheLoad) {
  WriteFileBytes(Title, "[S]\nK=1\n");
  int failedCalls = 0;
  List.OnLoad = [](TStoredTextList&) { throw std::runtime_error("bad owner"); };
  List.OnLoadFailed = [&] { ++failedCalls; };
  EXPECT_FALSE(List.LoadFrom(Title));
  EXPECT_FALSE(List.Loading);
  EXPECT_EQ(failedCalls, 1);
  ASSERT_EQ(Ui.Errors.size(), 1u);
  EXPECT_NE(Ui.Errors[0].Report.find("Unhandled exception: bad owner"), std::string::npos);
  // The file was read, but what the owner missed in it is kept aside.
  List.OnLoad = nullptr;
  EXPECT_TRUE(List.Save(false));
  EXPECT_EQ(ReadFileBytes(Title + ".bad"), "[S]\nK=1\n");
}

} // namespace
} // namespace cv
