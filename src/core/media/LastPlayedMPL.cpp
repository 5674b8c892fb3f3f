#include "media/LastPlayedMPL.h"

#include "foundation/StoredTextList.h"

#include <algorithm>
#include <climits>

namespace cv {

namespace {

constexpr const char* CTitles = "LastPlayedMPL_MPL";
constexpr const char* CResumeTitles = "LastPlayedMPL_LastTitle";
constexpr const char* CPositions = "LastPlayedMPL_LastPosition";
// Titles here are paths: the longest one the kernel takes.
constexpr int32_t CMaxTitle = 4096;

// A line of the ini file cannot carry line breaks or blanks at its ends:
// such a title is played but not remembered.
bool Storable(const std::string& text) {
  if (text.find_first_of("\r\n") != std::string::npos) return false;
  const auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  return text.empty() || (!blank(text.front()) && !blank(text.back()));
}

} // namespace

int TLastPlayedMPL::Add(const std::string& title) {
  if (title.empty()) return -1;
  if (!Entries.empty() && Entries.back().Title == title) return -1;
  TLastPlayedEntry entry{.Title = title};
  const auto old = std::find_if(Entries.begin(), Entries.end(),
                                [&](const TLastPlayedEntry& e) { return e.Title == title; });
  if (old != Entries.end()) {
    entry = std::move(*old);
    Entries.erase(old);
  }
  while (Entries.size() >= static_cast<size_t>(MaxCount))
    Entries.erase(Entries.begin());
  Entries.push_back(std::move(entry));
  return static_cast<int>(Entries.size()) - 1;
}

void TLastPlayedMPL::Remove(const std::string& title) {
  std::erase_if(Entries, [&](const TLastPlayedEntry& e) { return e.Title == title; });
}

void TLastPlayedMPL::SetLastPlayed(const std::string& title, const std::string& resumeTitle,
                                   int64_t position) {
  for (TLastPlayedEntry& entry : Entries)
    if (entry.Title == title) {
      entry.ResumeTitle = resumeTitle;
      entry.ResumePosition = static_cast<int32_t>(std::clamp<int64_t>(position, 0, INT32_MAX));
    }
}

const TLastPlayedEntry* TLastPlayedMPL::Find(const std::string& title) const {
  for (const TLastPlayedEntry& entry : Entries)
    if (entry.Title == title) return &entry;
  return nullptr;
}

void TLastPlayedMPL::Load(const TStoredTextList& ini) {
  Entries.clear();
  int32_t count = 0;
  ini.ReadInt(CTitles, "Count", count, MaxCount, 0);
  for (int32_t i = 0; i < count; ++i) {
    const std::string key = std::to_string(i);
    std::string title, resumeTitle;
    int32_t position = 0;
    ini.ReadText(CTitles, key, title, false, CMaxTitle);
    ini.ReadText(CResumeTitles, key, resumeTitle, true, CMaxTitle);
    ini.ReadInt(CPositions, key, position, INT32_MAX, 0);
    if (title.empty()) continue;
    if (Add(title) < 0) continue;
    Entries.back().ResumeTitle = resumeTitle;
    Entries.back().ResumePosition = position;
  }
}

void TLastPlayedMPL::Save(TStoredTextList& ini) const {
  ini.EraseSection(CTitles);
  ini.EraseSection(CResumeTitles);
  ini.EraseSection(CPositions);
  std::vector<const TLastPlayedEntry*> kept;
  for (const TLastPlayedEntry& entry : Entries)
    if (Storable(entry.Title) && Storable(entry.ResumeTitle)) kept.push_back(&entry);
  ini.WriteInt(CTitles, "Count", static_cast<int32_t>(kept.size()));
  for (size_t i = 0; i < kept.size(); ++i) {
    const std::string key = std::to_string(i);
    ini.WriteText(CTitles, key, kept[i]->Title);
    ini.WriteText(CResumeTitles, key, kept[i]->ResumeTitle);
    ini.WriteInt(CPositions, key, kept[i]->ResumePosition);
  }
}

} // namespace cv
