#include "filesystem/Extensions.h"

#include "filesystem/File.h"
#include "foundation/StoredTextList.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace cv {
namespace {

class ExtensionsTest : public ::testing::Test {
protected:
  ExtensionsTest()
      : Saved{ProgramFileExtensions, DocumentFileExtensions, AudioFileExtensions,
              VideoFileExtensions,   TextFileExtensions,     PictureFileExtensions} {}
  ~ExtensionsTest() override {
    ProgramFileExtensions = Saved[0];
    DocumentFileExtensions = Saved[1];
    AudioFileExtensions = Saved[2];
    VideoFileExtensions = Saved[3];
    TextFileExtensions = Saved[4];
    PictureFileExtensions = Saved[5];
  }
  void SetUp() override { FunStatContext.Reset(fsPerfect); }

  // Loads the lists from a settings file with the given text.
  void LoadFrom(const std::string& text) {
    const std::string title = Dir.Path + "/Corvantide.ini";
    std::ofstream(title, std::ios::binary | std::ios::trunc) << text;
    TStoredTextList ini;
    ASSERT_TRUE(ini.LoadFrom(title));
    LoadExtensionLists(ini);
  }

  std::vector<TExtensionList> Saved;
  test::TTempDir Dir;
  test::TRecordingUserInterface Ui;
};

TEST_F(ExtensionsTest, ListIsSortedSetWithoutCase) {
  TExtensionList list;
  list.SetText(".txt\r\n.JPG\n\n .c \n.jpg\n.Txt");
  EXPECT_EQ(list.List(), (std::vector<std::string>{".c", ".JPG", ".txt"}));
  EXPECT_EQ(list.Text(), ".c\n.JPG\n.txt");
  EXPECT_TRUE(list.Contains(".jpg"));
  EXPECT_TRUE(list.Contains(".TXT"));
  EXPECT_FALSE(list.Contains(".jp"));
  EXPECT_FALSE(list.Contains(""));
  EXPECT_TRUE(list.Delete(".JpG"));
  EXPECT_FALSE(list.Delete(".jpg"));
  EXPECT_EQ(list.List(), (std::vector<std::string>{".c", ".txt"}));
  // Only ASCII letters fold.
  list.Add(".\xC3\x84");
  EXPECT_TRUE(list.Contains(".\xC3\x84"));
  EXPECT_FALSE(list.Contains(".\xC3\xA4"));
}

TEST_F(ExtensionsTest, TypeTests) {
  LoadFrom("");
  EXPECT_TRUE(IsProgramFile("/opt/tool.APPIMAGE"));
  EXPECT_FALSE(IsProgramFile("/opt/tool.AppImage.txt"));
  EXPECT_TRUE(IsDocumentFile("/a/b.JPeG"));
  EXPECT_TRUE(IsDocumentFile("archive.tar.gz"));
  EXPECT_TRUE(IsTextFile("/a/skin.cvs"));
  EXPECT_TRUE(IsAudioFile("x.mp3"));
  EXPECT_TRUE(IsVideoFile("x.AVI"));
  EXPECT_FALSE(IsVideoFile("x.mp3"));
  // ".txt" is an extension, ".bashrc" alone is a name.
  TextFileExtensions.Add(".bashrc");
  EXPECT_FALSE(IsTextFile("/home/ann/.bashrc"));
  EXPECT_TRUE(IsTextFile("/home/ann/.notes.txt"));
  EXPECT_FALSE(IsDocumentFile("/x.txt/readme"));

  // An absent or empty list makes every test on it false.
  EXPECT_FALSE(IsExtensionInList("a.png", nullptr));
  PictureFileExtensions.Clear();
  EXPECT_FALSE(IsPictureFile("a.png"));
  PictureFileExtensions.Add(".png");
  EXPECT_TRUE(IsPictureFile("a.PNG"));

  EXPECT_TRUE(IsLinkFile("/apps/editor.desktop"));
  EXPECT_TRUE(IsLnkFile("/apps/EDITOR.DESKTOP"));
  EXPECT_FALSE(IsLinkFile("/apps/editor.lnk"));
  EXPECT_FALSE(IsLinkFile("/apps/.desktop"));
  EXPECT_TRUE(IsPlayListExtension(".MPL"));
  EXPECT_FALSE(IsPlayListExtension("mpl"));
}

TEST_F(ExtensionsTest, ProgramsAreExecutableFilesOrListedExtensions) {
  LoadFrom("");
  EXPECT_EQ(ProgramFileExtensions.List(), (std::vector<std::string>{".AppImage", ".run", ".sh"}));
  const std::string executable = Dir.Path + "/tool";
  std::ofstream(executable) << "#!/bin/sh\n";
  ASSERT_EQ(::chmod(executable.c_str(), 0755), 0);
  const std::string groupOnly = Dir.Path + "/group-tool";
  std::ofstream(groupOnly) << "x";
  ASSERT_EQ(::chmod(groupOnly.c_str(), 0610), 0);
  std::ofstream(Dir.Path + "/notes") << "x";
  ASSERT_EQ(::symlink(executable.c_str(), (Dir.Path + "/link").c_str()), 0);
  ASSERT_EQ(::mkdir((Dir.Path + "/bin").c_str(), 0755), 0);
  ASSERT_EQ(::mkfifo((Dir.Path + "/fifo").c_str(), 0777), 0);
  struct Case {
    std::string title;
    bool program;
  } cases[] = {
      {executable, true},
      {groupOnly, true},          // any execute bit
      {Dir.Path + "/link", true}, // the link's target decides
      {Dir.Path + "/notes", false},
      {Dir.Path + "/bin", false},       // directories are not programs
      {Dir.Path + "/fifo", false},      // nor special files
      {Dir.Path + "/install.sh", true}, // listed extensions need no file
      {Dir.Path + "/setup.exe", false},
      {Dir.Path + "/missing", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(IsProgramFile(c.title), c.program) << c.title;
}

TEST_F(ExtensionsTest, ExpandNameFilter) {
  LoadFrom("");
  const std::string text = ExpandNameFilter("Text files");
  EXPECT_EQ(text.substr(0, 15), "*.bat;*.c;*.cpp");
  EXPECT_NE(text.back(), ';');
  EXPECT_TRUE(MatchesNameFilter("notes.TXT", text));
  EXPECT_FALSE(MatchesNameFilter("notes.doc", text));
  EXPECT_EQ(ExpandNameFilter("Audio files"),
            "*.flac;*.m4a;*.mid;*.midi;*.mp3;*.oga;*.ogg;*.opus;*.rmi;*.vqf;*.wav;*.wma");
  EXPECT_EQ(ExpandNameFilter("Video files"),
            "*.ani;*.asf;*.avi;*.m4v;*.mkv;*.mov;*.mp4;*.mpa;*.mpeg;*.mpg;*.ogv;*.webm;*.wmv");
  EXPECT_EQ(ExpandNameFilter("No backup files"), "*.exe;*.dll;*.obj;*.tds;*.tmp");
  EXPECT_EQ(ExpandNameFilter("*.h;*.cpp"), "*.h;*.cpp");
  EXPECT_EQ(ExpandNameFilter("text files"), "text files");
  // With no picture formats known the filter selects nothing, not everything.
  PictureFileExtensions.Clear();
  EXPECT_FALSE(MatchesNameFilter("photo.jpg", ExpandNameFilter("Picture files")));
  EXPECT_FALSE(MatchesNameFilter("readme", ExpandNameFilter("Picture files")));
  PictureFileExtensions.SetText(".png\n.jpg");
  EXPECT_EQ(ExpandNameFilter("Picture files"), "*.jpg;*.png");
}

TEST_F(ExtensionsTest, StoredListsReplaceDefaultsAndRoundTrip) {
  LoadFrom("[ProgramExtensions]\nCount=2\n0=.sh\n1=.AppImage\n"
           "[Viewer_TextExtensions]\nCount=0\n");
  EXPECT_TRUE(IsProgramFile("run.sh"));
  EXPECT_TRUE(IsProgramFile("tool.appimage"));
  EXPECT_FALSE(IsProgramFile("setup.exe"));
  EXPECT_TRUE(IsTextFile("a.ini")); // an empty stored list gives the default
  EXPECT_TRUE(IsDocumentFile("a.pdf"));

  DocumentFileExtensions.Delete(".pdf");
  VideoFileExtensions.Add(".mkv");
  const std::string title = Dir.Path + "/saved.ini";
  TStoredTextList ini;
  ini.OnSave = [](TStoredTextList& list) { SaveExtensionLists(list); };
  ASSERT_TRUE(ini.SaveAs(title, false));
  const std::vector<std::string> program = ProgramFileExtensions.List();
  const std::vector<std::string> document = DocumentFileExtensions.List();
  ProgramFileExtensions.Clear();
  DocumentFileExtensions.Clear();
  VideoFileExtensions.Clear();

  TStoredTextList reread;
  ASSERT_TRUE(reread.LoadFrom(title));
  LoadExtensionLists(reread);
  EXPECT_EQ(ProgramFileExtensions.List(), program);
  EXPECT_EQ(DocumentFileExtensions.List(), document);
  EXPECT_FALSE(IsDocumentFile("a.pdf"));
  EXPECT_TRUE(IsVideoFile("a.MKV"));
  EXPECT_TRUE(Ui.Errors.empty());
}

} // namespace
} // namespace cv
