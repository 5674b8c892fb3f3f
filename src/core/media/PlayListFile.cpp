#include "media/PlayListFile.h"

#include "filesystem/File.h"
#include "filesystem/FileHandles.h"
#include "foundation/Guard.h"

#include <cerrno>

namespace cv {

namespace {
constexpr uint64_t CMaxPlayListSize = 16u << 20;
}

std::vector<std::string> ParsePlayList(std::string_view text, const std::string& directory) {
  // Editors may start a UTF-8 file with a byte order mark.
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  std::vector<std::string> items;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.empty()) continue;
    items.push_back(line.front() == '/' ? std::string(line) : directory + std::string(line));
  }
  return items;
}

bool ReadPlayListFile(const std::string& title, std::vector<std::string>& items) {
  TGuard guard("ReadPlayListFile");
  return guard.Run(false, [&] {
    items.clear();
    TFileHandle file;
    if (const int error = OpenRegularForReading(title, true, file))
      guard.Raise("Failed to open the play-list.", title, {}, static_cast<uint32_t>(error));
    std::string text;
    if (const int error = ReadAll(file.Get(), CMaxPlayListSize + 1, text))
      guard.Raise("Failed to read the play-list.", title, {}, static_cast<uint32_t>(error));
    if (text.size() > CMaxPlayListSize) guard.Raise("The play-list is too big.", title, {}, EFBIG);
    items = ParsePlayList(text, GetTitlePath(title));
    return true;
  });
}

} // namespace cv
