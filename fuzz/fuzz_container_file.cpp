// Reads arbitrary bytes as a container's file. The items must be exactly the
// lines a container can hold (a leading byte order mark and CR LF ends
// accepted), and what is saved must load back the same, also after an item
// the writer accepted went first. A container name set from the bytes must
// come back from the options list it is kept in.

#include "FuzzSupport.h"

#include "columns/Container.h"
#include "foundation/Error.h"
#include "foundation/StoredTextList.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

namespace {

std::vector<std::string> LinesModel(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  std::vector<std::string> lines;
  std::string line;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && text[i] != '\r' && text[i] != '\n') {
      line += text[i];
      continue;
    }
    if (cv::IsContainerTitle(line)) lines.push_back(line);
    line.clear();
    if (i + 1 < text.size() && text[i] == '\r' && text[i + 1] == '\n') ++i;
  }
  return lines;
}

std::vector<std::string> TitlesOf(const cv::TContainer& container) {
  std::vector<std::string> titles;
  for (const cv::TContainerItem& item : container.Items()) titles.push_back(item.Title);
  return titles;
}

void WriteFile(const std::string& title, std::string_view bytes) {
  std::FILE* file = std::fopen(title.c_str(), "wb");
  if (!file) std::abort();
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

// Saves and loads the container; the items must come back byte for byte.
void CheckSavedItems(cv::TContainer& container, const std::string& directory) {
  cv::FunStatContext.Reset(cv::fsPerfect);
  if (!container.Save(directory)) std::abort();
  cv::TContainer again(container.ContainerNumber);
  if (!again.Load(directory) || TitlesOf(again) != TitlesOf(container)) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& directory = cv::fuzz::FuzzDirectory();
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  cv::TContainer container(0);
  WriteFile(directory + container.FileName(), text);
  cv::FunStatContext.Reset(cv::fsPerfect);
  if (!container.Load(directory)) std::abort();
  const std::vector<std::string> titles = TitlesOf(container);
  if (titles != LinesModel(text)) std::abort();
  CheckSavedItems(container, directory);

  // The first half as a title put first, refused only when no container title.
  const std::string first(text.substr(0, size / 2));
  const int index = container.InsertItem(0, first);
  if ((index == 0) != cv::IsContainerTitle(first) || (index != 0 && index != -1)) std::abort();
  CheckSavedItems(container, directory);

  // The bytes as a container name, through the options list.
  const std::string listTitle = directory + "names.ini";
  const std::string empty = directory + "empty/";
  ::mkdir(empty.c_str(), 0700);
  WriteFile(listTitle, {});
  cv::TContainerSet set(empty);
  set.Container(1).SetName(text);
  const std::string name = set.Container(1).Name();
  if (name.find_first_of("\r\n") != std::string::npos) std::abort();
  cv::TStoredTextList list;
  cv::FunStatContext.Reset(cv::fsPerfect);
  if (!list.LoadFrom(listTitle)) std::abort();
  set.WriteNames(list);
  const bool written = cv::FunStatContext.Status == cv::fsPerfect;
  if (!list.Save(false)) {
    if (written) std::abort();
    return 0;
  }
  cv::TStoredTextList readList;
  if (!readList.LoadFrom(listTitle)) std::abort();
  cv::TContainerSet readSet(empty);
  readSet.ReadNames(readList);
  if (readSet.Container(1).Name() != name) std::abort();
  return 0;
}
