#include "filesystem/SpecialLocations.h"

#include "FileTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <sys/stat.h>

namespace cv {
namespace {

// Sets environment variables for one test and restores them.
class TEnvironment {
public:
  ~TEnvironment() {
    for (const auto& [name, old] : Saved) {
      if (old.second) ::setenv(name.c_str(), old.first.c_str(), 1);
      else ::unsetenv(name.c_str());
    }
  }
  void Set(const std::string& name, const char* value) {
    if (!Saved.count(name)) {
      const char* old = std::getenv(name.c_str());
      Saved[name] = {old ? old : "", old != nullptr};
    }
    if (value) ::setenv(name.c_str(), value, 1);
    else ::unsetenv(name.c_str());
  }

private:
  std::map<std::string, std::pair<std::string, bool>> Saved;
};

size_t EntriesBelow(const std::string& path) {
  size_t count = 0;
  for (auto it = std::filesystem::recursive_directory_iterator(path);
       it != std::filesystem::recursive_directory_iterator(); ++it)
    ++count;
  return count;
}

class SpecialLocationsTest : public ::testing::Test {
protected:
  void SetUp() override {
    Home = Dir.Path + "/home";
    std::filesystem::create_directories(Home);
    Env.Set("HOME", Home.c_str());
    Env.Set("XDG_CONFIG_HOME", CORVANTIDE_FIXTURES "/filesystem/xdg-config");
    Env.Set("XDG_DATA_HOME", (Dir.Path + "/data").c_str());
    Env.Set("XDG_CACHE_HOME", (Dir.Path + "/cache").c_str());
  }
  test::TTempDir Dir;
  TEnvironment Env;
  std::string Home;
};

TEST_F(SpecialLocationsTest, UserDirectoriesFromUserDirsFile) {
  EXPECT_EQ(GetSystemDirectoryPath(sfDesktop), Home + "/Schreibtisch/"); // the last line wins
  EXPECT_EQ(GetSystemDirectoryPath(sfDocuments), Home + "/My \"Docs\" $x/");
  EXPECT_EQ(GetSystemDirectoryPath(sfMusic), "/srv/music/");
  EXPECT_EQ(GetSystemDirectoryPath(sfPictures), Home + "/");
  EXPECT_EQ(GetSystemDirectoryPath(sfVideos), Home + "/Videos/"); // a relative value is refused
  EXPECT_EQ(GetSystemDirectoryPath(sfSharedDocuments), Home + "/\xC3\x96" "ffentlich/");
  EXPECT_EQ(GetUserDirectory("XDG_DOWNLOAD_DIR", "Downloads"), Home + "/Downloads/");
}

TEST_F(SpecialLocationsTest, XdgAndSystemLocations) {
  EXPECT_EQ(GetSystemDirectoryPath(sfProgramLinks), Dir.Path + "/data/applications/");
  EXPECT_EQ(GetSystemDirectoryPath(sfApplicationData), Dir.Path + "/data/");
  EXPECT_EQ(GetSystemDirectoryPath(sfFonts), Dir.Path + "/data/fonts/");
  EXPECT_EQ(GetSystemDirectoryPath(sfInternetCache), Dir.Path + "/cache/");
  EXPECT_EQ(GetSystemDirectoryPath(sfStartup),
            std::string(CORVANTIDE_FIXTURES "/filesystem/xdg-config/autostart/"));
  EXPECT_EQ(GetSystemDirectoryPath(sfSharedProgramLinks), "/usr/share/applications/");
  EXPECT_EQ(GetSystemDirectoryPath(sfSharedStartup), "/etc/xdg/autostart/");
  EXPECT_EQ(GetSystemDirectoryPath(sfProgramFiles), "/opt/");
  EXPECT_EQ(GetOperatorPath(), "/etc/");
  EXPECT_EQ(GetSystemPath(), "/usr/bin/");
  EXPECT_EQ(GetHostsTitle(), "/etc/hosts"); // a file title
  for (const int none : std::initializer_list<int>{sfFavorites, sfSharedFavorites, sfRecent, sfCookies,
                                                   sfSharedDesktop, 0, 999})
    EXPECT_EQ(GetSystemDirectoryPath(none), "") << none;
  EXPECT_EQ(GetQuickLaunchPath(), "");
  const std::string temp = GetTempPathA();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), '/');

