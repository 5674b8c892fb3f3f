#pragma once
// The play-lists (".mpl" files or directories) played lately, oldest first,
// each with the file that was playing and where, for the "MPLs" menu.

#include <cstdint>
#include <string>
#include <vector>

namespace cv {

class TStoredTextList;

struct TLastPlayedEntry {
  std::string Title;
  std::string ResumeTitle;
  int32_t ResumePosition = 0;
  bool operator==(const TLastPlayedEntry&) const = default;
};

class TLastPlayedMPL {
public:
  static constexpr int MaxCount = 30;

  // Makes `title` the newest entry, keeping the resume point it had; the
  // oldest entry goes when the list is full. The new index, or -1 when the
  // title is refused (empty) or already the newest.
  int Add(const std::string& title);
  void Remove(const std::string& title);
  // The resume point of the entry `title`; nothing when it is not listed.
  void SetLastPlayed(const std::string& title, const std::string& resumeTitle, int64_t position);
  const TLastPlayedEntry* Find(const std::string& title) const;

  void Load(const TStoredTextList& ini);
  void Save(TStoredTextList& ini) const;

  std::vector<TLastPlayedEntry> Entries;
};

} // namespace cv
