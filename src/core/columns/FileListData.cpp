#include "columns/FileListData.h"

#include "filesystem/Extensions.h"
#include "filesystem/File.h"

#include <cstdint>

namespace cv {

const char* const SortModeNames[7] = {
    "Name",           "Modified, new-old", "Modified, old-new", "Created, new-old",
    "Created, old-new", "Size, big-small",  "Size, small-big",
};

std::string_view GetFileListTypeLetter(int type) {
  switch (type) {
  case fltDirectory: return "D";
  case fltLink: return "L";
  case fltProgram: return "P";
  case fltDocument: return "T";
  default: return "G";
  }
}

int GetFileListType(std::string_view title, bool isDirectory, bool executable) {
  if (isDirectory) return fltDirectory;
  if (IsDocumentFile(title)) return fltDocument;
  // Desktop entries are marked executable to be trusted; they stay links.
  if (IsLinkFile(title)) return fltLink;
  if (executable || IsExtensionInList(title, &ProgramFileExtensions)) return fltProgram;
  return fltGeneric;
}

TFileTypeLists TFileTypeLists::Current() {
  return {ProgramFileExtensions, DocumentFileExtensions};
}

int GetFileListType(std::string_view title, bool isDirectory, bool executable,
                    const TFileTypeLists& lists) {
  if (isDirectory) return fltDirectory;
  // Taken once for the three tests: a listing types every entry.
  const std::string extension = GetExtension(title);
  if (lists.Documents.Contains(extension)) return fltDocument;
  if (SameTextFolded(extension, LinkFileExtension)) return fltLink;
  if (executable || lists.Programs.Contains(extension)) return fltProgram;
  return fltGeneric;
}

TSortMode ParseSortMode(std::string_view text) {
  for (int i = 0; i < 7; ++i)
    if (text == SortModeNames[i]) return static_cast<TSortMode>(i);
  return TSortMode::Name;
}

bool IsDescending(TSortMode mode) {
  return mode == TSortMode::ModifiedNewOld || mode == TSortMode::CreatedNewOld ||
         mode == TSortMode::SizeBigSmall;
}

int64_t GetSortKey(const TFileListData& item, TSortMode mode) {
  switch (mode) {
  case TSortMode::ModifiedNewOld:
  case TSortMode::ModifiedOldNew: return item.Modified;
  case TSortMode::CreatedNewOld:
  case TSortMode::CreatedOldNew: return item.Created;
  case TSortMode::SizeBigSmall:
  case TSortMode::SizeSmallBig: return item.Size;
  default: return 0;
  }
}

int64_t AddSizes(int64_t total, int64_t size) {
  int64_t sum = 0;
  if (__builtin_add_overflow(total, size, &sum)) return size > 0 ? INT64_MAX : INT64_MIN;
  return sum;
}

} // namespace cv
