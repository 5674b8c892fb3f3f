#include "foundation/StoredTextList.h"

#include "foundation/Guard.h"
#include "foundation/MemoryStorage.h"
#include "foundation/StockColors.h"
#include "foundation/UserInterface.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace cv {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool HasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != text.npos; }

// Why a value cannot be stored as it is, or null: a line break would split
// the entry, and blanks at its ends would not come back (reading trims).
const char* UnstorableValue(std::string_view value) {
  if (HasLineBreak(value)) return "Value contains a line break.";
  if (Trim(value).size() != value.size()) return "Value has blanks at its ends.";
  return nullptr;
}

bool HasOuterBlank(std::string_view text) {
  return !text.empty() && (IsBlank(text.front()) || IsBlank(text.back()));
}

// A name that comes back unchanged from the file form.
bool ValidSectionName(std::string_view name) {
  return !HasLineBreak(name) && !HasOuterBlank(name);
}

bool ValidKey(std::string_view key) {
  return !key.empty() && !HasLineBreak(key) && !HasOuterBlank(key) &&
         key.find('=') == key.npos && key.front() != '[' && key.front() != ';';
}

const char CCountKey[] = "Count";

} // namespace

std::string FoldIniName(std::string_view name) {
  std::string folded(name);
  for (char& c : folded)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return folded;
}

bool ParseStoredInt(std::string_view text, int32_t& value) {
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (text.empty() || text.front() == '-') return false;
  }
  int32_t parsed = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed, 10);
  if (error != std::errc() || end != text.data() + text.size()) return false;
  value = parsed;
  return true;
}

bool ParseStoredColorNumber(std::string_view text, uint32_t& value) {
  int base = 10;
  if (!text.empty() && text.front() == '$') {
    text.remove_prefix(1);
    base = 16;
  }
  // from_chars would take a sign for signed types only; digits alone are wanted.
  if (text.empty() || !std::isxdigit(static_cast<unsigned char>(text.front()))) return false;
  uint32_t parsed = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed, base);
  if (error != std::errc() || end != text.data() + text.size()) return false;
  value = parsed;
  return true;
}

// ---------------------------------------------------------------- TIniImage

TIniImage TIniImage::Parse(std::string_view text) {
  TIniImage image;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  size_t current = SIZE_MAX;
  while (!text.empty()) {
    const size_t end = text.find_first_of("\r\n");
    std::string_view line = text.substr(0, end);
    if (end == text.npos) {
      text = {};
    } else {
      const size_t next = text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n'
                              ? end + 2
                              : end + 1;
      text.remove_prefix(next);
    }
    line = Trim(line);
    if (line.empty() || line.front() == ';') continue;
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      const std::string_view name = Trim(line.substr(1, line.size() - 2));
      image.SectionFor(name);
      current = image.SectionIndex.at(FoldIniName(name));
      continue;
    }
    const size_t equal = line.find('=');
    if (equal == line.npos || current == SIZE_MAX) continue;
    const std::string_view key = Trim(line.substr(0, equal));
    if (key.empty()) continue;
    TSectionIndex& index = image.KeyIndex[current];
    std::string folded = FoldIniName(key);
    if (index.Keys.count(folded) != 0) continue;
    TIniSection& section = image.SectionList[current];
    index.Keys.emplace(std::move(folded), section.Entries.size());
    section.Entries.push_back({std::string(key), std::string(Trim(line.substr(equal + 1)))});
  }
  return image;
}

std::string TIniImage::Text() const {
  std::string text;
  for (const TIniSection& section : SectionList) {
    text += '[';
    text += section.Name;
    text += "]\n";
    for (const TIniEntry& entry : section.Entries) {
      text += entry.Key;
      text += '=';
      text += entry.Value;
      text += '\n';
    }
    text += '\n';
  }
  return text;
}

const TIniSection* TIniImage::FindSection(std::string_view section) const {
  const auto it = SectionIndex.find(FoldIniName(section));
  return it == SectionIndex.end() ? nullptr : &SectionList[it->second];
}

const std::string* TIniImage::Find(std::string_view section, std::string_view key) const {
  const auto it = SectionIndex.find(FoldIniName(section));
  if (it == SectionIndex.end()) return nullptr;
  const TSectionIndex& index = KeyIndex[it->second];
  const auto entry = index.Keys.find(FoldIniName(key));
  if (entry == index.Keys.end()) return nullptr;
  return &SectionList[it->second].Entries[entry->second].Value;
}

