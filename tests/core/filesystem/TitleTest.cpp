#include "filesystem/File.h"
#include "foundation/Program.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cv {
namespace {

struct TTextCase {
  std::string Input, Expected;
};

void ExpectTable(const char* what, std::string (*helper)(std::string_view),
                 const std::vector<TTextCase>& cases) {
  for (const TTextCase& c : cases)
    EXPECT_EQ(helper(c.Input), c.Expected) << what << "(\"" << c.Input << "\")";
}

TEST(TitleTest, DelimiterHelpers) {
  ExpectTable("IncludeDelimiter", IncludeDelimiter,
              {{"", ""},
               {"/", "/"},
               {"/home", "/home/"},
               {"/home/", "/home/"},
               {":/", "/"},
               {":/home", "/home/"},
               {":/media/ann/STICK", "/media/ann/STICK/"}});
  ExpectTable("ExcludeDelimiter", ExcludeDelimiter,
              {{"", ""},
               {"/", ":/"}, // leaving the root reaches the partitions list
               {"//", ":/"},
               {"/home/", "/home"},
               {"/home//", "/home"},
               {"/home", "/home"},
               {":/", ":/"},
               {":/home/", ":/home"},
               {":/home", ":/home"}});
}

TEST(TitleTest, PartitionTitles) {
  for (const char* yes : {":/", ":/home", ":/media/a b"}) EXPECT_TRUE(IsPartitionTitle(yes)) << yes;
  for (const char* no : {"", ":", "/", "/:/x", "::/", "home:/"}) EXPECT_FALSE(IsPartitionTitle(no)) << no;
  EXPECT_EQ(PartitionTitleToPath(":/"), "/");
  EXPECT_EQ(PartitionTitleToPath(":/home/"), "/home");
  EXPECT_EQ(PathToPartitionTitle("/"), ":/");
  EXPECT_EQ(PathToPartitionTitle("/mnt/x/"), ":/mnt/x");
}

TEST(TitleTest, PathAndNameParts) {
  ExpectTable("GetTitlePath", GetTitlePath,
              {{"/home/ann", "/home/"},
               {"/home/ann/", "/home/ann/"},
               {"/home", "/"},
               {"/", "/"},
               {":/home", ""}, // the parent of a partition is the partitions list
               {":/", ""},
               {"name", ""},
               {"", ""}});
  ExpectTable("GetTitleName", GetTitleName,
              {{"/home/ann", "ann"},
               {"/home/ann/", ""},
               {"/", ""},
               {":/home", ":/home"},
               {":/home/", ":/home"},
               {":/", ":/"},
               {"name", "name"}});
  // Going up: "/home/" -> "/" -> the partition ":/" -> the partitions list.
  EXPECT_EQ(GetTitlePath(ExcludeDelimiter("/home/")), "/");
  EXPECT_EQ(ExcludeDelimiter("/"), ":/");
  EXPECT_EQ(GetTitlePath(ExcludeDelimiter("/")), "");
}

TEST(TitleTest, Extensions) {
  ExpectTable("GetExtension", GetExtension,
              {{"a.tar.gz", ".gz"},
               {"/x/A.TXT", ".TXT"},
               {".bashrc", ""}, // a leading dot starts no extension
               {"/x/.bashrc", ""},
               {"/x/.hidden.txt", ".txt"},
               {"/x.d/file", ""},
               {"noext", ""},
               {"a.", "."},
               {"..a", ".a"},
               {":/media/a.b", ""},
               {"/x/\xFF\xFE.\xE4xt", ".\xE4xt"}});
  ExpectTable("GetExtensionNoDot", GetExtensionNoDot,
              {{"a.tar.gz", "gz"}, {"noext", ""}, {"a.", ""}, {".bashrc", ""}});
}

TEST(TitleTest, CutFirstDirectory) {
  std::string path = "a/b/c";
  EXPECT_EQ(CutFirstDirectory(path), "a");
  EXPECT_EQ(path, "b/c");
  EXPECT_EQ(CutFirstDirectory(path), "b");
  EXPECT_EQ(CutFirstDirectory(path), "c");
  EXPECT_EQ(path, "");
  path = "last/";
  EXPECT_EQ(CutFirstDirectory(path), "last");
  EXPECT_EQ(path, "");
}

TEST(TitleTest, NormalizeIsLexicalAndKeepsTrailingDelimiter) {
  ExpectTable("NormalizeTitle", NormalizeTitle,
              {{"", ""},
               {"/", "/"},
               {"/a/./b/../c", "/a/c"},
               {"/a//b/", "/a/b/"},
               {"/a/b/..", "/a"},
               {"/a/b/../", "/a/"},
               {"/..", "/"},
               {"/../../x", "/x"},
               {"/a/.", "/a"},
               {"/Data/x", "/Data/x"}, // case is kept
               {":/", ":/"},
               {":/home/", ":/home"},
               {":/media/../home", ":/home"},
               {"/\xFF\xFE/./\x80", "/\xFF\xFE/\x80"}});
  const std::string current = TProgram::CurrentDirectory();
  ASSERT_FALSE(current.empty());
  EXPECT_EQ(NormalizeTitle("x/../y/"), (current == "/" ? "" : current) + "/y/");
  EXPECT_EQ(GetFullTitle("/a/../b"), "/b");
  EXPECT_EQ(GetLongTitle("/a/PROGRA~1"), "/a/PROGRA~1"); // "~" is an ordinary byte here
}

TEST(TitleTest, InvalidCharactersAreOnlyNulCrLf) {
  EXPECT_FALSE(HasInvalidTitleCharacters("/a<b>c|d\"e*f?g:h\\i"));
  EXPECT_FALSE(HasInvalidTitleCharacters("/\xFF\xFE"));
  EXPECT_TRUE(HasInvalidTitleCharacters("/a\rb"));
  EXPECT_TRUE(HasInvalidTitleCharacters("/a\nb"));
  EXPECT_TRUE(HasInvalidTitleCharacters(std::string("/a\0b", 4)));

  EXPECT_TRUE(AreValidTitles({"/a*", "/b?", ":/home"}));
  EXPECT_TRUE(AreValidTitles({}));
  EXPECT_FALSE(AreValidTitles({"/a", "relative"}));
  EXPECT_FALSE(AreValidTitles({"/a", "/b\n"}));
  EXPECT_FALSE(AreValidTitles({""}));
}

struct TInDirectoryCase {
  std::string Directory, Title;
  bool Expected;
};

TEST(TitleTest, IsTitleInDirectoryIsByteExact) {
  const TInDirectoryCase cases[] = {
      {"/a", "/ab", false},
      {"/a", "/a", true},
      {"/a", "/a/b", true},
      {"/a/", "/a/b", true},
      {"/a/", "/a", false},
      {"/A", "/a/b", false}, // "A" and "a" are two directories
      {"/a", "/A/b", false},
      {"", "/a", false},
      {"/a", "", false},
      {"/", "/x", true},
      {":/", "/x/y", true},
      {":/home", "/home/ann", true},
      {":/home", "/homes", false},
      {"/", ":/home", true},
      {"/a/b", "/a/b/../c", false}, // the title leaves the directory
      {"/a/./b", "/a/b/c", true},
      {"/\xFF", "/\xFF\xFE", false},
      {"/\xFF", "/\xFF/\xFE", true},
  };
  for (const TInDirectoryCase& c : cases)
    EXPECT_EQ(IsTitleInDirectory(c.Directory, c.Title), c.Expected)
        << "\"" << c.Directory << "\" holds \"" << c.Title << "\"";
}

TEST(TitleTest, LongTitlesStayWhole) {
  std::string title;
  while (title.size() < 4200) title += "/" + std::string(200, 'd');
  title += "/file.txt";
  EXPECT_EQ(NormalizeTitle(title), title);
  EXPECT_EQ(GetTitleName(title), "file.txt");
  EXPECT_EQ(GetTitlePath(title) + "file.txt", title);
  EXPECT_EQ(ExcludeDelimiter(title + "/"), title);
  EXPECT_TRUE(IsTitleInDirectory(GetTitlePath(title), title));
  EXPECT_FALSE(IsTitleInDirectory(title.substr(0, 4096), title)); // cuts inside a name
}

TEST(TitleTest, FoldingTouchesAsciiLettersOnly) {
  EXPECT_EQ(FoldAsciiCase("AbC.TXT\xC3\x84"), "abc.txt\xC3\x84");
  EXPECT_TRUE(SameTextFolded(".JPG", ".jpg"));
  EXPECT_FALSE(SameTextFolded(".\xC3\x84", ".\xC3\xA4"));
  EXPECT_FALSE(SameTextFolded(".jp", ".jpg"));
}

} // namespace
} // namespace cv