  // Unset or relative XDG variables fall back to the home directory.
  Env.Set("XDG_DATA_HOME", nullptr);
  Env.Set("XDG_CACHE_HOME", "relative/cache");
  Env.Set("XDG_CONFIG_HOME", nullptr);
  EXPECT_EQ(GetSystemDirectoryPath(sfApplicationData), Home + "/.local/share/");
  EXPECT_EQ(GetSystemDirectoryPath(sfInternetCache), Home + "/.cache/");
  EXPECT_EQ(GetSystemDirectoryPath(sfStartup), Home + "/.config/autostart/");
  EXPECT_EQ(GetSystemDirectoryPath(sfDesktop), Home + "/Desktop/");
}

TEST_F(SpecialLocationsTest, ReadingCreatesNothing) {
  const size_t before = EntriesBelow(Dir.Path);
  const std::vector<TSystemLocation> locations = GetSystemLocations();
  for (const int id : {sfDesktop, sfDocuments, sfMusic, sfPictures, sfVideos, sfSharedDocuments,
                       sfProgramLinks, sfStartup, sfFonts, sfInternetCache, sfApplicationData})
    EXPECT_FALSE(GetSystemDirectoryPath(id).empty());
  EXPECT_EQ(EntriesBelow(Dir.Path), before);
  EXPECT_FALSE(std::filesystem::exists(Dir.Path + "/data"));
  EXPECT_FALSE(std::filesystem::exists(CORVANTIDE_FIXTURES "/filesystem/xdg-config/autostart"));
}

TEST_F(SpecialLocationsTest, MenuOrderAndGroups) {
  const std::vector<TSystemLocation> locations = GetSystemLocations();
  std::vector<std::string> captions;
  for (const TSystemLocation& location : locations)
    captions.push_back(location.Group + "|" + location.Caption + (location.Title.empty() ? " -" : ""));
  const std::vector<std::string> expected = {
      "|Desktop", "|Documents", "|Favorites -", "|Music", "|Pictures", "|Program Files",
      "|Program Links", "|Recent -", "|Temporary", "|Videos",
      "Miscellaneous|Application Data", "Miscellaneous|Cookies -", "Miscellaneous|Fonts",
      "Miscellaneous|Host files", "Miscellaneous|Internet Cache", "Miscellaneous|Operating System",
      "Miscellaneous|Quick Launch -", "Miscellaneous|Startup",
      "Shared|Desktop -", "Shared|Documents", "Shared|Favorites -", "Shared|Program Links",
      "Shared|Startup"};
  EXPECT_EQ(captions, expected);
}

TEST_F(SpecialLocationsTest, ALocationIsPresentOnlyAsWhatItNames) {
  const std::string d = Dir.Path;
  std::filesystem::create_directories(d + "/dir");
  ASSERT_TRUE(test::WriteBytes(d + "/hosts", "127.0.0.1 localhost\n"));
  ASSERT_EQ(::mkfifo((d + "/fifo").c_str(), 0600), 0);
  std::filesystem::create_directory_symlink(d + "/dir", d + "/link");
  const struct {
    std::string Title;
    bool Present;
  } cases[] = {
      {"", false},
      {d + "/dir/", true},
      {d + "/link/", true},
      {d + "/missing/", false},
      {d + "/hosts", true},
      {d + "/hosts/", false}, // a file where a directory is named
      {d + "/dir", false},    // a directory where a file is named
      {d + "/fifo", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SystemLocationPresent({"", "x", c.Title}), c.Present) << c.Title;
}

} // namespace
} // namespace cv