TIniSection& TIniImage::SectionFor(std::string_view section) {
  std::string folded = FoldIniName(section);
  const auto it = SectionIndex.find(folded);
  if (it != SectionIndex.end()) return SectionList[it->second];
  SectionIndex.emplace(std::move(folded), SectionList.size());
  SectionList.push_back({std::string(section), {}});
  KeyIndex.emplace_back();
  return SectionList.back();
}

void TIniImage::Write(std::string_view section, std::string_view key, std::string_view value) {
  TIniSection& target = SectionFor(section);
  TSectionIndex& index = KeyIndex[static_cast<size_t>(&target - SectionList.data())];
  std::string folded = FoldIniName(key);
  const auto it = index.Keys.find(folded);
  if (it != index.Keys.end()) {
    target.Entries[it->second].Value.assign(value);
    return;
  }
  index.Keys.emplace(std::move(folded), target.Entries.size());
  target.Entries.push_back({std::string(key), std::string(value)});
}

void TIniImage::Reindex(size_t section) {
  TSectionIndex& index = KeyIndex[section];
  index.Keys.clear();
  const std::vector<TIniEntry>& entries = SectionList[section].Entries;
  for (size_t i = 0; i < entries.size(); ++i) index.Keys.emplace(FoldIniName(entries[i].Key), i);
}

bool TIniImage::EraseKey(std::string_view section, std::string_view key) {
  const auto it = SectionIndex.find(FoldIniName(section));
  if (it == SectionIndex.end()) return false;
  TSectionIndex& index = KeyIndex[it->second];
  const auto entry = index.Keys.find(FoldIniName(key));
  if (entry == index.Keys.end()) return false;
  std::vector<TIniEntry>& entries = SectionList[it->second].Entries;
  entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(entry->second));
  Reindex(it->second);
  return true;
}

size_t TIniImage::EraseKeys(std::string_view section,
                           const std::function<bool(const TIniEntry&)>& erase) {
  const auto it = SectionIndex.find(FoldIniName(section));
  if (it == SectionIndex.end()) return 0;
  std::vector<TIniEntry>& entries = SectionList[it->second].Entries;
  const auto kept = std::remove_if(entries.begin(), entries.end(), erase);
  const auto erased = static_cast<size_t>(entries.end() - kept);
  entries.erase(kept, entries.end());
  if (erased != 0) Reindex(it->second);
  return erased;
}

bool TIniImage::EraseSection(std::string_view section) {
  const auto it = SectionIndex.find(FoldIniName(section));
  if (it == SectionIndex.end()) return false;
  const size_t erased = it->second;
  SectionList.erase(SectionList.begin() + static_cast<std::ptrdiff_t>(erased));
  KeyIndex.erase(KeyIndex.begin() + static_cast<std::ptrdiff_t>(erased));
  SectionIndex.clear();
  for (size_t i = 0; i < SectionList.size(); ++i)
    SectionIndex.emplace(FoldIniName(SectionList[i].Name), i);
  return true;
}

void TIniImage::Clear() {
  SectionList.clear();
  KeyIndex.clear();
  SectionIndex.clear();
}

// ---------------------------------------------------------------- TStoredTextList

TStoredTextList::TStoredTextList(std::string fileName) : FileName(std::move(fileName)) {}

bool TStoredTextList::ReadImage(const std::string& title, int* error) {
  std::string text;
  Image.Clear();
  ImageMade = true;
  Refused = {};
  Erased.Clear();
  const TReadResult result = ReadWholeFile(title, text, error);
  FilePresent = result != TReadResult::Missing;
  if (result == TReadResult::Failed) return false;
  Image = TIniImage::Parse(text);
  return true;
}

bool TStoredTextList::Load() {
  TGuard guard("TStoredTextList::Load");
  Loading = true;
  FailedFile.clear();
  const bool loaded = guard.Run(false, [&] {
    int error = 0;
    if (!ReadImage(FileName, &error))
      guard.Raise("Failed to read file.", FileName, {}, static_cast<uint32_t>(error));
    // The owner's own failures are its business; only exceptions fail the load.
    if (OnLoad) OnLoad(*this);
    return true;
  });
  if (loaded) {
    Modified = false;
  } else {
    // What the owner could not take from the file would be lost by a save.
    if (FilePresent) FailedFile = FileName;
    if (OnLoadFailed) OnLoadFailed();
    guard.Show("Failed to load file.");
  }
  Loading = false;
  return loaded;
}

