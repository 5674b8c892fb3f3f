// Parses arbitrary bytes as a stored text list. Writing the image must be a
// fixed point of parsing, every entry must be found again, and values written
// through the typed writers must come back, or be refused leaving the old
// ones and failing the save.

#include "FuzzSupport.h"

#include "foundation/Error.h"
#include "foundation/StoredTextList.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string title = cv::fuzz::FuzzDirectory() + "list.ini";
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const cv::TIniImage image = cv::TIniImage::Parse(text);
  const std::string written = image.Text();
  if (cv::TIniImage::Parse(written).Text() != written) std::abort();
  for (const cv::TIniSection& section : image.Sections())
    for (const cv::TIniEntry& entry : section.Entries) {
      const std::string* found = image.Find(section.Name, entry.Key);
      if (!found || *found != entry.Value) std::abort();
    }

  if (std::FILE* file = std::fopen(title.c_str(), "wb")) {
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
  }
  cv::TStoredTextList list;
  if (!list.LoadFrom(title)) std::abort();
  std::vector<std::string> items;
  for (const cv::TIniSection& section : image.Sections()) {
    list.ReadList(section.Name, items, 0);
    list.ReadList(section.Name, items, 3);
    for (const cv::TIniEntry& entry : section.Entries) {
      int32_t i = 0;
      bool b = false;
      uint32_t c = 0;
      std::string t;
      list.ReadInt(section.Name, entry.Key, i, INT32_MAX, INT32_MIN);
      list.ReadBool(section.Name, entry.Key, b);
      list.ReadColor(section.Name, entry.Key, c);
      list.ReadText(section.Name, entry.Key, t, true, 4096);
    }
  }

  // Input halves as a section, a key and a value for the writers.
  const std::string_view rest = text.substr(text.size() / 2);
  const std::string sectionName(rest.substr(0, rest.size() / 3));
  const std::string key(rest.substr(rest.size() / 3, rest.size() / 3));
  const std::string value(rest.substr(2 * (rest.size() / 3)));
  list.WriteText(sectionName, key, value);
  const bool accepted = cv::FunStatContext.Status == cv::fsPerfect;
  const std::vector<std::string> listItems{value, key, sectionName};
  std::vector<std::string> before;
  list.ReadList(sectionName + "L", before, 0);
  list.WriteList(sectionName + "L", listItems);
  const bool listAccepted = cv::FunStatContext.Status == cv::fsPerfect;
  std::vector<std::string> after;
  list.ReadList(sectionName + "L", after, 0);
  std::vector<std::string> expected;
  for (const std::string& item : listItems)
    if (!item.empty()) expected.push_back(item);
  if (after != (listAccepted ? expected : before)) std::abort();
  if (list.Save(false) != (accepted && listAccepted)) std::abort();

  cv::TStoredTextList again;
  if (!again.LoadFrom(title)) std::abort();
  // Values are trimmed on reading, so compare with the image as a reader sees it.
  if (again.Ini().Text() != cv::TIniImage::Parse(list.Ini().Text()).Text()) std::abort();
  if (accepted) {
    std::string read = "\x01unset";
    again.ReadText(sectionName, key, read, true, INT32_MAX);
    if (read != TrimBlanks(value)) std::abort();
  }
  return 0;
}
