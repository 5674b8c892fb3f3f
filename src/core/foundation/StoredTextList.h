#pragma once
// Stored text lists: a sectioned "key=value" settings file kept in memory,
// loaded and saved as a whole, with typed readers that apply defaults and
// limits.
//
// File form: UTF-8, LF line ends (CRLF, CR and a leading BOM are accepted on
// reading). "[Name]" opens a section; "key=value" belongs to the last
// section; empty lines, ";" comments and lines without "=" are ignored.
// Sections and keys compare without case (ASCII letters); keys and values
// are trimmed of blanks. Writing gives, per section in file order, its name
// line, its key lines in order and one empty line.
//
//   TStoredTextList ini;
//   ini.LoadFrom(title);                         // a missing file is an empty list
//   int32_t width = 800;
//   ini.ReadInt("Main", "Width", width, 10000, 100);
//   ini.WriteInt("Main", "Width", width);
//   ini.Save(false);                             // atomic: temporary file, then rename

#include "foundation/Error.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace cv {

class TGuard;

struct TIniEntry {
  std::string Key;
  std::string Value;
};

struct TIniSection {
  std::string Name;
  std::vector<TIniEntry> Entries;
};

// The in-memory image of a stored text list. Section names are unique and
// keys are unique within a section (compared without case): a repeated
// section is merged into the first, a repeated key is dropped (the first wins).
class TIniImage {
public:
  static TIniImage Parse(std::string_view text);
  std::string Text() const;

  const std::vector<TIniSection>& Sections() const { return SectionList; }
  const TIniSection* FindSection(std::string_view section) const;
  const std::string* Find(std::string_view section, std::string_view key) const;
  // Replaces an existing key in place, else appends it to its section, else
  // appends a new section. No checks: see TStoredTextList for those.
  void Write(std::string_view section, std::string_view key, std::string_view value);
  bool EraseKey(std::string_view section, std::string_view key);
  // Erases the keys of a section for which `erase` is true; returns how many.
  size_t EraseKeys(std::string_view section, const std::function<bool(const TIniEntry&)>& erase);
  bool EraseSection(std::string_view section);
  void Clear();

private:
  struct TSectionIndex {
    std::unordered_map<std::string, size_t> Keys;
  };
  TIniSection& SectionFor(std::string_view section);
  void Reindex(size_t section);

  std::vector<TIniSection> SectionList;
  std::vector<TSectionIndex> KeyIndex; // parallel to SectionList
  std::unordered_map<std::string, size_t> SectionIndex;
};

// ASCII case folding used for section names and keys.
std::string FoldIniName(std::string_view name);
// A stored integer: optional sign and decimal digits only, within 32 bits.
bool ParseStoredInt(std::string_view text, int32_t& value);
// A stored colour number: decimal, or hexadecimal after "$"; 32 bits unsigned.
bool ParseStoredColorNumber(std::string_view text, uint32_t& value);

class TStoredTextList {
public:
  using TListEvent = std::function<void(TStoredTextList& list)>;

  explicit TStoredTextList(std::string fileName = {});

  std::string FileName;
  bool Modified = false;
  bool Loading = false;
  TListEvent OnLoad;
  TListEvent OnSave;
  std::function<void()> OnLoadFailed;

  // A missing file loads as an empty list. A file that exists but fails to
  // load ("Failed to load file.") is moved aside by the next Save of that
  // title (MoveAsideBadFile), so the user's file is not replaced by defaults.
  bool Load();
  bool LoadFrom(const std::string& fileName);
  // Needs an image (a load or SaveAs before). Written atomically; false when
  // the user declined to overwrite or the write failed (the old file stays),
  // and also when a write since the last load or save was refused: the file
  // is then written without it and the refusal is reported.
  bool Save(bool ask);
  bool SaveAs(const std::string& fileName, bool ask);
  // Starts the image afresh; a write refused before the next save still
  // finds the value it replaces and keeps it.
  void EraseAll();

  bool HasImage() const { return ImageMade; }
  // Whether the last load found a file (a missing one loads as empty).
  bool FileFound() const { return FilePresent; }
  const TIniImage& Ini() const { return Image; }
  bool ValueExists(std::string_view section, std::string_view key) const;
  void EraseKey(std::string_view section, std::string_view key);
  void EraseSection(std::string_view section);

  // Readers keep the variable when the key is missing or the value is refused.
  void ReadText(std::string_view section, std::string_view key, std::string& value,
                bool allowEmpty, int32_t maxLength) const;
  void ReadInt(std::string_view section, std::string_view key, int32_t& value, int32_t high,
               int32_t low) const;
  void ReadBool(std::string_view section, std::string_view key, bool& value) const;
  // A stock colour name (any case), else a decimal or "$" hexadecimal number;
  // anything else fails in the status context and keeps the variable.
  void ReadColor(std::string_view section, std::string_view key, uint32_t& value) const;
  // Keys "Count" and "0" ... "n-1"; maxCount 0 or less means no limit.
  void ReadList(std::string_view section, std::vector<std::string>& list,
                int32_t maxCount) const;

  // Writers refuse (fsError, the image unchanged) a value with CR or LF or
  // with blanks at its ends, and a key or section name that the file form
  // could not carry back.
  void WriteText(std::string_view section, std::string_view key, std::string_view value);
  void WriteInt(std::string_view section, std::string_view key, int32_t value);
  void WriteBool(std::string_view section, std::string_view key, bool value);
  void WriteColor(std::string_view section, std::string_view key, uint32_t value);
  // Also removes item keys of a longer list written before; an empty list
  // leaves no "Count". One refused item refuses the list: the old one stays.
  void WriteList(std::string_view section, const std::vector<std::string>& list);

private:
  bool ReadImage(const std::string& title, int* error);
  void NoteRefusal(const TGuard& guard);
  // After a refused write: the key (or, for a list, the section's items) as
  // the image held it before EraseAll, when it is gone from the image now.
  void KeepErased(std::string_view section, const std::string* key);

  TIniImage Image;
  // The image as EraseAll found it, until the next save or load.
  TIniImage Erased;
  bool ImageMade = false;
  // Whether the last load found a file at its title.
  bool FilePresent = false;
  // The title whose existing file failed to load at the last load.
  std::string FailedFile;
  // The first write refused since the last load or save, for Save to report.
  TFunStatContext Refused;
};

} // namespace cv