bool TStoredTextList::LoadFrom(const std::string& fileName) {
  FileName = fileName;
  return Load();
}

bool TStoredTextList::Save(bool ask) {
  TGuard guard("TStoredTextList::Save");
  const bool saved = guard.Run(false, [&] {
    if (!ImageMade) guard.Raise("File was not loaded.", FileName);
    struct stat st {};
    const bool exists = ::stat(FileName.c_str(), &st) == 0;
    if (exists && ask && !AskYesNo("File \"" + FileName + "\"already exists.\nOverwrite it?"))
      return false;
    if (OnSave) OnSave(*this);
    if (exists && !S_ISREG(st.st_mode))
      guard.Raise("Failed to write file.", FileName, {}, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    int error = 0;
    if (!FailedFile.empty() && FailedFile == FileName) {
      if (!MoveAsideBadFile(FileName, &error))
        guard.Raise("Failed to write file.", FileName, {}, static_cast<uint32_t>(error));
      FailedFile.clear();
    }
    // Saving clears the read-only state of the file, as it always did.
    if (!SaveFileAtomically(FileName, Image.Text(), S_IWUSR, &error))
      guard.Raise("Failed to write file.", FileName, {}, static_cast<uint32_t>(error));
    Modified = false;
    Erased.Clear();
    if (Refused.Failed()) {
      const TFunStatContext refused = std::exchange(Refused, {});
      guard.Raise(refused.Description, refused.Parameter1, refused.Parameter2);
    }
    return true;
  });
  guard.Show("Failed to save file.");
  return saved;
}

bool TStoredTextList::SaveAs(const std::string& fileName, bool ask) {
  FileName = fileName;
  if (!ImageMade) {
    TGuard guard("TStoredTextList::SaveAs");
    guard.Run([&] {
      int error = 0;
      if (!ReadImage(FileName, &error))
        guard.Raise("Failed to read file.", FileName, {}, static_cast<uint32_t>(error));
    });
    if (guard.Failed()) {
      guard.Show("Failed to save file.");
      return false;
    }
  }
  return Save(ask);
}

void TStoredTextList::EraseAll() {
  // A second erase before the save must not forget what the file held.
  if (Erased.Sections().empty()) Erased = std::exchange(Image, {});
  Image.Clear();
  Modified = true;
}

bool TStoredTextList::ValueExists(std::string_view section, std::string_view key) const {
  return Image.Find(section, key) != nullptr;
}

void TStoredTextList::EraseKey(std::string_view section, std::string_view key) {
  if (Image.EraseKey(section, key)) Modified = true;
}

void TStoredTextList::EraseSection(std::string_view section) {
  if (Image.EraseSection(section)) Modified = true;
}

void TStoredTextList::ReadText(std::string_view section, std::string_view key, std::string& value,
                               bool allowEmpty, int32_t maxLength) const {
  const std::string* stored = Image.Find(section, key);
  if (stored && (allowEmpty || !stored->empty()) && maxLength >= 0 &&
      stored->size() <= static_cast<size_t>(maxLength))
    value = *stored;
  TGuard::EarlyExit();
}

void TStoredTextList::ReadInt(std::string_view section, std::string_view key, int32_t& value,
                              int32_t high, int32_t low) const {
  const std::string* stored = Image.Find(section, key);
  int32_t parsed = 0;
  if (stored && ParseStoredInt(*stored, parsed) && parsed >= low && parsed <= high) value = parsed;
  TGuard::EarlyExit();
}

void TStoredTextList::ReadBool(std::string_view section, std::string_view key, bool& value) const {
  if (const std::string* stored = Image.Find(section, key)) value = *stored == "TRUE";
  TGuard::EarlyExit();
}

void TStoredTextList::ReadColor(std::string_view section, std::string_view key,
                                uint32_t& value) const {
  const std::string* stored = Image.Find(section, key);
  if (!stored) return TGuard::EarlyExit();
  TGuard guard("TStoredTextList::ReadColor");
  guard.Run([&] {
    if (const std::optional<TColor> stock = FindStockColor(*stored)) {
      value = *stock;
      return;
    }
    uint32_t number = 0;
    if (!ParseStoredColorNumber(*stored, number))
      guard.Raise("Invalid color value.", *stored, std::string(section) + "/" + std::string(key));
    value = number;
  });
}

void TStoredTextList::ReadList(std::string_view section, std::vector<std::string>& list,
                               int32_t maxCount) const {
  list.clear();
  int32_t count = 0;
  ReadInt(section, CCountKey, count, INT32_MAX, 0);
  if (maxCount > 0 && count > maxCount) {
    ShowWarning("Too many items in the list (" + std::to_string(count) + ")");
    count = maxCount;
  }
  // A corrupt count never walks past the keys that are really there.
  const TIniSection* stored = Image.FindSection(section);
  const size_t present = stored ? stored->Entries.size() : 0;
  const auto items = std::min(static_cast<size_t>(count), present);
  for (size_t i = 0; i < items; ++i) {
    const std::string* item = Image.Find(section, std::to_string(i));
    if (item && !item->empty()) list.push_back(*item);
  }
  TGuard::EarlyExit();
}

void TStoredTextList::WriteText(std::string_view section, std::string_view key,
                                std::string_view value) {
  TGuard guard("TStoredTextList::WriteText");
  guard.Run([&] {
    if (!ValidSectionName(section) || !ValidKey(key))
      guard.Raise("Invalid key.", std::string(section), std::string(key));
    if (const char* reason = UnstorableValue(value))
      guard.Raise(reason, std::string(section), std::string(key));
    Image.Write(section, key, value);
    Modified = true;
  });
  if (guard.Failed()) {
    const std::string name(key);
    KeepErased(section, &name);
  }
  NoteRefusal(guard);
}

void TStoredTextList::KeepErased(std::string_view section, const std::string* key) {
  const TIniSection* old = Erased.FindSection(section);
  if (!old) return;
  if (key) {
    if (Image.Find(section, *key)) return;
    if (const std::string* value = Erased.Find(section, *key)) Image.Write(section, *key, *value);
    return;
  }
  if (Image.FindSection(section)) return;
  for (const TIniEntry& entry : old->Entries) Image.Write(old->Name, entry.Key, entry.Value);
}

void TStoredTextList::NoteRefusal(const TGuard& guard) {
  if (guard.Failed() && !Refused.Failed()) Refused = guard.Context();
}

void TStoredTextList::WriteInt(std::string_view section, std::string_view key, int32_t value) {
  WriteText(section, key, std::to_string(value));
}

void TStoredTextList::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteText(section, key, value ? "TRUE" : "FALSE");
}

