#pragma once
// The record a column keeps for each item, the item types and the sort
// modes. Type numbers and sort-mode texts are stored in the options file and
// the history, so their values are fixed.

#include "filesystem/Extensions.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace cv {

enum TFileListType : int {
  fltDirectory = 0, // also partitions
  fltLink = 2,
  fltProgram = 3,
  fltDocument = 4,
  fltGeneric = 5,
};

struct TFileListData {
  std::string Title;
  int Type = fltGeneric;
  bool Selected = false;
  bool Encrypted = false;
  int64_t Size = 0;
  int64_t Modified = 0; // file times: 100 ns units since 1601-01-01 UTC
  int64_t Created = 0;
  bool Exists = true;
  int ContainerData = 0;
};

// "D", "L", "P", "T" or "G".
std::string_view GetFileListTypeLetter(int type);
// Type of a listed entry: directory, else document by its extension, else
// program when executable or by its extension, else link, else generic. The
// listing knows the execute bits already, so nothing is looked up here.
int GetFileListType(std::string_view title, bool isDirectory, bool executable);

// The extension lists that type listed entries, copied for work on another
// thread: the window may change the program's lists meanwhile.
struct TFileTypeLists {
  TExtensionList Programs;
  TExtensionList Documents;
  // A copy of the program's lists (on the thread that owns them).
  static TFileTypeLists Current();
};
int GetFileListType(std::string_view title, bool isDirectory, bool executable,
                    const TFileTypeLists& lists);

enum class TSortMode {
  Name,
  ModifiedNewOld,
  ModifiedOldNew,
  CreatedNewOld,
  CreatedOldNew,
  SizeBigSmall,
  SizeSmallBig,
};

// The seven stored names: "Name", "Modified, new-old", ...
extern const char* const SortModeNames[7];
// Exact, case-sensitive match; anything else sorts like "Name" (the text
// itself is kept and saved back unchanged by the column).
TSortMode ParseSortMode(std::string_view text);
bool IsDescending(TSortMode mode);
// The item's key in a mode: modified or created time, or size; 0 for "Name".
int64_t GetSortKey(const TFileListData& item, TSortMode mode);

// A sum of sizes that stops at the int64 limits instead of wrapping (sparse
// files may each claim up to 8 EiB).
int64_t AddSizes(int64_t total, int64_t size);

} // namespace cv
