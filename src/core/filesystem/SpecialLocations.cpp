#include "filesystem/SpecialLocations.h"

#include "filesystem/File.h"
#include "filesystem/Partitions.h"
#include "foundation/Program.h"

#include <fstream>
#include <string_view>
#include <sys/stat.h>

namespace cv {

namespace {

std::string JoinPath(const std::string& directory, const std::string& rest) {
  std::string result = directory;
  if (result.empty() || result.back() != '/') result += '/';
  return result + rest;
}

std::string XdgHome(const char* variable, const char* fallback) {
  std::string path = AbsoluteEnvPath(variable);
  if (path.empty()) path = JoinPath(HomePath(), fallback);
  return IncludeDelimiter(path);
}

std::string DataHome() { return XdgHome("XDG_DATA_HOME", ".local/share"); }
std::string ConfigHome() { return XdgHome("XDG_CONFIG_HOME", ".config"); }
std::string CacheHome() { return XdgHome("XDG_CACHE_HOME", ".cache"); }

// A value of user-dirs.dirs: a double-quoted shell word that is "$HOME",
// "$HOME/..." or an absolute path. Empty when it is none of these.
std::string UserDirsValue(std::string_view value) {
  if (value.size() < 2 || value.front() != '"') return {};
  std::string text;
  size_t i = 1;
  for (; i < value.size() && value[i] != '"'; ++i) {
    if (value[i] == '\\' && i + 1 < value.size()) ++i;
    text += value[i];
  }
  if (i >= value.size()) return {};
  if (text == "$HOME") return HomePath();
  if (text.starts_with("$HOME/")) return JoinPath(HomePath(), text.substr(6));
  if (text.starts_with('/')) return text;
  return {};
}

} // namespace

std::string GetUserDirectory(const std::string& key, const std::string& fallbackName) {
  std::ifstream file(ConfigHome() + "user-dirs.dirs", std::ios::binary);
  std::string line, found;
  while (std::getline(file, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == '#') continue;
    std::string_view rest = std::string_view(line).substr(start);
    if (!rest.starts_with(key) || rest.size() <= key.size() || rest[key.size()] != '=') continue;
    // The last assignment wins, as when the shell reads the file.
    if (std::string value = UserDirsValue(rest.substr(key.size() + 1)); !value.empty())
      found = std::move(value);
  }
  if (found.empty()) found = JoinPath(HomePath(), fallbackName);
  return IncludeDelimiter(NormalizeTitle(found));
}

std::string GetOperatorPath() { return "/etc/"; }

std::string GetSystemPath() { return "/usr/bin/"; }

std::string GetTempPathA() { return IncludeDelimiter(GetLongTitle(TProgram::TempPath())); }

std::string GetSystemDirectoryPath(int folderId) {
  switch (folderId) {
  case sfDesktop: return GetUserDirectory("XDG_DESKTOP_DIR", "Desktop");
  case sfDocuments: return GetUserDirectory("XDG_DOCUMENTS_DIR", "Documents");
  case sfSharedDocuments: return GetUserDirectory("XDG_PUBLICSHARE_DIR", "Public");
  case sfMusic: return GetUserDirectory("XDG_MUSIC_DIR", "Music");
  case sfVideos: return GetUserDirectory("XDG_VIDEOS_DIR", "Videos");
  case sfPictures: return GetUserDirectory("XDG_PICTURES_DIR", "Pictures");
  case sfProgramLinks: return DataHome() + "applications/";
  case sfSharedProgramLinks: return "/usr/share/applications/";
  case sfProgramFiles: return "/opt/";
  case sfStartup: return ConfigHome() + "autostart/";
  case sfSharedStartup: return "/etc/xdg/autostart/";
  case sfInternetCache: return CacheHome();
  case sfFonts: return DataHome() + "fonts/";
  case sfApplicationData: return DataHome();
  default: return {}; // favourites, recent, cookies, shared desktop: none here
  }
}

std::string GetQuickLaunchPath() { return {}; }

std::string GetHostsTitle() { return "/etc/hosts"; }

std::vector<TSystemLocation> GetSystemLocations() {
  return {
      {"", "Desktop", GetSystemDirectoryPath(sfDesktop)},
      {"", "Documents", GetSystemDirectoryPath(sfDocuments)},
      {"", "Favorites", GetSystemDirectoryPath(sfFavorites)},
      {"", "Music", GetSystemDirectoryPath(sfMusic)},
      {"", "Pictures", GetSystemDirectoryPath(sfPictures)},
      {"", "Program Files", GetSystemDirectoryPath(sfProgramFiles)},
      {"", "Program Links", GetSystemDirectoryPath(sfProgramLinks)},
      {"", "Recent", GetSystemDirectoryPath(sfRecent)},
      {"", "Temporary", GetTempPathA()},
      {"", "Videos", GetSystemDirectoryPath(sfVideos)},
      {"Miscellaneous", "Application Data", GetSystemDirectoryPath(sfApplicationData)},
      {"Miscellaneous", "Cookies", GetSystemDirectoryPath(sfCookies)},
      {"Miscellaneous", "Fonts", GetSystemDirectoryPath(sfFonts)},
      {"Miscellaneous", "Host files", GetHostsTitle()},
      {"Miscellaneous", "Internet Cache", GetSystemDirectoryPath(sfInternetCache)},
      {"Miscellaneous", "Operating System", GetOperatorPath()},
      {"Miscellaneous", "Quick Launch", GetQuickLaunchPath()},
      {"Miscellaneous", "Startup", GetSystemDirectoryPath(sfStartup)},
      {"Shared", "Desktop", GetSystemDirectoryPath(sfSharedDesktop)},
      {"Shared", "Documents", GetSystemDirectoryPath(sfSharedDocuments)},
      {"Shared", "Favorites", GetSystemDirectoryPath(sfSharedFavorites)},
      {"Shared", "Program Links", GetSystemDirectoryPath(sfSharedProgramLinks)},
      {"Shared", "Startup", GetSystemDirectoryPath(sfSharedStartup)},
  };
}

bool SystemLocationPresent(const TSystemLocation& location) {
  const std::string& title = location.Title;
  if (title.empty()) return false;
  if (TitleMayHang(title)) return true;
  const bool directory = title.back() == '/';
  struct stat st {};
  if (::stat(title.c_str(), &st) != 0) return false;
  return directory ? S_ISDIR(st.st_mode) : S_ISREG(st.st_mode);
}

} // namespace cv