void TStoredTextList::WriteColor(std::string_view section, std::string_view key, uint32_t value) {
  WriteText(section, key, std::to_string(value));
}

void TStoredTextList::WriteList(std::string_view section, const std::vector<std::string>& list) {
  TGuard guard("TStoredTextList::WriteList");
  guard.Run([&] {
    if (!ValidSectionName(section)) guard.Raise("Invalid key.", std::string(section), CCountKey);
    // One refused item keeps the whole old list: the rest must not move up into its place.
    for (size_t i = 0; i < list.size(); ++i)
      if (const char* reason = UnstorableValue(list[i]))
        guard.Raise(reason, std::string(section), std::to_string(i));
    int32_t oldCount = 0;
    ReadInt(section, CCountKey, oldCount, INT32_MAX, 0);
    const auto count = static_cast<int32_t>(list.size());
    for (int32_t i = 0; i < count; ++i)
      Image.Write(section, std::to_string(i), list[static_cast<size_t>(i)]);
    if (count > 0) Image.Write(section, CCountKey, std::to_string(count));
    else Image.EraseKey(section, CCountKey);
    // Items of a longer list written before would otherwise linger.
    Image.EraseKeys(section, [&](const TIniEntry& entry) {
      int32_t index = 0;
      return ParseStoredInt(entry.Key, index) && std::to_string(index) == entry.Key &&
             index >= count && index < oldCount;
    });
    Modified = true;
  });
  if (guard.Failed()) KeepErased(section, nullptr);
  NoteRefusal(guard);
}

} // namespace cv
