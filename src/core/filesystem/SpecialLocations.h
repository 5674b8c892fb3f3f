#pragma once
// The system's special locations. Every getter returns a directory title
// with a trailing "/" (the hosts file is a file title), or empty text where
// the location has no counterpart here. Reading a location never creates it.

#include <string>
#include <vector>

namespace cv {

// The folder ids that callers ask `GetSystemDirectoryPath` for.
enum TShellFolder : int {
  sfProgramLinks = 2,
  sfDocuments = 5,
  sfFavorites = 6,
  sfStartup = 7,
  sfRecent = 8,
  sfMusic = 13,
  sfVideos = 14,
  sfDesktop = 16,
  sfFonts = 20,
  sfSharedProgramLinks = 23,
  sfSharedStartup = 24,
  sfSharedDesktop = 25,
  sfApplicationData = 26,
  sfSharedFavorites = 31,
  sfInternetCache = 32,
  sfCookies = 33,
  sfProgramFiles = 38,
  sfPictures = 39,
  sfSharedDocuments = 46,
};

// The operating system's configuration directory.
std::string GetOperatorPath();
// Where the system's programs are.
std::string GetSystemPath();
std::string GetTempPathA();
std::string GetSystemDirectoryPath(int folderId);
std::string GetQuickLaunchPath();
// A file title.
std::string GetHostsTitle();

// A user directory of user-dirs.dirs ("XDG_DESKTOP_DIR", ...), or
// $HOME/`fallbackName` when the file does not name it.
std::string GetUserDirectory(const std::string& key, const std::string& fallbackName);

// One item of the "System locations" menu; an empty title disables it.
struct TSystemLocation {
  std::string Group; // "", "Miscellaneous" or "Shared"
  std::string Caption;
  std::string Title;
};
// The menu's items in their order.
std::vector<TSystemLocation> GetSystemLocations();
// The location is there to go to: a directory (or the hosts file) that
// exists. One on a share that may not answer counts as there: asking could
// stall the menu, and going there runs off the window thread.
bool SystemLocationPresent(const TSystemLocation& location);

} // namespace cv
