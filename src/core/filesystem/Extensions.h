#pragma once
// The extension lists that sort files into programs, documents, pictures,
// audio, video and text, and the type tests on them. Extensions carry their
// leading "." and compare with ASCII letters folded.

#include <string>
#include <string_view>
#include <vector>

namespace cv {

class TStoredTextList;

// A sorted set of extensions, searched by binary search without case.
class TExtensionList {
public:
  bool Contains(std::string_view extension) const;
  // Duplicates (in any case) and empty texts are ignored.
  void Add(std::string_view extension);
  bool Delete(std::string_view extension);
  void Clear();
  bool Empty() const { return Items.empty(); }
  size_t Count() const { return Items.size(); }
  const std::vector<std::string>& List() const { return Items; }
  void SetList(const std::vector<std::string>& extensions);
  // One extension a line.
  std::string Text() const;
  void SetText(std::string_view text);

private:
  std::vector<std::string> Items; // sorted by their folded form
  std::vector<std::string> Keys;  // the folded forms, parallel to Items
};

extern TExtensionList ProgramFileExtensions;
extern TExtensionList DocumentFileExtensions;
extern TExtensionList AudioFileExtensions;
extern TExtensionList VideoFileExtensions;
extern TExtensionList TextFileExtensions;
// Filled from the installed picture formats; not stored.
extern TExtensionList PictureFileExtensions;

// The lists' texts when their stored list is empty, one extension a line.
extern const char* const DefaultProgramExtensions;
extern const char* const DefaultDocumentExtensions;
extern const char* const DefaultAudioExtensions;
extern const char* const DefaultVideoExtensions;
extern const char* const DefaultTextExtensions;

// The link extension (desktop entries).
constexpr std::string_view LinkFileExtension = ".desktop";
constexpr std::string_view PlayListExtension = ".mpl";

// The title's extension is in the list; false for a null or empty list.
bool IsExtensionInList(std::string_view title, const TExtensionList* list);
// A regular file with an execute bit (links followed); a relative title is
// never looked up.
bool IsExecutableRegularFile(std::string_view title);
// A program: an executable regular file, or one whose extension is in the
// program list.
bool IsProgramFile(std::string_view title);
bool IsDocumentFile(std::string_view title);
bool IsPictureFile(std::string_view title);
bool IsAudioFile(std::string_view title);
bool IsVideoFile(std::string_view title);
bool IsTextFile(std::string_view title);
bool IsLinkFile(std::string_view title);
bool IsLnkFile(std::string_view title);
bool IsPlayListExtension(std::string_view extension);

// Replaces a predefined filter name ("Text files", "Picture files", "Video
// files", "Audio files", "No backup files") by its patterns; any other text
// is returned unchanged.
std::string ExpandNameFilter(std::string_view text);

// The five stored lists, each a section of the settings file in list form;
// an empty stored list gives the default.
void LoadExtensionLists(const TStoredTextList& ini);
void SaveExtensionLists(TStoredTextList& ini);

} // namespace cv
