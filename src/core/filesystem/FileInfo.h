#pragma once
// The facts of one file as a column lists it.

#include "foundation/MyTime.h"

#include <cstdint>
#include <string>
#include <string_view>

struct statx;

namespace cv {

class TFileInfo {
public:
  // The entry was found; for a partition title, the partition is mounted.
  bool Exists = false;
  // faReadOnly, faHidden, ... (File.h).
  uint32_t Attributes = 0;
  // A regular file (a link's target) with an execute bit: a program.
  bool Executable = false;
  // Date-time values of the raw times below.
  TDateTime Created = 0;
  TDateTime Accessed = 0;
  TDateTime Modified = 0;
  uint64_t Size = 0;
  // File times: 100 ns units since 1601-01-01 UTC. Created is the birth
  // time where the file system keeps one, else the modification time.
  uint64_t CreatedFileTime = 0;
  uint64_t AccessedFileTime = 0;
  uint64_t ModifiedFileTime = 0;

  TFileInfo();
  void Reset();
  // Loads the facts of a title; a symbolic link shows its target's type and
  // size plus Rp, a broken one its own facts. Raises "Failed to open file."
  // and resets when the entry cannot be examined. Returns `Exists`.
  bool Load(const std::string& title);
  // Fills the record from statx results already taken (a directory walk
  // does them relative to its descriptor): `own` without following links,
  // `target` the followed result for a link, null when it is broken.
  // A listing that needs only the raw times passes `convertTimes` false and
  // leaves the date-time values as they were.
  void SetFromStatx(std::string_view name, const struct statx& own, const struct statx* target,
                    bool convertTimes = true);
};

// statx mask that TFileInfo needs.
unsigned FileInfoStatxMask();

} // namespace cv
